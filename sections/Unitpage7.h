#pragma once
// Section 07 "评价委员会名单": the committee that evaluated the record (table
// jdwyhmd), listed by post (chair, vice-chairs, members) and entered one
// member at a time in TFinto7.
#include "ListWindow.h"
#include "ui_Unitpage7.h"

class TFpage7 : public ListWindow, public Ui::TFpage7
{
    Q_OBJECT

public:
    explicit TFpage7(QWidget *parent = nullptr);

    void Button2Click() { addRow(); }
    void btnSave01Click() { modifyRow(); }
    void Button1Click() { deleteRow(); }
    void Button3Click() { showHelp(); }
    void quit01Click() { leave(); }

protected:
    RowDialog *rowDialog() const override;
};

extern TFpage7 *Fpage7;

// The main window's button of section 07.
void btn_page07Click();
