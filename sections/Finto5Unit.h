#pragma once
// One cooperating unit of section 05, added or changed.
#include "RowDialog.h"
#include "ui_Finto5Unit.h"

class TFinto5 : public RowDialog, public Ui::TFinto5
{
    Q_OBJECT

public:
    explicit TFinto5(QWidget *parent = nullptr);

    void Button1Click() { store(); }
    void Button2Click() { leave(); }

protected:
    bool nothingEntered() const override;
    bool nothingToLeave() const override;
    void checkEntries() override { checkSequence(); }
    void emptyEntries() override;
};

extern TFinto5 *Finto5;
