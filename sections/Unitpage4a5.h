#pragma once
// The editor of the unit's "简要说明及补充" (column studydirec).
#include "UnitMemoEditor.h"
#include "ui_Unitpage4a5.h"

class TFormstudy : public UnitMemoEditor, public Ui::TFormstudy
{
    Q_OBJECT

public:
    explicit TFormstudy(QWidget *parent = nullptr);
};

extern TFormstudy *Formstudy;
