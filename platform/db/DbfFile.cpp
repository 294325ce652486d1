#include "DbfFile.h"

#include "DbError.h"
#include "text/Gbk.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace db {

namespace {

constexpr char kEndOfFile = 0x1A;
constexpr char kHeaderEnd = 0x0D;
constexpr unsigned char kGbkDriver = 0x4D; // read by other dBASE readers as code page 936
constexpr int kMemoBlock = 512;

quint32 readLe32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 readLe16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

void writeLe32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}

void writeLe16(char *p, quint16 v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}

void stampDate(char *header)
{
    const QDate today = QDate::currentDate();
    header[1] = char(today.year() - 1900);
    header[2] = char(today.month());
    header[3] = char(today.day());
}

QString shortName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// Every table of the process, so that all datasets on one file share its
// records and see each other's changes. A table nobody uses stays loaded, so
// closing and opening it again (a new filter) does not read it again; it is
// reloaded when the file changed on disk meanwhile.
QHash<QString, std::shared_ptr<DbfFile>> &registry()
{
    static QHash<QString, std::shared_ptr<DbfFile>> files;
    return files;
}

constexpr int kKeptUnused = 48;

QString stripName(QString name)
{
    while (name.startsWith('\\') || name.startsWith('/'))
        name.remove(0, 1);
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".dbf");
    return name;
}

void writeAll(QFile &f, qint64 pos, const char *data, qint64 size, const QString &path)
{
    if (!f.seek(pos) || f.write(data, size) != size || !f.flush())
        throw DbError(QString::fromUtf8("写入表 %1 失败：%2").arg(shortName(path), f.errorString()));
}

} // namespace

struct DbfFile::Memo
{
    QFile file;
    int blockSize = kMemoBlock;
    bool dbase4 = false; // blocks carry a length header
    quint32 nextBlock = 1;
};

DbfFile::~DbfFile() = default;

void DbfFile::forget(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    auto &files = registry();
    if (auto it = files.find(key); it != files.end() && it->use_count() == 1)
        files.erase(it);
}

void DbfFile::releaseUnused()
{
    auto &files = registry();
    for (auto it = files.begin(); it != files.end();)
        it = it->use_count() == 1 ? files.erase(it) : std::next(it);
}

namespace {
QByteArray statStamp(const struct stat &st)
{
    return QByteArray::number(qulonglong(st.st_ino)) + ':' + QByteArray::number(qlonglong(st.st_size)) + ':'
         + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec))
         + ';';
}
} // namespace

// Identity, size and time of the table and memo files as their names find
// them now: a file replaced or changed by someone else gives another stamp.
QByteArray DbfFile::diskStamp() const
{
    QByteArray stamp;
    for (const QString &p : {m_path, m_memo ? m_memo->file.fileName() : QString()}) {
        struct stat st;
        if (!p.isEmpty() && ::stat(QFile::encodeName(p).constData(), &st) == 0)
            stamp += statStamp(st);
    }
    return stamp;
}

// The same for the files we hold open, cheap enough for every write.
QByteArray DbfFile::openStamp() const
{
    QByteArray stamp;
    const QFile *files[] = {&m_file, m_memo ? &m_memo->file : nullptr};
    for (const QFile *f : files) {
        struct stat st;
        if (f && ::fstat(f->handle(), &st) == 0)
            stamp += statStamp(st);
    }
    return stamp;
}

QString DbfFile::findFile(const QString &dir, const QString &name)
{
    const QString wanted = stripName(name);
    const QString exact = QDir(dir).filePath(wanted);
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &e : entries)
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return QDir(dir).filePath(e);
    return {};
}

bool DbfFile::isOpen(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    auto it = registry().find(key);
    return it != registry().end() && it->use_count() > 1;
}

std::shared_ptr<DbfFile> DbfFile::open(const QString &dir, const QString &name, bool exclusive)
{
    const QString found = findFile(dir, name);
    if (found.isEmpty())
        throw DbError(QString::fromUtf8("找不到表文件 %1（目录 %2）").arg(stripName(name), QDir::toNativeSeparators(dir)));
    const QString key = QFileInfo(found).absoluteFilePath();
    auto &files = registry();
    if (auto it = files.find(key); it != files.end()) {
        std::shared_ptr<DbfFile> existing = *it;
        if (existing.use_count() > 2) { // the registry, this copy and a user
            if (exclusive || existing->m_exclusive)
                throw DbError(QString::fromUtf8("表 %1 正在使用中，无法独占打开").arg(shortName(key)));
            return existing;
        }
        if (existing->m_stamp == existing->diskStamp()) {
            existing->m_exclusive = exclusive;
            return existing;
        }
        files.erase(it); // changed on disk by someone else: read it again
    }
    if (files.size() > kKeptUnused)
        releaseUnused();
    std::shared_ptr<DbfFile> f(new DbfFile);
    f->m_path = key;
    f->m_exclusive = exclusive;
    f->load();
    f->m_stamp = f->diskStamp();
    files.insert(key, f);
    return f;
}

