#pragma once
// The own unit's row of the table unit, which the unit profile and its
// long-text editors write.
#include <QString>

namespace db {
class Dataset;
}

// The unitcode of the own unit (also of its discipline leaders and of the
// applied-technology records it registers).
inline const QString OwnUnitCode = QStringLiteral("9990001000");

// Writes what marks a row as the own unit; the row is in edit state.
void writeOwnUnitIdentity(db::Dataset *unit);
// Whether the own unit is registered: the unit table holds a stored row.
bool ownUnitStored();
