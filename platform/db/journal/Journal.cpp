// Transactions and savepoints, the table files' watcher that journals their writes, checkpoints and start-up recovery.
#include "Journal.h"

#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "JournalFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace db {

namespace {

bool g_enabled = true;

} // namespace

QString journalFileName()
{
    return QStringLiteral("~journal");
}

// What the transactions of one operation share: the tables it touched as
// they were, what the journal holds of their rows, its savepoints.
struct Transaction::Shared
{
    struct Table
    {
        std::shared_ptr<DbfFile> file;
        journal::TableImage image;
        // The bytes of each record the journal holds, as one span: a change
        // within it needs no new entry.
        QHash<int, std::pair<int, int>> covered;
        bool written = false; // synced at the next checkpoint
        bool grown = false;   // synced before the operation's mark
    };

    QString folder;
    journal::Writer &writer;
    std::vector<Table> tables;
    QHash<const DbfFile *, int> byFile;
    Transaction::Savepoint::State *savepoint = nullptr;
    bool begun = false; // in the journal
    bool closed = false;

    explicit Shared(journal::Writer &w) : writer(w) {}
    int tableOf(DbfFile &file);
    bool keep(int table, int rec, int offset, int length);
    bool wroteAny() const
    {
        return std::any_of(tables.begin(), tables.end(), [](const Table &t) { return t.written; });
    }
    // Tells the folder's journal which files to sync at the checkpoint.
    void noteWritten() const;
};

// The journal of a folder outlives its operations: finished ones stay in it,
// marked, until a checkpoint has made their tables durable and removes it.
// So an operation costs one sync of the journal at its start and one at
// its end, not a sync of every table it wrote.
struct FolderJournal
{
    QString folder;
    journal::Writer writer;
    QSet<QString> written; // files, since the last checkpoint
    // Tables whose rows its finished operations would write again at a
    // start: a write to one outside an operation waits for a checkpoint.
    QSet<QString> named;
};

struct Transaction::Savepoint::State
{
    QHash<int, int> counts;                    // rows of each table when it was set
    QHash<QPair<int, int>, QByteArray> images; // records before their first change since
    State *outer = nullptr;
};

namespace {

Transaction::Shared *g_active = nullptr;
constexpr qint64 kCheckpointSize = 4 << 20;

// Tables left as no operation meant them, until a start plays the journal
// (or, when the journal could not be set aside, until someone removes it).
struct Refusal
{
    QString folder;
    QString reason; // for every write and output refused
    QString notice; // for the user, once
    bool told = true;
};

Refusal &refusal()
{
    static Refusal r;
    return r;
}

// The notice is told once: by the caller when it says it already.
void refuse(const QString &folder, const QString &reason, const QString &notice = {})
{
    refusal() = {QFileInfo(folder).absoluteFilePath(), reason, notice, notice.isEmpty()};
}

// An operation neither finished nor taken back.
void refuseUntilRestart(const QString &folder)
{
    refuse(folder, QString::fromUtf8("数据表等待重新启动程序后恢复完整，现在不能修改、导出或打印数据。"),
           QString::fromUtf8("上一个操作只改了数据表的一部分，也没能撤销。重新启动程序时数据表会恢复完整；"
                             "在此之前不能再修改、导出或打印数据。请立即重新启动程序。"));
}

std::unique_ptr<FolderJournal> &folderJournal()
{
    static std::unique_ptr<FolderJournal> journal;
    return journal;
}

// Makes every table written since the last checkpoint durable, then
// removes the journal. What fails leaves the journal for the next start.
void checkpointNow()
{
    auto &j = folderJournal();
    if (!j)
        return;
    if (j->writer.started()) {
        for (const QString &path : std::as_const(j->written)) {
            // Any descriptor of a file syncs what was written through another.
            faultPoint("sync");
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            const bool synced = fd < 0 ? errno == ENOENT : disk::sync(fd, path);
            if (fd >= 0)
                ::close(fd);
            if (!synced)
                throw DbError(QString::fromUtf8("无法写入磁盘：%1").arg(QDir::toNativeSeparators(path)));
        }
        j->writer.remove();
    }
    j->written.clear();
    j->named.clear();
}

journal::Writer &writerFor(const QString &dir)
{
    auto &j = folderJournal();
    if (j && j->folder != dir) {
        checkpointNow();
        j.reset();
    }
    if (!j) {
        j = std::make_unique<FolderJournal>();
        j->folder = dir;
        j->writer.setPath(QDir(dir).filePath(journalFileName()));
    }
    return j->writer;
}

Transaction::Shared *activeFor(const DbfFile &file)
{
    if (!g_active || g_active->closed || file.folder() != g_active->folder)
        return nullptr;
    return g_active;
}

} // namespace

