#pragma once
// The patents list "专利情况" of an applied-technology record: the rows of
// zlqk under the record's key in a read-only grid, added, changed and
// deleted through TFinto6. Opened from section 02, which filters the patent
// table to the record first; on closing it numbers the rows and gives
// section 02 the counts of applied and granted patents.
#include "ListWindow.h"
#include "ui_Unitpage6.h"

class TFpage6 : public ListWindow, public Ui::TFpage6
{
    Q_OBJECT

public:
    explicit TFpage6(QWidget *parent = nullptr);

    void Button2Click() { addRow(); }      // 新增
    void btnSave01Click() { modifyRow(); } // 修改: the current row, or a new one when there is none
    void Button1Click() { deleteRow(); }   // 删除
    void Button3Click() { showHelp(); }    // 帮助
    void quit01Click() { leave(); }        // 退出

protected:
    RowDialog *rowDialog() const override;
    void rowDeleted(int place) override;
    void showEvent(QShowEvent *e) override;

public:
    void done(int result) override;

signals:
    // On closing: the record's patents applied for and granted, for section 02.
    void patentsCounted(int applied, int granted);

private:
    // Numbers the rows 1..n with the grid let go meanwhile.
    void renumber();
    void countPatents();
};

extern TFpage6 *Fpage6;
