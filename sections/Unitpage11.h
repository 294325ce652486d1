#pragma once
// The unit's discipline leaders (table unitexpert, filtered to the unit's
// code by the unit profile), listed by their place and entered one at a
// time in TFinto11.
#include "ListWindow.h"
#include "ui_Unitpage11.h"

class TFpage11 : public ListWindow, public Ui::TFpage11
{
    Q_OBJECT

public:
    explicit TFpage11(QWidget *parent = nullptr);

    void Button2Click() { addRow(); } // 新增
    void Button3Click() { modifyRow(); } // 修改
    void Button1Click();              // 删除
    void quit01Click() { leave(); }   // 退出

    // 删除 and 修改: off on an empty list until a leader is added.
    void enableRowCommands(bool enable);
    void leaderAdded() { enableRowCommands(true); }

protected:
    RowDialog *rowDialog() const override;
    void showEvent(QShowEvent *e) override;
};

extern TFpage11 *Fpage11;

// The profile's "学科带头人情况": the leaders of the unit with this code,
// shown modally.
void OpenDisciplineLeaders(const QString &unitCode);
