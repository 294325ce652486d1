#include "yyPrintUnit13.h"

#include "HelpText.h"
#include "ui/HandlerGuard.h"

THelpForm_rj *HelpForm_rj = nullptr;

THelpForm_rj::THelpForm_rj(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setUpHelpWindow(Memo1, "help_rj");
    ui::connectGuarded(Button1, this, &THelpForm_rj::Button1Click);
}

void THelpForm_rj::resizeEvent(QResizeEvent *e)
{
    // The memo fills the window above the button.
    ui::GuardedDialog::resizeEvent(e);
    Memo1->setGeometry(0, 0, width(), height() - 48);
    Button1->move((width() - Button1->width()) / 2, height() - 37);
}
