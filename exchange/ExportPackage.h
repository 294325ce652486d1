#pragma once
// The exchange package of chosen achievement records: their kjcg rows,
// their child rows, the unit table and the discipline leaders, as seven
// exchange text files packed into cgsbqy.arj.
#include <QList>
#include <QString>
#include <QStringList>

namespace db {
class Dataset;
}

// The package's file name and its members in packing order.
QString PackageName();
QStringList PackageMembers();

// ITEM_SJDC "0" on every row of records.
void ClearExportMarks(db::Dataset &records);

// Writes the seven members into folder: the rows of records at the view
// positions rows, in table order, and the child rows whose ITEM_4 and
// ITEM_DQDM are those of a written record (a record of another region with
// the same ITEM_4 keeps its rows). Each file appears only when complete.
void WritePackageMembers(db::Dataset &records, const QList<int> &rows, const QString &folder);

// The whole export into folder. The members are written and packed in a
// scratch folder inside folder; the package must pass the archiver's test
// and list all seven members. Only then does it take the place of folder's
// cgsbqy.arj, and then the exported rows get ITEM_SJDC "1". A failure before
// the package is in place throws (ExchangeError, archiver::ArchiverError,
// db::DbError) and leaves the old package, the marks and the folder as
// they were; marks that cannot be set throw ExchangeError naming the
// package, and stay as they were. Returns the package's path.
QString ExportPackage(db::Dataset &records, const QList<int> &rows, const QString &folder);