void Transaction::Shared::noteWritten() const
{
    for (const Table &t : tables) {
        folderJournal()->named.insert(t.file->path());
        if (!t.written)
            continue;
        folderJournal()->written.insert(t.file->path());
        if (!t.image.memoFileName.isEmpty())
            folderJournal()->written.insert(QDir(folder).filePath(t.image.memoFileName));
    }
}

int Transaction::Shared::tableOf(DbfFile &file)
{
    if (const auto it = byFile.constFind(&file); it != byFile.constEnd())
        return *it;
    Table t;
    t.file = file.shared_from_this();
    t.image = file.diskImage();
    const int id = int(tables.size());
    if (!begun) {
        writer.beginOperation();
        begun = true;
    }
    writer.addTable(id, t.image);
    for (Savepoint::State *s = savepoint; s; s = s->outer)
        s->counts.insert(id, t.image.recordCount);
    tables.push_back(std::move(t));
    byFile.insert(&file, id);
    return id;
}

// Adds the bytes to the journal unless it holds them already; true when
// an entry was added.
bool Transaction::Shared::keep(int table, int rec, int offset, int length)
{
    Table &t = tables[size_t(table)];
    if (rec < 0 || rec >= t.image.recordCount)
        return false; // a row of this operation's own: taken back with the row count
    auto it = t.covered.find(rec);
    if (it != t.covered.end()) {
        if (offset >= it->first && offset + length <= it->second)
            return false;
        const int begin = std::min(offset, it->first);
        const int end = std::max(offset + length, it->second);
        offset = begin;
        length = end - begin;
        *it = {begin, end};
    } else {
        t.covered.insert(rec, {offset, offset + length});
    }
    // The bytes as they are now: within the span covered before they may
    // have changed, but the earlier entry puts those back, as a journal is
    // played back latest first.
    writer.addBefore(table, rec, offset, t.file->record(rec) + offset, length);
    return true;
}

Transaction::Transaction(const QString &folder)
{
    if (!g_enabled)
        return;
    const QString dir = QFileInfo(folder).absoluteFilePath();
    if (g_active) {
        if (g_active->folder != dir)
            throw DbError(QString::fromUtf8("另一个目录的操作尚未完成：%1").arg(QDir::toNativeSeparators(g_active->folder)));
        // Joined: the outermost owns the journal and commits.
        m_shared = std::shared_ptr<Shared>(std::shared_ptr<Shared>{}, g_active);
        return;
    }
    auto shared = std::make_shared<Shared>(writerFor(dir));
    shared->folder = dir;
    m_shared = std::move(shared);
    m_outermost = true;
    g_active = m_shared.get();
}

Transaction::~Transaction()
{
    if (!m_shared)
        return;
    if (!m_outermost)
        return;
    if (!m_committed && !m_shared->closed)
        rollback(); // what fails stays in the journal for the next start
    g_active = nullptr;
}

bool Transaction::journaling() const
{
    return m_shared && !m_shared->closed;
}

void Transaction::keepRows(DbfFile &file, const QVector<int> &recs, int offset, int length)
{
    Shared *s = activeFor(file);
    if (!m_shared || s != m_shared.get())
        return;
    if (length < 0)
        length = file.recordLength() - offset;
    if (offset < 0 || length <= 0 || offset + length > file.recordLength())
        throw DbError(QString::fromUtf8("表 %1 的日志范围无效").arg(file.tableName()));
    const int table = s->tableOf(file);
    for (const int rec : recs)
        s->keep(table, rec, offset, length);
    // Flushed with what else is declared, before the first write.
}

void Transaction::commit()
{
    if (!m_shared || m_committed)
        return;
    m_committed = true;
    if (!m_outermost)
        return;
    Shared &s = *m_shared;
    if (!s.wroteAny()) {
        s.writer.dropPending(); // what was declared stands for no write
        s.closed = true;
        return;
    }
    const journal::Writer::Mark mark = s.writer.pendingMark();
    try {
        faultPoint("commit");
        // Rows it added and memos must be on disk before the mark says the
        // operation is done: the journal holds only the rows it changed.
        for (const Shared::Table &t : s.tables)
            if (t.grown)
                t.file->syncToDisk();
        // Its last flush alone does it again: the tables as they are now,
        // the rows' bytes, the mark.
        s.writer.beginCommit();
        for (size_t id = 0; id < s.tables.size(); ++id)
            s.writer.addEndTable(int(id), s.tables[id].file->diskImage());
        for (size_t id = 0; id < s.tables.size(); ++id) {
            const Shared::Table &t = s.tables[id];
            for (auto span = t.covered.cbegin(); span != t.covered.cend(); ++span)
                s.writer.addAfter(int(id), span.key(), span->first, t.file->record(span.key()) + span->first,
                                  span->second - span->first);
        }
        s.writer.addCommit();
        s.writer.flush();
    } catch (const DbError &) {
        // Not done: the mark never counts (the rollback cuts the journal
        // back before it), and the destructor takes the changes back.
        s.writer.dropPending(mark);
        m_committed = false;
        throw;
    }
    s.closed = true;
    s.noteWritten();
    if (s.writer.size() >= kCheckpointSize) {
        try {
            checkpointNow();
        } catch (const DbError &) {
            // The operation is done and in the journal; a later checkpoint
            // or the next start finishes the job.
        }
    }
}

