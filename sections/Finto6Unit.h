#pragma once
// One patent of the list, added or changed. The caption is the mode: the
// add caption appends rows and stays open for the next patent; any other
// changes the list's current row and closes.
#include "FieldBinding.h"
#include "ui/GuardedDialog.h"
#include "ui_Finto6Unit.h"

class TFinto6 : public ui::GuardedDialog, public Ui::TFinto6
{
    Q_OBJECT

public:
    explicit TFinto6(QWidget *parent = nullptr);

    bool isNewMode() const;

    void FormShow();
    void FormClose();
    void Button1Click(); // 存储
    void Button2Click(); // 退出
    // Either combo changed: the change marker Edit1 says so.
    void cb_stChange();
    void cb_tyChange() { cb_stChange(); }
    // The checks, in their fixed order: ShowWarning and the silent abort at
    // the first failure.
    void CheckPatentInput();

protected:
    void leaveRequested() override { Button2Click(); }
    void showEvent(QShowEvent *e) override;

public:
    void done(int result) override;

private:
    bool unchanged() const;

    FieldBindings m_bindings;
};

extern TFinto6 *Finto6;
