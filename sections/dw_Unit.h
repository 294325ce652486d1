#pragma once
// "单位情况": the unit's basic data, the one row of the table dwqk, from
// which section 04 can be filled. Reached from section 04; written with
// statements, inserted on the first save and updated after.
#include "UnitBasicData.h"
#include "ui/GuardedDialog.h"
#include "ui_dw_Unit.h"

class Tdw_Form : public ui::GuardedDialog, public Ui::Tdw_Form
{
    Q_OBJECT

public:
    explicit Tdw_Form(QWidget *parent = nullptr);

    // Loads the stored row (nothing stored: empty controls).
    void FormShow();
    void Button1Click(); // 存储
    void Button2Click(); // 退出
    void cb_62Change();

    // The required fields: ShowWarning and the silent abort at the first empty one.
    bool CheckUnitInput();
    // Whether the window shows what the row holds, as a save would store it.
    bool IsUnchanged();

    UnitDataControls controls() const;

signals:
    // The unit's basic data stored: section 04 takes it again.
    void stored();

protected:
    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { Button2Click(); }

private:
    // Runs the insert or update; on failure the select is back and the
    // error passed on.
    void execute(const QString &statement);
    QString conversionMark() const;

    FieldBindings m_bindings;
};

extern Tdw_Form *dw_Form;
