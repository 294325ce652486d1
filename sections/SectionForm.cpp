#include "SectionForm.h"

#include "SharedRoutines.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitDM.h"
#include "yyPrintUnit13.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"
#include "db/journal/Journal.h"

#include <QAbstractButton>

SectionForm::SectionForm(const QString &section, QWidget *parent) : ui::GuardedDialog(parent), m_section(section)
{
    setModal(true);
}

void SectionForm::wireButtons(QAbstractButton *saveButton, QAbstractButton *helpButton, QAbstractButton *leaveButton)
{
    ui::connectGuarded(saveButton, this, [this] { save(); });
    ui::connectGuarded(helpButton, this, [this] { showHelp(); });
    ui::connectGuarded(leaveButton, this, [this] { leave(); });
}

bool SectionForm::openOnCurrentRecord()
{
    db::Query *record = DM->Qrykjcg;
    if (record->isEmpty()) {
        MainForm->Button1->click();
        if (record->isEmpty())
            return false;
    }
    if (clearsChecksOnOpen())
        ClearChecks(this);
    for (auto &b : m_bindings)
        b->load(record);
    loadOther();
    setWindowTitle(QString::fromUtf8("成果名称：") + record->fieldByName("ITEM_3")->asString());
    ui::showModal(this);
    return true;
}

bool SectionForm::save()
{
    if (checksFields())
        checkFields();
    db::Query *record = DM->Qrykjcg;
    // The record and what its saving removes (patents of section 02) go as
    // one, declared up front: the journal is synced once for them all.
    db::Transaction transaction(DataDir);
    if (record->active() && !record->isEmpty()) {
        record->keepRows(transaction, {record->currentRow()});
        keepOther(transaction, record);
    }
    if (!storeBindings(record, m_bindings, [&] { saveOther(record); })) {
        saveFailed();
        return false;
    }
    saved(record);
    transaction.commit();
    ShowWarning(QString::fromUtf8("存储成功！"));
    MainForm->SetSectionState(m_section, true);
    return true;
}

bool SectionForm::IsUnchanged()
{
    db::Query *record = DM->Qrykjcg;
    return bindingsUnchanged(record, m_bindings) && otherUnchanged(record);
}

void SectionForm::leave()
{
    if (checksFields())
        checkFields();
    // A refused check stops the save and keeps the form open; so does a
    // failed post, or closing would drop what was typed.
    if (!IsUnchanged() && !SettleChanges([this] { return save(); }, {}, saveNote()))
        return;
    closeNow();
}

void ShowSectionHelp()
{
    if (MainForm->ComboBox1->currentIndex() == 0)
        ui::showModal(HelpForm);
    else
        ui::showModal(HelpForm_rj);
}

void SectionForm::showHelp()
{
    ShowSectionHelp();
}

void SectionForm::FormShow()
{
    ui::fixWindowSize(this, 800, 600);
}

void SectionForm::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

void SectionForm::FormClose()
{
    MainForm->UpdateNavigationLock();
}

void SectionForm::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    FormShow();
}

void SectionForm::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void SectionForm::done(int result)
{
    QDialog::done(result);
    ui::guarded([this] { FormClose(); });
}
