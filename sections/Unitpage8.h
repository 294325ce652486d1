#pragma once
// Section 08 "成果完成人员名单": the record's completing persons (table
// cgwcr), listed by their 序号, entered one at a time in TFinto8 or chosen
// from the local person list in TFormWcr. A record needs at least one.
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

protected:
    RowDialog *rowDialog() const override;
};

extern TFpage8 *Fpage8;

// The main window's button of section 08.
void btn_page08Click();

// The name the list shows for a person's stored code in a coded column
// (ITEM_181, ITEM_183, ITEM_184, ITEM_188); empty for a code it does not name.
QString PersonCodeName(const QString &field, const QString &code);
