#pragma once
#include "ui_Unit2.h"

#include "ui/GuardedDialog.h"

// Help for applied-technology records.
class THelpForm : public ui::GuardedDialog, public Ui::THelpForm
{
    Q_OBJECT

public:
    explicit THelpForm(QWidget *parent = nullptr);
    void Button1Click() { closeNow(); }
};

extern THelpForm *HelpForm;
