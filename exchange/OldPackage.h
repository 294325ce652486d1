#pragma once
// Packages of the older naming: "CGSB" and a unit code of one to three
// characters, ".ARJ", whose members carry the unit code in their names
// ("KJCG" + code + ".TXT", "CGDW…", "CGWCR…", "JDMD…", "ZLQK…"). They are
// converted into a current cgsbqy.arj in the same folder.
#include <QString>
#include <optional>

// The unit code of an old package's file name; nothing when the name is not
// of that form.
std::optional<QString> OldPackageUnitCode(const QString &fileName);

// A package lacking one of the five members under either name.
class OldPackageIncomplete : public std::exception
{
public:
    const char *what() const noexcept override { return "old package incomplete"; }
};

// Unpacks the package in a scratch folder beside it, takes each of the five
// members under its old name (or, failing that, its current one) and packs
// them under their current names. The package's folder gets cgsbqy.arj
// (replacing one there, in whatever letter case) only once the new archive
// is complete; nothing else there is touched. Returns its path. Throws
// OldPackageIncomplete, or archiver::ArchiverError when the archiver fails.
QString ConvertOldPackage(const QString &packagePath, const QString &unitCode);
