#include "Unitpage4a5.h"

TFormstudy *Formstudy = nullptr;

TFormstudy::TFormstudy(QWidget *parent) : UnitMemoEditor(parent)
{
    setupUi(this);
    setUp(QStringLiteral("studydirec"), Memo1, Button1, Button2);
}
