#include "Unit2.h"

#include "HelpText.h"

THelpForm *HelpForm = nullptr;

THelpForm::THelpForm(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setUpHelpWindow(this, Memo1, Button1, "help_yy");
}
