#pragma once
// Packing and unpacking ARJ archives with Debian's arj. Work happens in a
// temporary folder beside the archive; an archive or an extracted file
// appears under its name only once it is complete. Names are plain file
// names in the archive's folder: a name holding a path, "..", or a wildcard
// is refused, and so is an archive holding a member with a path.
#include "ArjProcess.h"

#include <QString>
#include <QStringList>

namespace archiver {

// Adds the named files of the archive's folder to the archive (its name
// with an extension), creating the archive when it is missing.
void addFiles(const QString &archivePath, const QStringList &fileNames);

// The names of the archive's members as stored.
QStringList memberNames(const QString &archivePath);

// Extracts the members named, matched without regard to case, into the
// archive's folder, each under the name asked for, replacing a file of that
// name. Returns the names asked for that the archive does not hold. An
// archive holding two members of one name, in any case, is refused.
QStringList extractMembers(const QString &archivePath, const QStringList &names);

} // namespace archiver