QString DbfFile::tableName() const
{
    return QFileInfo(m_path).completeBaseName();
}

void DbfFile::fail(const QString &what) const
{
    throw DbError(QString::fromUtf8("表 %1 已损坏：%2").arg(shortName(m_path), what));
}

void DbfFile::load()
{
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite) && !m_file.open(QIODevice::ReadOnly))
        throw DbError(QString::fromUtf8("无法打开表 %1：%2").arg(shortName(m_path), m_file.errorString()));
    m_data = m_file.readAll();
    if (m_data.size() < 32)
        fail(QString::fromUtf8("文件头不完整"));

    const char *h = m_data.constData();
    const quint32 count = readLe32(h + 4);
    m_headerLength = readLe16(h + 8);
    m_recordLength = readLe16(h + 10);
    if (m_headerLength < 33 || m_headerLength > m_data.size())
        fail(QString::fromUtf8("文件头长度 %1 无效").arg(m_headerLength));
    if (m_recordLength < 1)
        fail(QString::fromUtf8("记录长度 %1 无效").arg(m_recordLength));

    int offset = 1;
    for (int pos = 32; pos + 32 <= m_headerLength && h[pos] != kHeaderEnd; pos += 32) {
        FieldDef f;
        const char *d = h + pos;
        f.name = QByteArray(d, int(strnlen(d, 11))).trimmed();
        f.type = char(QChar::toUpper(uint(uchar(d[11]))));
        f.length = uchar(d[16]);
        f.decimals = uchar(d[17]);
        f.offset = offset;
        if (f.name.isEmpty())
            fail(QString::fromUtf8("第 %1 个字段没有名称").arg(m_fields.size() + 1));
        if (!QByteArray("CNFDML").contains(f.type))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 类型“%3”不受支持")
                              .arg(shortName(m_path), QString::fromLatin1(f.name), QChar(f.type)));
        if (f.length < 1)
            fail(QString::fromUtf8("字段 %1 的长度为 0").arg(QString::fromLatin1(f.name)));
        offset += f.length;
        m_fields.append(f);
    }
    if (m_fields.isEmpty())
        fail(QString::fromUtf8("没有字段"));
    if (offset > m_recordLength)
        fail(QString::fromUtf8("字段长度之和 %1 超过记录长度 %2").arg(offset).arg(m_recordLength));

    const qint64 body = m_data.size() - m_headerLength;
    if (qint64(count) * m_recordLength > body)
        fail(QString::fromUtf8("记录数 %1 与文件长度不符（文件被截断）").arg(count));
    m_recordCount = int(count);
    // A record written just before a crash that left the header behind is
    // taken back in: it is complete and carries a valid deletion flag.
    while (qint64(m_recordCount + 1) * m_recordLength <= body) {
        const char flag = m_data[m_headerLength + qint64(m_recordCount) * m_recordLength];
        if (flag != ' ' && flag != '*')
            break;
        ++m_recordCount;
    }
    m_data.truncate(m_headerLength + qint64(m_recordCount) * m_recordLength);

    for (const FieldDef &f : m_fields)
        if (f.type == 'M') {
            loadMemo();
            break;
        }
}

void DbfFile::loadMemo()
{
    const QString base = QFileInfo(m_path).completeBaseName();
    const QString memoPath = findFile(QFileInfo(m_path).absolutePath(), base + QStringLiteral(".dbt"));
    if (memoPath.isEmpty())
        throw DbError(QString::fromUtf8("表 %1 的备注文件 %2.dbt 不存在").arg(shortName(m_path), base));
    m_memo = std::make_unique<Memo>();
    m_memo->file.setFileName(memoPath);
    if (!m_memo->file.open(QIODevice::ReadWrite) && !m_memo->file.open(QIODevice::ReadOnly))
        throw DbError(QString::fromUtf8("无法打开备注文件 %1：%2").arg(shortName(memoPath), m_memo->file.errorString()));
    const QByteArray head = m_memo->file.read(kMemoBlock);
    if (head.size() < 4)
        throw DbError(QString::fromUtf8("备注文件 %1 已损坏：文件头不完整").arg(shortName(memoPath)));
    m_memo->nextBlock = readLe32(head.constData());
    const auto version = uchar(m_data[0]);
    if (version == 0x8B && head.size() >= 22) {
        m_memo->dbase4 = true;
        const int bs = readLe16(head.constData() + 20);
        if (bs >= 64)
            m_memo->blockSize = bs;
    }
    // A next-block pointer behind the end is repaired to the end, so that new
    // memos never overwrite old ones.
    const qint64 blocksInFile = (m_memo->file.size() + m_memo->blockSize - 1) / m_memo->blockSize;
    if (m_memo->nextBlock < 1 || qint64(m_memo->nextBlock) < blocksInFile)
        m_memo->nextBlock = quint32(std::max<qint64>(1, blocksInFile));
}

