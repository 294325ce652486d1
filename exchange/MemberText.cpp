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

void RequireMemberText(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(u("无法打开文件 %1：%2").arg(name, file.errorString()));
    qint64 line = 1, column = 0; // of the byte last looked at
    uchar lead = 0;              // a GBK lead byte waiting for its trail byte
    const auto notGbk = [&](const QString &bytes, qint64 at) {
        return ExchangeError(u("文件 %1 第 %2 行第 %3 列的字节 %4 不是 GBK 文字，导入包可能已损坏。")
                                 .arg(name)
                                 .arg(line)
                                 .arg(at)
                                 .arg(bytes));
    };
    QByteArray chunk;
    while (!(chunk = file.read(1 << 20)).isEmpty()) {
        const char *const end = chunk.constData() + chunk.size();
        for (const char *at = chunk.constData(); at < end; ++at) {
            // Runs of plain text, most of a member, eight bytes at a time.
            quint64 word;
            while (!lead && end - at >= 8 && (std::memcpy(&word, at, 8), printable(word))) {
                at += 8;
                column += 8;
            }
            if (at == end)
                break;
            const auto c = uchar(*at);
            ++column;
            if (lead) {
                if (!isTrailByte(c))
                    throw notGbk(hex(lead) + ' ' + hex(c), column - 1);
                lead = 0;
            } else if (c >= 0x20 && c < 0x7F) {
                continue;
            } else if (isLeadByte(c)) {
                lead = c;
            } else if (c == '\n') {
                ++line;
                column = 0;
            } else if (c == 0) {
                throw ExchangeError(u("文件 %1 第 %2 行含有空字符（第 %3 列），不是导出的文本，导入包可能已损坏。")
                                        .arg(name)
                                        .arg(line)
                                        .arg(column));
            } else if (c < 0x20 || c == 0x7F) {
                if (!isAllowedControl(c))
                    throw ExchangeError(u("文件 %1 第 %2 行第 %3 列含有控制字符 %4，不是导出的文本，导入包可能已损坏。")
                                            .arg(name)
                                            .arg(line)
                                            .arg(column)
                                            .arg(hex(c)));
            } else if (c == 0xFF) {
                throw notGbk(hex(c), column);
            }
            // 0x80 stays: code page 936 has it for the euro sign.
        }
    }
    if (file.error() != QFileDevice::NoError)
        throw ExchangeError(u("无法读取文件 %1：%2").arg(name, file.errorString()));
    if (lead)
        throw notGbk(hex(lead), column);
}
