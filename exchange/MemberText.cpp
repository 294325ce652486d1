#include "MemberText.h"

#include "ExchangeText.h"
#include "text/Utf8.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

bool isLeadByte(uchar c) { return c >= 0x81 && c <= 0xFE; }
bool isTrailByte(uchar c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
bool isAllowedControl(uchar c) { return c == '\t' || c == '\r' || c == '\n'; }

QString hex(uchar c) { return QStringLiteral("0x") + QString::number(c, 16).toUpper().rightJustified(2, '0'); }

// Whether all eight bytes of w are printable ASCII (0x20 to 0x7E): no byte
// below 0x20 and none above 0x7E, tested on the whole word at once.
bool printable(quint64 w)
{
    constexpr quint64 ones = ~quint64(0) / 255, highs = ones * 0x80;
    const quint64 below = (w - ones * 0x20) & ~w & highs;
    const quint64 above = ((w + ones * (0x7F - 0x7E)) | w) & highs;
    return (below | above) == 0;
}

} // namespace

MemberTextError MemberTextCheck::notGbk(const QString &bytes, qint64 at) const
{
    return MemberTextError(u("文件 %1 第 %2 行第 %3 列的字节 %4 不是 GBK 文字，导入包可能已损坏。")
                               .arg(m_name)
                               .arg(m_line)
                               .arg(at)
                               .arg(bytes));
}

void MemberTextCheck::take(QByteArrayView bytes)
{
    const char *const end = bytes.data() + bytes.size();
    for (const char *at = bytes.data(); at < end; ++at) {
        // Runs of plain text, most of a member, eight bytes at a time.
        quint64 word;
        while (!m_lead && end - at >= 8 && (std::memcpy(&word, at, 8), printable(word))) {
            at += 8;
            m_column += 8;
        }
        if (at == end)
            break;
        const auto c = uchar(*at);
        ++m_column;
        if (m_lead) {
            if (!isTrailByte(c))
                throw notGbk(hex(m_lead) + ' ' + hex(c), m_column - 1);
            m_lead = 0;
        } else if (c >= 0x20 && c < 0x7F) {
            continue;
        } else if (isLeadByte(c)) {
            m_lead = c;
        } else if (c == '\n') {
            ++m_line;
            m_column = 0;
        } else if (c == 0) {
            throw MemberTextError(u("文件 %1 第 %2 行含有空字符（第 %3 列），不是导出的文本，导入包可能已损坏。")
                                      .arg(m_name)
                                      .arg(m_line)
                                      .arg(m_column));
        } else if (c < 0x20 || c == 0x7F) {
            if (!isAllowedControl(c))
                throw MemberTextError(u("文件 %1 第 %2 行第 %3 列含有控制字符 %4，不是导出的文本，导入包可能已损坏。")
                                          .arg(m_name)
                                          .arg(m_line)
                                          .arg(m_column)
                                          .arg(hex(c)));
        } else if (c == 0xFF) {
            throw notGbk(hex(c), m_column);
        }
        // 0x80 stays: code page 936 has it for the euro sign.
    }
}

void MemberTextCheck::finish() const
{
    if (m_lead)
        throw notGbk(hex(m_lead), m_column);
}

void RequireMemberText(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(u("无法打开文件 %1：%2").arg(name, file.errorString()));
    MemberTextCheck check(name);
    QByteArray chunk;
    while (!(chunk = file.read(1 << 20)).isEmpty())
        check.take(chunk);
    if (file.error() != QFileDevice::NoError)
        throw ExchangeError(u("无法读取文件 %1：%2").arg(name, file.errorString()));
    check.finish();
}