const char *DbfFile::record(int rec) const
{
    if (rec < 0 || rec >= m_recordCount)
        throw DbError(QString::fromUtf8("表 %1 没有第 %2 条记录").arg(shortName(m_path)).arg(rec + 1));
    return m_data.constData() + m_headerLength + qint64(rec) * m_recordLength;
}

int DbfFile::fieldIndex(const QString &name) const
{
    const QByteArray n = name.trimmed().toLatin1();
    for (int i = 0; i < m_fields.size(); ++i)
        if (qstricmp(m_fields[i].name.constData(), n.constData()) == 0)
            return i;
    return -1;
}

QByteArray DbfFile::textBytes(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    const char *p = record + f.offset;
    int n = f.length;
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
        --n;
    return QByteArray(p, n);
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

Value DbfFile::decode(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    switch (f.type) {
    case 'C': {
        QByteArray t = textBytes(record, field);
        return t.isEmpty() ? Value() : Value::fromBytes(t);
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
        const QByteArray t = textBytes(record, field).trimmed();
        if (t.isEmpty())
            return {};
        bool ok = false;
        const quint32 block = t.toUInt(&ok);
        if (!ok)
            throw DbError(QString::fromUtf8("表 %1 的备注字段 %2 块号“%3”无效")
                              .arg(shortName(m_path), QString::fromLatin1(f.name), QString::fromLatin1(t)));
        if (block == 0)
            return {};
        QByteArray text = readMemo(block);
        return text.isEmpty() ? Value() : Value::fromBytes(text);
    }
    }
    return {};
}

QByteArray DbfFile::readMemo(quint32 block) const
{
    if (!m_memo)
        throw DbError(QString::fromUtf8("表 %1 没有备注文件").arg(shortName(m_path)));
    QFile &f = m_memo->file;
    const qint64 pos = qint64(block) * m_memo->blockSize;
    if (pos >= f.size())
        throw DbError(QString::fromUtf8("备注文件 %1 已损坏：块号 %2 超出文件末尾")
                          .arg(shortName(f.fileName()))
                          .arg(block));
    if (!f.seek(pos))
        throw DbError(QString::fromUtf8("读取备注文件 %1 失败").arg(shortName(f.fileName())));
    if (m_memo->dbase4) {
        const QByteArray head = f.read(8);
        if (head.size() == 8 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xFF) {
            const quint32 len = readLe32(head.constData() + 4);
            if (len < 8 || pos + len > f.size())
                throw DbError(QString::fromUtf8("备注文件 %1 已损坏：块 %2 的长度无效")
                                  .arg(shortName(f.fileName()))
                                  .arg(block));
            return f.read(len - 8);
        }
        f.seek(pos);
    }
    // dBASE III memos end at the first end-of-file mark.
    QByteArray out;
    while (true) {
        const QByteArray chunk = f.read(4096);
        if (chunk.isEmpty())
            break;
        const qsizetype end = chunk.indexOf(kEndOfFile);
        if (end >= 0) {
            out.append(chunk.constData(), end);
            break;
        }
        out.append(chunk);
    }
    return out;
}

quint32 DbfFile::writeMemo(const QByteArray &text)
{
    if (!m_memo)
        throw DbError(QString::fromUtf8("表 %1 没有备注文件").arg(shortName(m_path)));
    if (text.isEmpty())
        return 0;
    QByteArray data;
    if (m_memo->dbase4) {
        data.resize(8);
        data[0] = char(0xFF);
        data[1] = char(0xFF);
        data[2] = 0x08;
        data[3] = 0x00;
        writeLe32(data.data() + 4, quint32(text.size() + 8));
        data += text;
    } else {
        data = text;
        data.append(kEndOfFile).append(kEndOfFile);
    }
    const int bs = m_memo->blockSize;
    const qint64 blocks = (data.size() + bs - 1) / bs;
    data.append(QByteArray(blocks * bs - data.size(), '\0'));
    const quint32 block = m_memo->nextBlock;
    // Memo blocks first, then the pointer to the next free block: an
    // interrupted write leaves only unused space behind.
    writeAll(m_memo->file, qint64(block) * bs, data.constData(), data.size(), m_memo->file.fileName());
    char head[4];
    writeLe32(head, quint32(block + blocks));
    writeAll(m_memo->file, 0, head, 4, m_memo->file.fileName());
    m_memo->nextBlock = quint32(block + blocks);
    m_stamp = openStamp();
    return block;
}

QByteArray DbfFile::blankRecord() const
{
    return QByteArray(m_recordLength, ' ');
}

void DbfFile::encode(QByteArray &record, int field, const Value &v)
{
    const FieldDef &f = m_fields[field];
    char *p = record.data() + f.offset;
    std::memset(p, ' ', size_t(f.length));
    if (v.isNull())
        return;
    const QString fieldName = QString::fromLatin1(f.name);
    switch (f.type) {
    case 'C': {
        const QByteArray b = gbk::cutBytes(v.toBytes(), f.length);
        std::memcpy(p, b.constData(), size_t(b.size()));
        return;
    }
    case 'N':
    case 'F': {
        if (v.kind == Value::Text && v.text.trimmed().isEmpty())
            return;
        double d = v.toNumber();
        if (!std::isfinite(d))
            throw DbError(QString::fromUtf8("表 %1 字段 %2 的数值无效").arg(tableName(), fieldName));
        QByteArray t = QByteArray::number(d, 'f', f.decimals);
        if (t.startsWith('-') && t.count('0') + t.count('.') == t.size() - 1)
            t.remove(0, 1); // no "-0.00"
        if (t.size() > f.length)
            throw DbError(QString::fromUtf8("数值 %1 超出表 %2 字段 %3 的宽度（%4 位，%5 位小数）")
                              .arg(formatNumber(d), tableName(), fieldName)
                              .arg(f.length)
                              .arg(f.decimals));
        std::memcpy(p + (f.length - t.size()), t.constData(), size_t(t.size()));
        return;
    }
    case 'D': {
        const QDate d = v.toDate();
        if (!d.isValid())
            return;
        if (d.year() < 1 || d.year() > 9999)
            throw DbError(QString::fromUtf8("日期超出表 %1 字段 %2 的范围").arg(tableName(), fieldName));
        const QByteArray t = d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
        std::memcpy(p, t.constData(), 8);
        return;
    }
    case 'L': {
        bool b = v.kind == Value::Bool ? v.flag : QByteArray("TtYy1").contains(v.toBytes().left(1));
        p[0] = b ? 'T' : 'F';
        return;
    }
    case 'M': {
        const QByteArray text = v.toBytes();
        const quint32 block = writeMemo(text);
        if (block == 0)
            return;
        const QByteArray t = QByteArray::number(block).rightJustified(f.length, ' ');
        std::memcpy(p, t.constData(), size_t(f.length));
        return;
    }
    }
}

void DbfFile::writeRecord(int rec, const QByteArray &raw)
{
    if (raw.size() != m_recordLength)
        throw DbError(QString::fromUtf8("写入表 %1 的记录长度不符").arg(shortName(m_path)));
    record(rec); // range check
    const qint64 pos = m_headerLength + qint64(rec) * m_recordLength;
    writeAll(m_file, pos, raw.constData(), raw.size(), m_path);
    std::memcpy(m_data.data() + pos, raw.constData(), size_t(raw.size()));
    ++m_generation;
    m_stamp = openStamp();
}

void DbfFile::writeHeader()
{
    char head[8];
    std::memcpy(head, m_data.constData(), 8);
    stampDate(head);
    writeLe32(head + 4, quint32(m_recordCount));
    writeAll(m_file, 0, head, 8, m_path);
    std::memcpy(m_data.data(), head, 8);
}

int DbfFile::appendRecord(const QByteArray &raw)
{
    if (raw.size() != m_recordLength)
        throw DbError(QString::fromUtf8("写入表 %1 的记录长度不符").arg(shortName(m_path)));
    const qint64 pos = m_headerLength + qint64(m_recordCount) * m_recordLength;
    QByteArray out = raw;
    out.append(kEndOfFile);
    try {
        writeAll(m_file, pos, out.constData(), out.size(), m_path);
    } catch (const DbError &) {
        // Leave the file as it was: records, end mark, nothing half-written.
        m_file.resize(pos);
        const char eof = kEndOfFile;
        if (m_file.seek(pos))
            m_file.write(&eof, 1);
        m_file.flush();
        throw;
    }
    m_data.append(raw);
    ++m_recordCount;
    ++m_generation;
    writeHeader();
    m_stamp = openStamp();
    return m_recordCount - 1;
}

void DbfFile::setDeleted(int rec, bool deleted)
{
    QByteArray raw(record(rec), m_recordLength);
    raw[0] = deleted ? '*' : ' ';
    writeRecord(rec, raw);
    ++m_generation;
}

void DbfFile::pack()
{
    if (!m_exclusive)
        throw DbError(QString::fromUtf8("整理表 %1 需要独占打开").arg(shortName(m_path)));
    QByteArray out = m_data.left(m_headerLength);
    int kept = 0;
    for (int r = 0; r < m_recordCount; ++r) {
        const char *rec = record(r);
        if (rec[0] == '*')
            continue;
        out.append(rec, m_recordLength);
        ++kept;
    }
    if (kept == m_recordCount)
        return;
    stampDate(out.data());
    writeLe32(out.data() + 4, quint32(kept));
    out.append(kEndOfFile);

    // The new file replaces the old only once it is completely on disk.
    QSaveFile save(m_path);
    if (!save.open(QIODevice::WriteOnly) || save.write(out) != out.size() || !save.commit())
        throw DbError(QString::fromUtf8("整理表 %1 失败：%2").arg(shortName(m_path), save.errorString()));
    m_file.close();
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite))
        throw DbError(QString::fromUtf8("无法重新打开表 %1：%2").arg(shortName(m_path), m_file.errorString()));
    out.chop(1);
    m_data = out;
    m_stamp = diskStamp();
    m_recordCount = kept;
    ++m_generation;
}

