// The input is a journal found at a start over a small folder: two tables
// of ten rows, each with a memo file (the seeds are journals the engine
// wrote over that folder: finished, unfinished, one after the other, and
// journals of the format before). Whatever the bytes: no crash, and the
// journal no longer stands in the way. Set aside, with a message, the
// tables are exactly as found. Played, they are in a state a sound journal
// can leave: each table of the same layout, no longer than it was and no
// row counted beyond its file, each memo file no longer than it was, and
// every row still readable.
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/file/Value.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// Also used to write the seeds: the folder every input is played over.
void makeJournalFuzzFolder(const QString &dir)
{
    for (const char *name : {"one", "two"}) {
        db::DbfFile::create(dir, name, {{"NAME", 'C', 20, 0}, {"NOTE", 'M', 10, 0}});
        const auto file = db::DbfFile::open(dir, name);
        for (int i = 0; i < 10; ++i) {
            QByteArray raw = file->blankRecord();
            file->encode(raw, 0, db::Value::fromString(QString("row %1").arg(i)));
            file->encode(raw, 1, db::Value::fromString(QString("note %1").arg(i)));
            file->appendRecord(raw);
        }
    }
    db::DbfFile::releaseUnused();
}

namespace {

using Files = QMap<QString, QByteArray>;

Files filesOf(const QString &dir)
{
    Files files;
    for (const QString &name : QDir(dir).entryList({"one.*", "two.*"}, QDir::Files)) {
        QFile f(QDir(dir).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        files.insert(name, f.readAll());
    }
    return files;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

quint32 le(const QByteArray &b, int at, int size)
{
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | uchar(b[at + i]);
    return v;
}

// A table as a sound journal may leave it from the one it was.
bool soundTable(const QByteArray &was, const QByteArray &now)
{
    if (now.size() < 32 || now.size() > was.size() || now[0] != was[0] || now.mid(8, 24) != was.mid(8, 24))
        return false;
    const quint32 headerLength = le(now, 8, 2), recordLength = le(now, 10, 2);
    return headerLength + qint64(le(now, 4, 4)) * recordLength <= now.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir scratch;
    static Files found;
    if (found.isEmpty()) {
        makeJournalFuzzFolder(scratch.path());
        found = filesOf(scratch.path());
    }
    const QString dir = scratch.path();
    for (const QString &name : QDir(dir).entryList(QDir::Files))
        QFile::remove(QDir(dir).filePath(name));
    for (auto it = found.begin(); it != found.end(); ++it)
        write(QDir(dir).filePath(it.key()), it.value());
    write(QDir(dir).filePath(db::journalFileName()), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    const QString message = db::recoverJournal(dir);
    if (QFile::exists(QDir(dir).filePath(db::journalFileName())))
        std::abort();
    const bool setAside = !QDir(dir).entryList({db::journalFileName() + ".unreadable-*"}, QDir::Files).isEmpty();
    if (setAside != !message.isEmpty())
        std::abort();
    const Files now = filesOf(dir);
    if (setAside && now != found)
        std::abort();
    for (const QString &table : {QStringLiteral("one"), QStringLiteral("two")}) {
        if (!soundTable(found[table + ".dbf"], now[table + ".dbf"]) || now[table + ".dbt"].size() > found[table + ".dbt"].size())
            std::abort();
        try {
            const auto file = db::DbfFile::open(dir, table);
            for (int rec = 0; rec < file->recordCount(); ++rec)
                for (int f = 0; f < file->fieldCount(); ++f)
                    file->value(rec, f);
        } catch (const db::DbError &) {
            // A memo pointer a journal put back may name a block cut off: read as an error, not a crash.
        }
    }
    db::DbfFile::releaseUnused();
    return 0;
}
