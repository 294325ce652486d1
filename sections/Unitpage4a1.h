#pragma once
// The editor of the unit's "研发优势简要说明" (column advantage).
#include "UnitMemoEditor.h"
#include "ui_Unitpage4a1.h"

class Tformadvantage : public UnitMemoEditor, public Ui::Tformadvantage
{
    Q_OBJECT

public:
    explicit Tformadvantage(QWidget *parent = nullptr);
};

extern Tformadvantage *formadvantage;
