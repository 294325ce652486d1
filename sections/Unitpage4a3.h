#pragma once
// The editor of the unit's "单位简介" (column unitintrod).
#include "UnitMemoEditor.h"
#include "ui_Unitpage4a3.h"

class Tformunitintrod : public UnitMemoEditor, public Ui::Tformunitintrod
{
    Q_OBJECT

public:
    explicit Tformunitintrod(QWidget *parent = nullptr);
};

extern Tformunitintrod *formunitintrod;
