#pragma once
// Section 03 "课题立项，评价情况": where the project came from, the funds
// invested by source and how the result was evaluated. The category decides
// only the evaluation-form list: loading goes by the main window's category,
// checking, saving and the change check by the record's own ITEM_CGLB.
#include "EntryControls.h"
#include "SectionForm.h"
#include "ui_Unitpage3.h"

class TFpage3 : public SectionForm, public Ui::TFpage3
{
    Q_OBJECT

public:
    explicit TFpage3(QWidget *parent = nullptr);

    void btnSave01Click() { save(); }
    void quit01Click() { leave(); }
    void Button3Click() { showHelp(); }

    // The checks, in their fixed order: ShowWarning and the silent abort at
    // the first failure.
    void CheckPage3Input();

    // The sub-classes of one project source into CB_41 (a blank item last
    // when noBlank is 0); combo and label hidden when the source has none.
    void GetItem41List(const QString &code, int noBlank);

    // Project sources: one besides the national plan, which only a sub-plan sets.
    void cb_126OnClick(QAbstractButton *sender);
    void cb_126_01Click();
    void RB_140_1Click();
    void RB_140_6Click() { RB_140_1Click(); }
    void SpeedButton11Click();
    // The sums: the local parts into 地方投入, the eight items into the total.
    void Edt_142_1Change();
    void Edt_141Change();
    // The evaluation date: "清空" stands for no date.
    void CheckBox_34Click();
    void edt_34Click();

protected:
    void loadOther() override;
    void saveOther(db::Dataset *record) override;
    bool otherUnchanged(db::Dataset *record) override;
    void checkFields() override { CheckPage3Input(); }
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void loadSubClass(db::Dataset *record);
    QString subClassCode() const;
    FieldBinding *evaluationForm(bool applied) const;
    bool nationalPlanMarked() const;
    QString sourceCaption(const QString &code) const;

    std::unique_ptr<FieldBinding> m_evaluationApplied; // cb_21
    std::unique_ptr<FieldBinding> m_evaluationOther;   // cb_21_l
    QList<AmountTerm> m_localParts;
    QList<AmountTerm> m_totalItems;
};

extern TFpage3 *Fpage3;

// The main window's button of section 03.
void btn_page03Click();
