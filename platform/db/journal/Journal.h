#pragma once
// Operations that write several rows or tables are whole after a crash: a
// journal in the data folder holds the bytes of every row before the
// operation changed it and the size of every table it grew, on disk before
// the first change reaches a table; committing adds the rows' new bytes and
// a mark. A journal found at start-up is played back before any table
// opens: finished operations done again, an unfinished one undone.
#include "db/file/Disk.h" // the fault seam

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

namespace db {

class DbfFile;

// One operation over the tables of a folder. Every write the engine makes
// to a table of that folder while it is alive is journaled; rows declared
// with keepRows go to the journal together, in one flush before the first
// write, and any other row is journaled on its own just before its first
// change. A transaction made
// while another is alive joins it: only the outermost commits, or, not
// committed, takes every change back (see rollback).
class Transaction
{
public:
    explicit Transaction(const QString &folder);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Whether changes are journaled (not when the journal is switched off).
    bool journaling() const;
    // These records of the file are about to change (the bytes from offset
    // on, length of them; the whole record by default).
    void keepRows(DbfFile &file, const QVector<int> &recs, int offset = 0, int length = -1);
    // Makes the changes durable. Throws DbError when the disk refuses; the
    // operation then has not happened: the destructor takes it back.
    void commit();
    // Puts every table back as it was when the transaction began. Returns
    // what failed: the journal then stays for the next start, and until
    // then every write to the folder's tables is refused.
    QString rollback();

    // Changes from here on can be taken back alone, in this process (not
    // after a crash, which takes back the whole transaction).
    class Savepoint
    {
    public:
        explicit Savepoint(Transaction &transaction);
        ~Savepoint();
        Savepoint(const Savepoint &) = delete;
        Savepoint &operator=(const Savepoint &) = delete;
        void rollback();

        struct State;

    private:
        std::unique_ptr<State> m_state;
        Transaction *m_transaction;
    };

    // Makes the tables of the finished operations durable and removes the
    // journal (at the end of the program; a journal grown large is
    // checkpointed by the commit itself). Throws DbError.
    static void checkpoint();

    // For measuring the journal's cost: without it operations write as
    // they did before (no journal, no flushes).
    static void setEnabled(bool on);
    // How many times journals were synced since the program started.
    static quint64 journalSyncs();

    struct Shared;

private:
    friend class Savepoint;
    std::shared_ptr<Shared> m_shared;
    bool m_outermost = false;
    bool m_committed = false;
};


// Throws DbError while the tables of the folder wait for the next start
// to be made whole (an operation could be neither finished nor taken
// back): no write, and no output drawn from them, until then.
void checkTablesWhole(const QString &folder);
// What the user has to be told of that, once: the text the first time
// after it began, then nothing.
QString takeRefusalNotice();

// Plays back a journal that a crash left in the folder, before any table
// is opened: every table it names is put back (a table no longer there is
// passed over) and the journal removed. Returns an empty text, or what the
// user must be told: a journal that is damaged (not merely cut by a crash)
// or names what does not fit the tables is set aside and the tables are
// left as they are, unless its finished operations can still be played
// whole from their last flushes.
QString recoverJournal(const QString &folder);
// The journal's file name in a data folder.
QString journalFileName();

} // namespace db