QString Transaction::rollback()
{
    if (!m_shared || !m_outermost || m_shared->closed)
        return {};
    Shared &s = *m_shared;
    s.closed = true; // the restoring writes are not journaled
    // Entries never flushed stand for writes that never happened.
    s.writer.dropPending();
    // Without a journal on disk no table was written: a write waits for it.
    if (!s.wroteAny() || !s.writer.started())
        return {};
    try {
        // Played back as a start would: the operations done before it are
        // done already; this one, unfinished, is undone. A failed flush (the
        // commit's among them) is cut off first, for good.
        s.writer.cutBack();
        journal::Contents contents;
        QString why;
        switch (journal::read(s.writer.path(), s.folder, contents, &why)) {
        case journal::ReadResult::Empty:
            contents.operations.clear();
            break;
        case journal::ReadResult::Read:
            if (contents.operations.empty() || contents.operations.back().committed)
                throw DbError(QString::fromUtf8("恢复日志中没有未完成的操作"));
            contents.operations.erase(contents.operations.begin(), contents.operations.end() - 1);
            break;
        default:
            throw DbError(why);
        }
        journal::restore(s.folder, contents);
        for (const Shared::Table &t : s.tables)
            t.file->reloadFromDisk();
        // The journal now ends in an operation undone: it goes.
        s.noteWritten();
        checkpointNow();
    } catch (const std::exception &e) {
        // The journal stays on disk for the next start, and stops every
        // write until then: a change made now would be played over, or
        // played back in the wrong order.
        folderJournal().reset();
        refuseUntilRestart(s.folder);
        return QString::fromUtf8(e.what());
    }
    return {};
}

void Transaction::checkpoint()
{
    if (!g_active)
        checkpointNow();
}

Transaction::Savepoint::Savepoint(Transaction &transaction)
    : m_state(std::make_unique<State>()), m_transaction(&transaction)
{
    Shared *s = transaction.m_shared.get();
    if (!s)
        return;
    for (size_t id = 0; id < s->tables.size(); ++id)
        m_state->counts.insert(int(id), s->tables[id].file->recordCount());
    m_state->outer = s->savepoint;
    s->savepoint = m_state.get();
}

Transaction::Savepoint::~Savepoint()
{
    Shared *s = m_transaction->m_shared.get();
    if (s && s->savepoint == m_state.get())
        s->savepoint = m_state->outer;
}

void Transaction::Savepoint::rollback()
{
    Shared *s = m_transaction->m_shared.get();
    if (!s || s->closed)
        return;
    for (auto it = m_state->images.cbegin(); it != m_state->images.cend(); ++it)
        s->tables[size_t(it.key().first)].file->writeRecord(it.key().second, it.value());
    for (auto it = m_state->counts.cbegin(); it != m_state->counts.cend(); ++it)
        s->tables[size_t(it.key())].file->truncateRows(it.value());
    m_state->images.clear();
}

void Transaction::setEnabled(bool on)
{
    g_enabled = on;
}

