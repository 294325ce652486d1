#include "UnitRow.h"

#include "UnitDM.h"

void writeOwnUnitIdentity(db::Dataset *unit)
{
    unit->fieldByName("chiefexper")->setAsString(QStringLiteral("   9999999999"));
    unit->fieldByName("unitcode")->setAsString(OwnUnitCode);
    unit->fieldByName("endlevel")->setAsInteger(1);
    unit->fieldByName("unitlevel")->setAsString(QStringLiteral("1"));
}

bool ownUnitStored()
{
    db::Table *unit = DM->Tblunit;
    return unit->active() && unit->recordCount() > 0 && unit->state() != db::Dataset::Insert;
}
