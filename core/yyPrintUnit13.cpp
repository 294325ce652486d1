#include "yyPrintUnit13.h"

#include "HelpText.h"

THelpForm_rj *HelpForm_rj = nullptr;

THelpForm_rj::THelpForm_rj(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    setUpHelpWindow(this, Memo1, Button1, "help_rj");
}

void THelpForm_rj::resizeEvent(QResizeEvent *e)
{
    // The memo fills the window above the button.
    QDialog::resizeEvent(e);
    Memo1->setGeometry(0, 0, width(), height() - 48);
    Button1->move((width() - Button1->width()) / 2, height() - 37);
}
