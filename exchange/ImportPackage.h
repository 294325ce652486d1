#pragma once
// Reading an exchange package into the staging tables (KJCGtemp,
// CGWCDWtemp, CGWCRtemp, JDWYHMDtemp, ZLQKtemp, UNITtemp). A package is
// unpacked into a folder of its own and read straight into the staging
// tables as one journaled operation: one that does not read whole is taken
// back, so a refused one leaves every table as it was.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include "files/ScratchFolder.h"

#include <QDir>
#include <functional>

// The package's member names without ".TXT", in the package's order:
// "KJCG", "CGWCDW", "CGWCR", "JDWYHMD", "ZLQK", "UNIT", "EXPERT". Member i
// is staged in the table named stem i + "temp.dbf"; EXPERT is never read.
const QStringList &PackageMemberStems();
constexpr int kStagedMembers = 6;

// A package unpacked by the archiver into a fresh temporary folder, removed
// with the object.
class UnpackedPackage
{
public:
    // Throws archiver::ArchiverError when the archiver is missing, fails or
    // refuses the package (a damaged archive, a member with a path), and
    // ExchangeError when the package has no KJCG.TXT.
    explicit UnpackedPackage(const QString &packagePath);
    // The member files as the archiver would leave them (name → contents),
    // for reading a package without one. Throws ExchangeError as above.
    explicit UnpackedPackage(const QMap<QString, QByteArray> &members);
    UnpackedPackage(const UnpackedPackage &) = delete;
    UnpackedPackage &operator=(const UnpackedPackage &) = delete;

    QString folder() const { return m_dir.path(); }
    // The file of member i (0 to 5), empty when the package lacks it.
    QString memberPath(int member) const;
    int memberCount() const;

private:
    void requireRecords() const;

    // In the system's temporary folder; what a crash left there goes the
    // next time a package is unpacked.
    ScratchFolder m_dir{QDir::tempPath(), QStringLiteral("corvane-import")};
    QStringList m_missing;
};

struct StagingProgress
{
    std::function<void(int member)> memberStarts; // before member i is read
    // After every piece of work, with the work done and all there is. It may
    // throw ReadCancelled: the staging tables then stay as they were.
    std::function<void(qint64 done, qint64 total)> advance;
};

// Reads every member the package has into its staging table and returns the
// number of achievement records staged. Records whose key (ITEM_4 with
// ITEM_DQDM) is already staged, as a record or by child rows, take another
// ITEM_DQDM together with their child rows, so two packages never share
// child rows. Throws ExchangeError naming the file and line when a member
// does not read or is not GBK text (MemberTextError), or when a record
// lacks a record key or repeats the key and region of another; the staging
// tables are then as before.
int StagePackage(const UnpackedPackage &package, const StagingProgress &progress = {});

// Deletes every row of the five staging tables of the records and their child
// rows (UNITtemp is kept).
void EmptyStagingTables();
