#pragma once
// Section 09: what the appraisal certificate says. Never required, so it
// stores without checks.
#include "SectionForm.h"
#include "ui_Unitpage9.h"

class TFpage9 : public SectionForm, public Ui::TFpage9
{
    Q_OBJECT

public:
    explicit TFpage9(QWidget *parent = nullptr);

    void btnSave01Click() { save(); }
    void Button1Click() { showHelp(); }
    void Button2Click() { leave(); }
    void CheckBox_302Click();
    void EDT_302Click();

protected:
    bool checksFields() const override { return false; }
    bool clearsChecksOnOpen() const override { return false; }
    void saveFailed() override;
    bool eventFilter(QObject *watched, QEvent *e) override;
};

extern TFpage9 *Fpage9;

// The main window's button of section 09.
void btn_page09Click();