void DbfFile::create(const QString &dir, const QString &name, const QVector<ColumnSpec> &columns)
{
    const QString fileName = stripName(name);
    if (!findFile(dir, fileName).isEmpty())
        throw DbError(QString::fromUtf8("表文件 %1 已存在").arg(fileName));
    if (columns.isEmpty() || columns.size() > 255)
        throw DbError(QString::fromUtf8("表 %1 的字段数无效").arg(fileName));

    bool memo = false;
    int recordLength = 1;
    QByteArray fields;
    QSet<QByteArray> names;
    for (const ColumnSpec &c : columns) {
        const QByteArray n = c.name.toUpper().toLatin1();
        if (names.contains(n))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 重复").arg(fileName, c.name));
        names.insert(n);
        int length = c.length;
        if (c.type == 'D')
            length = 8;
        else if (c.type == 'M')
            length = 10;
        else if (c.type == 'L')
            length = 1;
        if (n.isEmpty() || n.size() > 10 || !QByteArray("CNFDML").contains(c.type) || length < 1 || length > 254
            || c.decimals < 0 || (c.decimals > 0 && c.decimals >= length - 1))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 定义无效").arg(fileName, c.name));
        QByteArray d(32, '\0');
        std::memcpy(d.data(), n.constData(), size_t(n.size()));
        d[11] = c.type;
        d[16] = char(length);
        d[17] = char(c.type == 'N' || c.type == 'F' ? c.decimals : 0);
        fields += d;
        recordLength += length;
        memo = memo || c.type == 'M';
    }
    if (recordLength > 65535)
        throw DbError(QString::fromUtf8("表 %1 的记录过长").arg(fileName));

    QByteArray header(32, '\0');
    header[0] = char(memo ? 0x83 : 0x03);
    stampDate(header.data());
    writeLe16(header.data() + 8, quint16(32 + fields.size() + 1));
    writeLe16(header.data() + 10, quint16(recordLength));
    header[29] = char(kGbkDriver);
    QByteArray file = header + fields;
    file.append(kHeaderEnd).append(kEndOfFile);

    auto writeNew = [](const QString &path, const QByteArray &bytes) {
        QSaveFile save(path);
        if (!save.open(QIODevice::WriteOnly) || save.write(bytes) != bytes.size() || !save.commit())
            throw DbError(QString::fromUtf8("无法建立表文件 %1：%2").arg(shortName(path), save.errorString()));
    };
    if (memo) {
        QFileInfo info(fileName);
        const bool upper = info.suffix() == info.suffix().toUpper() && info.suffix() != info.suffix().toLower();
        const QString memoName = info.completeBaseName() + (upper ? QStringLiteral(".DBT") : QStringLiteral(".dbt"));
        const QString existingMemo = findFile(dir, memoName);
        QByteArray memoHead(kMemoBlock, '\0');
        writeLe32(memoHead.data(), 1);
        memoHead[16] = 0x03;
        writeNew(existingMemo.isEmpty() ? QDir(dir).filePath(memoName) : existingMemo, memoHead);
    }
    writeNew(QDir(dir).filePath(fileName), file);
}

} // namespace db
