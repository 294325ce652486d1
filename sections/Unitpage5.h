#pragma once
// Section 05 "合作完成单位情况": the record's cooperating units (table
// cgwcdw), listed by their 序号 and entered one at a time in TFinto5.
#include "ListWindow.h"
#include "ui_Unitpage5.h"

class TFpage5 : public ListWindow, public Ui::TFpage5
{
    Q_OBJECT

public:
    explicit TFpage5(QWidget *parent = nullptr);

    void Button2Click() { addRow(); }
    void btnSave01Click() { modifyRow(); }
    void Button1Click() { deleteRow(); }
    void Button3Click() { showHelp(); }
    void quit01Click() { leave(); }

protected:
    RowDialog *rowDialog() const override;
};

extern TFpage5 *Fpage5;

// The main window's button of section 05.
void btn_page05Click();
