#pragma once
// A unit's basic data as section 04 and the window "单位情况" both show it:
// ten edits, four coded lists and the research-institute conversion box,
// with the same lists, required fields and enterprise rule in both.
#include "FieldBinding.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

struct UnitDataControls
{
    QLineEdit *name, *legalCode, *address, *postcode, *phone, *fax, *website, *contact, *contactPhone, *email;
    QComboBox *type, *ownership, *province, *ministry;
    QCheckBox *converted;
};

// The edits and the four lists (codes of three characters) bound to their
// columns item_9 … item_63; the edits take their widths from table.
FieldBindings unitDataBindings(const UnitDataControls &c, const QString &table);

// The ownership list, which the enterprise rule fills again on its own.
void fillOwnerships(QComboBox *combo);
// The chosen unit type is an enterprise: its name says so.
bool isEnterpriseType(const QComboBox *type);
// A new unit type chosen: the ownership list is filled again; ownership and
// conversion apply to an enterprise only and are emptied otherwise.
void unitTypeChanged(const UnitDataControls &c);
// The required fields in their fixed order: ShowWarning and the silent
// abort at the first empty one.
void checkUnitData(const UnitDataControls &c);
