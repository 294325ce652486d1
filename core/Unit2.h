#pragma once
#include "ui_Unit2.h"

#include <QDialog>

// Help for applied-technology records.
class THelpForm : public QDialog, public Ui::THelpForm
{
    Q_OBJECT

public:
    explicit THelpForm(QWidget *parent = nullptr);
    void Button1Click() { close(); }
};

extern THelpForm *HelpForm;