namespace {

// The table files' side: what they say before they write.
class JournalWatch : public WriteWatch
{
public:
    JournalWatch() { setWriteWatch(this); }
    bool covers(const DbfFile &file) override { return activeFor(file) != nullptr; }
    void beforeRowWrite(DbfFile &file, int rec, const char *oldRecord, const char *newRecord) override;
    void beforeGrowth(DbfFile &file) override;
    // Each of the three first refuses a write to tables waiting for a
    // restart, and, for a write outside an operation, checkpoints a journal
    // whose finished operations name the file: played at a start, they
    // would write their older bytes over it.
    void beforeReplace(DbfFile &file) override;
};

JournalWatch g_watch;

void beforeWrite(DbfFile &file)
{
    checkTablesWhole(file.folder());
    if (activeFor(file))
        return;
    // A finished operation in the journal would write its rows' bytes over
    // this write at the next start: the journal goes first.
    const auto &j = folderJournal();
    if (j && j->named.contains(file.path()))
        checkpointNow();
}

void JournalWatch::beforeRowWrite(DbfFile &file, int rec, const char *oldRecord, const char *newRecord)
{
    beforeWrite(file);
    Transaction::Shared *s = activeFor(file);
    if (!s)
        return;
    const int table = s->tableOf(file);
    s->tables[size_t(table)].written = true;
    for (Transaction::Savepoint::State *p = s->savepoint; p; p = p->outer) {
        const QPair<int, int> key(table, rec);
        if (rec < p->counts.value(table) && !p->images.contains(key))
            p->images.insert(key, QByteArray(oldRecord, file.recordLength()));
    }
    // The changed bytes: from the first that differs to the last.
    const int length = file.recordLength();
    const int begin = int(std::mismatch(oldRecord, oldRecord + length, newRecord).first - oldRecord);
    int end = length;
    while (end > begin && oldRecord[end - 1] == newRecord[end - 1])
        --end;
    if (begin < end)
        s->keep(table, rec, begin, end - begin);
    s->writer.flush();
}

void JournalWatch::beforeReplace(DbfFile &file)
{
    // A file is replaced only outside an operation: beforeWrite checkpoints
    // a journal that names it (every file written is named).
    beforeWrite(file);
}

void JournalWatch::beforeGrowth(DbfFile &file)
{
    beforeWrite(file);
    Transaction::Shared *s = activeFor(file);
    if (!s)
        return;
    Transaction::Shared::Table &t = s->tables[size_t(s->tableOf(file))];
    t.written = t.grown = true;
    s->writer.flush();
}

} // namespace

void checkTablesWhole(const QString &folder)
{
    const Refusal &r = refusal();
    if (!r.folder.isEmpty() && r.folder == QFileInfo(folder).absoluteFilePath())
        throw DbError(r.reason);
}

QString takeRefusalNotice()
{
    Refusal &r = refusal();
    if (r.told)
        return {};
    r.told = true;
    return r.notice;
}

quint64 Transaction::journalSyncs()
{
    return journal::Writer::syncs();
}

namespace {

// Moves the journal to a name of its own beside it, never over another
// file; the name, or nothing when it could not be moved (error says why).
QString moveAside(const QString &path, QString *error)
{
    const QString stem = path + QStringLiteral(".unreadable-")
                       + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    for (int n = 1;; ++n) {
        const QString aside = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        try {
            faultPoint("rename");
        } catch (const std::exception &e) {
            *error = QString::fromUtf8(e.what());
            return {};
        }
        if (disk::rename(path, aside, false))
            return aside;
        if (errno != EEXIST || n >= 1000) {
            *error = QString::fromLocal8Bit(strerror(errno));
            return {};
        }
    }
}

QString setAside(const QString &folder, const QString &path, const QString &why)
{
    QString error;
    const QString aside = moveAside(path, &error);
    if (aside.isEmpty()) {
        // Left where it is, it would stop every operation, and a later
        // start would try it again over whatever was written meanwhile.
        const QString message = QString::fromUtf8("数据目录中的恢复日志无法读取（%1），也无法改名保留（%2）。各数据表保持原样；"
                                                  "在移走 %3 之前不能修改数据。")
                                    .arg(why, error, QDir::toNativeSeparators(path));
        refuse(folder, QString::fromUtf8("恢复日志 %1 无法改名保留，在移走它之前不能修改数据。").arg(QDir::toNativeSeparators(path)));
        return message;
    }
    disk::syncFolder(folder);
    return QString::fromUtf8("数据目录中的恢复日志无法读取（%1），已改名为 %2 保留，各数据表保持原样。"
                             "上次中断的操作可能只完成了一部分，请检查最近修改的项目。")
        .arg(why, QDir::toNativeSeparators(aside));
}

} // namespace

QString recoverJournal(const QString &folder)
{
    if (refusal().folder == QFileInfo(folder).absoluteFilePath())
        refusal() = {};
    const QString path = QDir(folder).filePath(journalFileName());
    if (!QFileInfo::exists(path))
        return {};
    journal::Contents contents;
    QString why;
    switch (journal::read(path, folder, contents, &why)) {
    case journal::ReadResult::Empty:
        contents.operations.clear();
        break;
    case journal::ReadResult::Unreadable:
        return setAside(folder, path, why);
    case journal::ReadResult::Read:
    case journal::ReadResult::Salvaged:
        break;
    }
    try {
        journal::restore(folder, contents);
        faultPoint("journal-remove");
        if (!disk::remove(path))
            throw DbError(QString::fromLocal8Bit(strerror(errno)));
        disk::syncFolder(folder);
    } catch (const DbError &e) {
        const QString message = QString::fromUtf8("恢复上次中断的操作时出错：%1。恢复日志 %2 保留，下次启动时再试；"
                                                  "在此之前不能修改数据。")
                                    .arg(e.message(), QDir::toNativeSeparators(path));
        refuse(folder, QString::fromUtf8("上次中断的操作没有恢复，在重新启动程序之前不能修改数据。"));
        return message;
    }
    return {};
}

} // namespace db
