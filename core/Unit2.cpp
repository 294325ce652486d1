#include "Unit2.h"

#include "HelpText.h"
#include "ui/HandlerGuard.h"

THelpForm *HelpForm = nullptr;

THelpForm::THelpForm(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setUpHelpWindow(Memo1, "help_yy");
    ui::connectGuarded(Button1, this, &THelpForm::Button1Click);
}
