#pragma once
// One completing person of section 08, added or changed. A new person also
// goes into the local person list, under its name.
#include "RowDialog.h"
#include "ui_Finto8Unit.h"

class BirthMonthBinding;

class TFinto8 : public RowDialog, public Ui::TFinto8
{
    Q_OBJECT

public:
    explicit TFinto8(QWidget *parent = nullptr);

    void Button1Click() { store(); }
    void Button2Click() { leave(); }

protected:
    bool nothingEntered() const override;
    bool nothingToLeave() const override;
    void checkEntries() override;
    void emptyEntries() override;
    void emptyAfterNewStore() override;
    void rowStored(db::Dataset *person) override;

private:
    BirthMonthBinding *m_birth = nullptr;
};

extern TFinto8 *Finto8;

// The code a person's coded list stores for its chosen item: the item's
// first two characters, trimmed; the titles coded "1a", "1b" and "1c" store
// "a", "b" and "c".
QString PersonCode(const class QComboBox *combo);
