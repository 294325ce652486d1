#pragma once
// One patent of the list, added or changed. The caption is the mode: the
// add caption appends rows and stays open for the next patent; the modify
// caption changes the list's current row and closes.
#include "RowDialog.h"
#include "ui_Finto6Unit.h"

class TFinto6 : public RowDialog, public Ui::TFinto6
{
    Q_OBJECT

public:
    explicit TFinto6(QWidget *parent = nullptr);

    void Button1Click() { store(); } // 存储
    void Button2Click() { leave(); } // 退出
    // Either combo changed: the change marker Edit1 says so.
    void cb_stChange();
    void cb_tyChange() { cb_stChange(); }
    // The checks, in their fixed order: ShowWarning and the silent abort at
    // the first failure.
    void CheckPatentInput();

protected:
    // A store always runs the checks; leaving with both edits empty closes.
    bool nothingEntered() const override { return false; }
    bool nothingToLeave() const override;
    void checkEntries() override { CheckPatentInput(); }
    void emptyEntries() override;
    void emptyAfterNewStore() override;
    bool closesAfterNewStore() const override { return false; }
    void loadOther(db::Dataset *) override;
    void saveOther(db::Dataset *patent) override;
    bool entriesUnchanged(db::Dataset *patent) const override;
    void rowStored(db::Dataset *) override;

public:
    void done(int result) override;
};

extern TFinto6 *Finto6;
