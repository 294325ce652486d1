#pragma once
#include "ui_yyPrintUnit13.h"

#include "ui/GuardedDialog.h"

// Help for basic-theory and soft-science records.
class THelpForm_rj : public ui::GuardedDialog, public Ui::THelpForm_rj
{
    Q_OBJECT

public:
    explicit THelpForm_rj(QWidget *parent = nullptr);
    void Button1Click() { closeNow(); }

protected:
    void resizeEvent(QResizeEvent *e) override;
};

extern THelpForm_rj *HelpForm_rj;
