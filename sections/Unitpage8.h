#pragma once
// Section 08 "成果完成人员名单": the record's completing persons (table
// cgwcr), listed by their 序号, entered one at a time in TFinto8 or chosen
// from the local person list in TFormWcr, and changed in the list's grid
// too. A record needs at least one.
#include "ListWindow.h"
#include "ui_Unitpage8.h"

class TFpage8 : public ListWindow, public Ui::TFpage8
{
    Q_OBJECT

public:
    explicit TFpage8(QWidget *parent = nullptr);

    void Button5Click(); // 快速添加
    void Button2Click() { addRow(); }
    void Button3Click() { modifyRow(); }
    void Button1Click() { deleteRow(); }
    void Button4Click() { showHelp(); }
    void quit01Click() { leave(); }
    // A value typed in place into the grid's cell: checked as the person
    // dialog checks it and stored in the person's row at once; a new 序号
    // moves the person as the dialog's store does, and may not be another
    // person's. A refused value: a message and the silent abort.
    void DBGrid4CellEdited(int row, const QString &field, const QString &typed);

protected:
    RowDialog *rowDialog() const override;

private:
    void checkSequenceFree(int row, const QString &typed);
};

extern TFpage8 *Fpage8;

// The main window's button of section 08.
void btn_page08Click();
