#pragma once
// One member of the evaluation committee (section 07), added or changed.
// The member's post decides the place in the list: chair, vice-chairs,
// members; a committee has one chair at most.
#include "RowDialog.h"
#include "ui_Finto7Unit.h"

class TFinto7 : public RowDialog, public Ui::TFinto7
{
    Q_OBJECT

public:
    explicit TFinto7(QWidget *parent = nullptr);

    void Button1Click() { store(); }
    void Button2Click() { leave(); }
    // A post chosen: 主任委员 is refused while another member is the chair.
    void cbwy_191Change();

protected:
    bool nothingEntered() const override;
    // The dialog is left only with its required entries made.
    bool nothingToLeave() const override { return false; }
    void checkEntries() override { checkRequired(); }
    void checkOnLeave() override { checkRequired(); }
    void emptyEntries() override;
    void rowStored(db::Dataset *) override;

private:
    void checkRequired();
};

extern TFinto7 *Finto7;
