#pragma once
// Section 04 "第一完成单位情况": the first completing unit of the record.
// A record whose first completing unit is the own unit opens on the unit
// profile's values, so the unit need not be typed again; the unit's basic
// data (table dwqk) can be set from here and copied in.
#include "SectionForm.h"
#include "UnitBasicData.h"
#include "ui_Unitpage4.h"

class TFpage4 : public SectionForm, public Ui::TFpage4
{
    Q_OBJECT

public:
    explicit TFpage4(QWidget *parent = nullptr);

    void btnSave01Click() { save(); }
    void quit01Click() { leave(); }
    void Button3Click() { showHelp(); }
    void cb_62Change();
    // The hidden "按照本单位情况填入": the controls take the unit's basic data.
    void Button1Click();
    // The hidden "设置单位基本情况": the basic-data window, shown modally.
    void Button2Click();

    // The required fields: ShowWarning and the silent abort at the first empty one.
    bool CheckUnitInput();

    UnitDataControls controls() const;

protected:
    void checkFields() override { CheckUnitInput(); }
    void loadOther() override;
    void saveOther(db::Dataset *record) override;
    bool otherUnchanged(db::Dataset *record) override;

private:
    // Loads every binding but the skipped column from source.
    void loadFields(db::Dataset *source, const QString &skipped = {});
    void enableEnterprise(bool enterprise);
    FieldBinding *binding(const QString &column) const;

    FieldBindings m_fields;
};

extern TFpage4 *Fpage4;

// The main window's button of section 04.
void btn_page04Click();
