#include "Unitpage4a1.h"

Tformadvantage *formadvantage = nullptr;

Tformadvantage::Tformadvantage(QWidget *parent) : UnitMemoEditor(parent)
{
    setupUi(this);
    setUp(QStringLiteral("advantage"), Memo1, Button1, Button2);
}
