#pragma once
// Section 02 "知识产权，成果应用情况" of applied-technology records: the
// form of intellectual property (patents counted from the record's patent
// list, or a software copyright), the application state with the reasons
// for non-application, the forms of promotion and the economic results.
//
// Leaving the patent form marks the record's patents to go, and so does
// opening a record of another form that still has patent rows; they are
// deleted only when the section is saved in a form other than patent, so
// leaving without saving, or going back to patent, keeps them. Until then
// they count as a change, asked about on leaving with their number. A form
// other than patent stores no patent counts.
#include "EntryControls.h"
#include "SectionForm.h"
#include "ui_Unitpage2.h"

class TFpage2 : public SectionForm, public Ui::TFpage2
{
    Q_OBJECT

public:
    explicit TFpage2(QWidget *parent = nullptr);

    void btnSave01Click() { save(); }
    void quit01Click() { leave(); }
    void Button3Click() { showHelp(); }
    // The patent list of the record; its counts come back into edt_51_2 and edt_51_3.
    void Button1Click();

    // The checks, in their fixed order: ShowWarning and the silent abort at
    // the first failure.
    void CheckPage2Input();

    // Sets the form up for the chosen form of intellectual property.
    void ApplyIpFormChoice();
    void cb_51Change();
    // Reasons and results by the application state.
    void cb_32Change();
    // A detail of row r checks reason r alone.
    void rb_160Click(QAbstractButton *sender);
    void cb_32_1OnClick(QAbstractButton *sender);

    // The record's patents go when the section is saved in another form.
    bool patentsToGo() const { return m_patentsToGo; }

protected:
    void checkFields() override { CheckPage2Input(); }
    void loadOther() override;
    void saveOther(db::Dataset *record) override;
    bool otherUnchanged(db::Dataset *record) override;
    void keepOther(db::Transaction &transaction, db::Dataset *record) override;
    void saved(db::Dataset *record) override;
    QString saveNote() override;
    void showEvent(QShowEvent *e) override;

private:
    QString ipForm() const; // the chosen form's code
    bool stableApplication() const;
    void showIpForm(const QString &code);
    void showPatentCounts();
    int patentRowCount() const; // the record's patent rows as stored
    void setPatentCounts(const QString &applied, const QString &granted);

    std::unique_ptr<FieldBinding> m_ipForm;   // cb_51, loaded without its change handler
    FieldBindings m_reasons;                  // pl_32_1, Pl_160: stored only when not in stable use
    QList<QLineEdit *> m_results;             // emptied and disabled while not applied
    bool m_patentsToGo = false;
};

extern TFpage2 *Fpage2;

// The main window's button of section 02.
void btn_page02Click();
