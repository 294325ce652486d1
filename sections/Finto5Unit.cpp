#include "Finto5Unit.h"

#include "EntryControls.h"

TFinto5 *Finto5 = nullptr;

TFinto5::TFinto5(QWidget *parent) : RowDialog("05", parent)
{
    setupUi(this);
    // The unit's name is stored trimmed, the rest as typed.
    addBinding(trimmedTextBinding("ITEM_170", edtdw_170, "cgwcdw"));
    addBinding(textBinding("ITEM_171", edtdw_171, "cgwcdw"));
    addBinding(textBinding("ITEM_172", edtdw_172, "cgwcdw"));
    addBinding(textBinding("ITEM_173", edtdw_173, "cgwcdw"));
    setSequenceEdit(edt_176);
    makeDigitEdit(edtdw_172);
    wireButtons(Button1, Button2);
}

bool TFinto5::nothingEntered() const
{
    return allEmpty({edtdw_170, edtdw_171, edtdw_172, edtdw_173}, true);
}

bool TFinto5::nothingToLeave() const
{
    return allEmpty({edtdw_170, edtdw_171, edtdw_172, edtdw_173}, false);
}

void TFinto5::emptyEntries()
{
    for (QLineEdit *edit : {edtdw_170, edtdw_171, edtdw_172, edtdw_173})
        edit->clear();
}
