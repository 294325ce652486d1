#pragma once
// The patents list "专利情况" of an applied-technology record: the rows of
// zlqk under the record's key in a read-only grid, added, changed and
// deleted through TFinto6. Opened from section 02, which filters the patent
// table to the record first; on closing it numbers the rows and gives
// section 02 the counts of applied and granted patents.
#include "ui/GuardedDialog.h"
#include "ui_Unitpage6.h"

class TFpage6 : public ui::GuardedDialog, public Ui::TFpage6
{
    Q_OBJECT

public:
    explicit TFpage6(QWidget *parent = nullptr);

    // The row dialog's captions, which are its modes.
    static QString addCaption();
    static QString modifyCaption();

    void FormShow();
    void FormResize();
    void FormClose();
    void Button2Click();   // 新增
    void btnSave01Click(); // 修改: the current row, or a new one when there is none
    void Button1Click();   // 删除
    void Button3Click();   // 帮助
    void quit01Click();    // 退出

protected:
    // Escape and Alt+F4 leave through 退出.
    void leaveRequested() override { quit01Click(); }
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

public:
    void done(int result) override;

private:
    // Numbers the rows 1..n with the grid let go meanwhile.
    void renumber();
    void showRowDialog(const QString &caption);
    void followGridRow(int row);
};

extern TFpage6 *Fpage6;
