#include "Unitpage4a3.h"

Tformunitintrod *formunitintrod = nullptr;

Tformunitintrod::Tformunitintrod(QWidget *parent) : UnitMemoEditor(parent)
{
    setupUi(this);
    setUp(QStringLiteral("unitintrod"), Memo1, Button1, Button2);
}
