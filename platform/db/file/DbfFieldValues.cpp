// Field values in and out of the record bytes: texts in the table's code
// page, numbers, dates, logicals and the pointers to memos.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "WriteWatch.h"
#include "MemoFile.h"
#include "NumberText.h"
#include "text/Gbk.h"

#include <QDate>
#include <QHash>
#include <cmath>

namespace db {

using namespace dbf;

namespace {

// Text in a UTF-8 table, cut to n bytes without splitting a character.
QByteArray cutUtf8(const QByteArray &bytes, qsizetype n)
{
    if (bytes.size() <= n)
        return bytes;
    qsizetype end = n;
    while (end > 0 && (uchar(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

} // namespace

// The language-driver byte and a .cpg file beside the table name the code
// page. Ours are GBK; a table another tool wrote as UTF-8 says so in its .cpg.
void DbfFile::readCodePage()
{
    const QString cpg = findFile(QFileInfo(m_path).absolutePath(), tableName() + QStringLiteral(".cpg"));
    // A code page we cannot read matters only for texts beyond ASCII, which
    // read the same in all of them: those fail when they are read or written.
    const auto refuse = [&](const QString &name) { m_foreignCodePage = name; };
    if (!cpg.isEmpty()) {
        QFile f(cpg);
        if (!f.open(QIODevice::ReadOnly))
            throw DbError(QString::fromUtf8("无法读取代码页文件 %1").arg(shortName(cpg)));
        const QString name = QString::fromLatin1(f.read(64)).trimmed();
        QString n = name.toUpper();
        n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
        if (n == u"UTF8" || n == u"65001") {
            m_utf8 = true;
            return;
        }
        for (const char *gbk : {"936", "CP936", "GBK", "GB2312", "ANSI936", "WINDOWS936", "MS936"})
            if (n == QLatin1String(gbk))
                return;
        refuse(name);
        return;
    }
    // 0x4D and 0x7A name code page 936; 0x00 (none) and 0x57 (the writer's
    // system code page) are taken as ours.
    const auto driver = uchar(m_header[29]);
    static const QHash<int, int> others = {{0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x64, 852},
                                           {0x65, 866},  {0x66, 865},  {0x67, 861},  {0x6A, 737},   {0x6B, 857},
                                           {0x78, 950},  {0x79, 949},  {0x7B, 932},  {0x7C, 874},   {0x7D, 1255},
                                           {0x7E, 1256}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254},  {0xCB, 1253}};
    if (const auto it = others.constFind(driver); it != others.constEnd())
        refuse(QString::number(*it));
}

QByteArray DbfFile::textBytes(const char *record, int field) const
{
    return keyOf(record, field).toByteArray();
}

void DbfFile::checkCodePage(const QByteArray &text, int field) const
{
    if (m_foreignCodePage.isEmpty())
        return;
    for (const char c : text)
        if (uchar(c) >= 0x80)
            throw DbError(QString::fromUtf8("表 %1 的代码页 %2 无法读取（只能读取 GBK 和 UTF-8），字段 %3 的文字不能读写")
                              .arg(shortName(m_path), m_foreignCodePage, QString::fromLatin1(m_fields[field].name)));
}

QString DbfFile::storedText(const char *record, int field) const
{
    const QByteArray t = textBytes(record, field);
    checkCodePage(t, field);
    return m_utf8 ? QString::fromUtf8(t) : gbk::decode(t);
}

QByteArray DbfFile::fileText(const QByteArray &gbkBytes) const
{
    return m_utf8 ? gbk::decode(gbkBytes).toUtf8() : gbkBytes;
}

bool DbfFile::isNullField(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    if (f.type != 'C')
        return decode(record, field).isNull();
    const char *p = record + f.offset;
    for (int i = 0; i < f.length; ++i)
        if (p[i] != ' ' && p[i] != '\0')
            return false;
    return true;
}

Value DbfFile::value(int rec, int field) const
{
    return value(record(rec), rec, field);
}

Value DbfFile::value(const char *r, int rec, int field) const
{
    if (m_fields[field].type != 'M')
        return decode(r, field);
    try {
        return decode(r, field);
    } catch (const DbError &e) {
        throw DbError(QString::fromUtf8("%1（第 %2 条记录）").arg(e.message()).arg(rec + 1));
    }
}

QByteArrayView DbfFile::valueText(const char *record, int rec, int field, int maxDecimals, QByteArray &scratch) const
{
    const FieldDef &f = m_fields[field];
    if (f.type == 'C' && !m_utf8 && m_foreignCodePage.isEmpty())
        return keyOf(record, field); // the text as stored
    if (f.type == 'N' || f.type == 'F') {
        if (std::optional<QByteArray> t = formatPlainNumber(keyOf(record, field).trimmed(), maxDecimals)) {
            scratch = std::move(*t);
            return scratch;
        }
    } else if (f.type == 'D') {
        // yyyyMMdd as yyyy-MM-dd when it is a date.
        const QByteArrayView t = keyOf(record, field).trimmed();
        if (t.size() == 8 && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            const auto number = [&](int from, int n) { return QByteArrayView(t.data() + from, n).toInt(); };
            if (!QDate(number(0, 4), number(4, 2), number(6, 2)).isValid())
                return {};
            scratch = t.first(4).toByteArray();
            scratch.append('-').append(t.sliced(4, 2)).append('-').append(t.sliced(6, 2));
            return scratch;
        }
    }
    scratch = value(record, rec, field).toBytes(maxDecimals);
    return scratch;
}

quint32 DbfFile::memoBlock(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    const QByteArray t = textBytes(record, field).trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const qulonglong block = t.toULongLong(&ok);
    if (!ok || block > kMaxMemoBlock)
        throw DbError(QString::fromUtf8("表 %1 的备注字段 %2 块号“%3”无效")
                          .arg(shortName(m_path), QString::fromLatin1(f.name), QString::fromLatin1(t)));
    return quint32(block);
}

QByteArray DbfFile::memoText(const char *record, int field) const
{
    const quint32 block = memoBlock(record, field);
    if (block == 0)
        return {};
    try {
        return readMemo(block);
    } catch (const DbError &e) {
        throw DbError(QString::fromUtf8("%1，字段 %2").arg(e.message(), QString::fromLatin1(m_fields[field].name)));
    }
}

Value DbfFile::decode(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    switch (f.type) {
    case 'C': {
        QByteArray t = textBytes(record, field);
        if (t.isEmpty())
            return {};
        checkCodePage(t, field);
        return Value::fromBytes(m_utf8 ? gbk::encode(QString::fromUtf8(t)) : t);
    }
    case 'N':
    case 'F': {
        const QByteArray t = textBytes(record, field).trimmed();
        if (t.isEmpty())
            return {};
        bool ok = false;
        const double d = t.toDouble(&ok);
        return ok ? Value::fromNumber(d) : Value();
    }
    case 'D': {
        const QByteArray t = textBytes(record, field).trimmed();
        if (t.size() != 8)
            return {};
        return Value::fromDate(QDate::fromString(QString::fromLatin1(t), QStringLiteral("yyyyMMdd")));
    }
    case 'L': {
        const char c = record[f.offset];
        if (QByteArray("TtYy").contains(c))
            return Value::fromBool(true);
        if (QByteArray("FfNn").contains(c))
            return Value::fromBool(false);
        return {};
    }
    case 'M': {
        const QByteArray text = memoText(record, field);
        if (text.isEmpty())
            return {};
        checkCodePage(text, field);
        return Value::fromBytes(m_utf8 ? gbk::encode(QString::fromUtf8(text)) : text);
    }
    }
    return {};
}

void DbfFile::checkMemoText(int field, const QByteArray &text, int rec) const
{
    if ((m_memo && m_memo->dbase4()) || !text.contains(kEndOfFile))
        return;
    const QString column = QString::fromLatin1(m_fields[field].name);
    throw DbError(rec >= 0 ? QString::fromUtf8("表 %1 第 %2 条记录的备注字段 %3 含有控制字符 0x1A，备注文件存不下这样的文本")
                                 .arg(tableName())
                                 .arg(rec + 1)
                                 .arg(column)
                           : QString::fromUtf8("表 %1 的备注字段 %2 含有控制字符 0x1A，备注文件存不下这样的文本")
                                 .arg(tableName(), column));
}

QByteArray DbfFile::blankRecord() const
{
    return QByteArray(m_recordLength, ' ');
}

void DbfFile::encode(QByteArray &record, int field, const Value &v)
{
    const FieldDef &f = m_fields[field];
    // Named only in a refusal: every value of a bulk load passes here.
    const auto fieldName = [&f] { return QString::fromLatin1(f.name); };
    if (f.type == 'M') {
        // The block the buffer points to now (an edited row's present memo).
        quint32 old = 0;
        QByteArray oldText;
        try {
            old = memoBlock(record.constData(), field);
            if (old)
                oldText = readMemo(old);
        } catch (const DbError &) {
            old = 0; // a damaged pointer is simply replaced
        }
        const QByteArray text = v.isNull() ? QByteArray() : fileText(v.toBytes());
        checkCodePage(text, field);
        checkMemoText(field, text, -1);
        if (old && !text.isEmpty() && text == oldText)
            return;
        // A text that fits the blocks the memo has is rewritten there, so
        // edits do not grow the file.
        const int bs = m_memo ? m_memo->blockSize() : kMemoBlock;
        const qint64 needed = m_memo && m_memo->dbase4() ? text.size() + 8 : text.size() + 2;
        const qint64 have = old && !text.isEmpty() ? m_memo->capacity(old, oldText) : 0;
        // Under a journal old blocks stay as they are: it takes the file back by its size.
        const bool inPlace = have > 0 && (needed + bs - 1) / bs <= have && !watch::covers(*this);
        const quint32 block = writeMemoAt(text, inPlace ? old : 0, inPlace ? have : 0);
        char *p = record.data() + f.offset;
        std::memset(p, ' ', size_t(f.length));
        if (block) {
            const QByteArray t = QByteArray::number(block).rightJustified(f.length, ' ');
            std::memcpy(p, t.constData(), size_t(f.length));
        }
        return;
    }
    char *p = record.data() + f.offset;
    std::memset(p, ' ', size_t(f.length));
    if (v.isNull())
        return;
    switch (f.type) {
    case 'C': {
        checkCodePage(v.toBytes(), field);
        const QByteArray b = m_utf8 ? cutUtf8(fileText(v.toBytes()), f.length) : gbk::cutBytes(v.toBytes(), f.length);
        std::memcpy(p, b.constData(), size_t(b.size()));
        return;
    }
    case 'N':
    case 'F': {
        if (v.kind == Value::Text && v.text.trimmed().isEmpty())
            return;
        // Numbers read from text (a bulk load's) mostly stand there plainly.
        if (const std::optional<QByteArray> t =
                v.kind == Value::Text ? plainNumberColumnText(v.text, f.length, f.decimals) : std::nullopt) {
            std::memcpy(p, t->constData(), size_t(f.length));
            return;
        }
        double d = v.toNumber();
        if (!std::isfinite(d))
            throw DbError(QString::fromUtf8("表 %1 字段 %2 的数值无效").arg(tableName(), fieldName()));
        // A long integer part leaves room for fewer decimals; only one that
        // does not fit itself is refused.
        const std::optional<QByteArray> t = numberColumnText(d, f.length, f.decimals);
        if (!t)
            throw DbError(QString::fromUtf8("数值 %1 超出表 %2 字段 %3 能存的范围：该字段最大能存 %4，最小能存 %5")
                              .arg(v.kind == Value::Text ? gbk::decode(v.text.trimmed()) : formatNumber(d),
                                   tableName(), fieldName(), largestColumnNumber(f.length),
                                   smallestColumnNumber(f.length)));
        std::memcpy(p, t->constData(), size_t(f.length));
        return;
    }
    case 'D': {
        const QDate d = v.toDate();
        if (!d.isValid())
            return;
        if (d.year() < 1 || d.year() > 9999)
            throw DbError(QString::fromUtf8("日期超出表 %1 字段 %2 的范围").arg(tableName(), fieldName()));
        const QByteArray t = d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
        std::memcpy(p, t.constData(), 8);
        return;
    }
    case 'L': {
        bool b = v.kind == Value::Bool ? v.flag : QByteArray("TtYy1").contains(v.toBytes().left(1));
        p[0] = b ? 'T' : 'F';
        return;
    }
    }
}

void DbfFile::encodeText(QByteArray &record, int field, QByteArrayView text)
{
    const FieldDef &f = m_fields[field];
    char *p = record.data() + f.offset;
    if (f.type == 'C' && !m_utf8 && m_foreignCodePage.isEmpty()) {
        // Stored as they are, cut at a character.
        std::memset(p, ' ', size_t(f.length));
        std::memcpy(p, text.data(), size_t(gbk::safeCut(text, f.length)));
        return;
    }
    if (f.type == 'N' || f.type == 'F') {
        if (const std::optional<QByteArray> t = plainNumberColumnText(text, f.length, f.decimals)) {
            std::memcpy(p, t->constData(), size_t(f.length));
            return;
        }
    }
    encode(record, field, text.isEmpty() ? Value() : Value::fromBytes(text.toByteArray()));
}

} // namespace db
