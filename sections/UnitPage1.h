#pragma once
// Section 01 "成果概况": the achievement as a whole. Which controls are live
// depends on the main window's category (index 0 applied technology; soft
// science and basic theory otherwise); the check for unsaved changes alone
// goes by the record's own ITEM_CGLB.
#include "SectionForm.h"
#include "ui_UnitPage1.h"

class QAbstractButton;
namespace db {
class Table;
}

class TFpage1 : public SectionForm, public Ui::TFpage1
{
    Q_OBJECT

public:
    explicit TFpage1(QWidget *parent = nullptr);

    void btnSave01Click() { save(); }
    void quit01Click() { leave(); }
    void Button3Click() { showHelp(); }

    // The checks, in their fixed order: ShowWarning and the silent abort at
    // the first failure (Page1Checks.cpp).
    void CheckOverviewInput();

    // Keywords: a blank first (second) edit empties and disables the ones after it.
    void edt_14_1Change();
    void edt_14_2Click() { edt_14_1Change(); }
    void edt_14_2Change();
    void edt_14_3Click() { edt_14_2Change(); }
    // Leaving a period edit normalises it.
    void edt_8_y_sExit();
    void edt_8_y_eExit();
    void edt_8_m_sExit();
    void edt_8_m_eExit();
    // One box at a time in the three check-box panels.
    void CB_124_1_01Click(QAbstractButton *sender);
    void CB_125_01Click(QAbstractButton *sender);
    void cb_200_01Click(QAbstractButton *sender);
    // The classification pickers.
    void cb_15DropDown();
    void cb_15_1DropDown();
    void CB_12DropDown();
    void CB_12_1DropDown();

    // The stored forms of what the controls hold.
    QString periodText() const;
    QString keywordText() const;

protected:
    void checkFields() override { CheckOverviewInput(); }
    void loadOther() override;
    void saveOther(db::Dataset *record) override;
    bool otherUnchanged(db::Dataset *record) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    bool applied() const; // the main window's category: applied technology
    void showCategory(bool applied);
    void loadRegistrationDate(db::Dataset *record);
    void loadPeriod(db::Dataset *record);
    void loadClassification(db::Dataset *record, bool hasTable, db::Table *table,
                            const QString &field, QLineEdit *edit);
    QString classCode(QLineEdit *edit, bool hasTable) const;
    void wireSingleChoice(QWidget *panel, void (TFpage1::*handler)(QAbstractButton *));
    void uncheckOthers(QAbstractButton *sender);

    std::unique_ptr<FieldBinding> m_attribute;   // Cb_125_1: loaded always, stored for applied technology
    FieldBindings m_appliedOnly;                 // cb_16, cb_33, PL_123, Pl_124_1
    FieldBindings m_otherOnly;                   // cb_210, PL_200
};

extern TFpage1 *Fpage1;

// The main window's button of section 01.
void btn_page01Click();
