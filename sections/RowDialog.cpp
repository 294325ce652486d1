#include "RowDialog.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/journal/Journal.h"
#include "db/dataset/Query.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

#include <QLineEdit>

RowDialog::RowDialog(const QString &section, QWidget *parent)
    : ui::GuardedDialog(parent), m_def(listSection(section))
{
    setModal(true);
    // A tool window without the title bar's buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void RowDialog::wireButtons(QAbstractButton *storeButton, QAbstractButton *leaveButton)
{
    ui::connectGuarded(storeButton, this, &RowDialog::store);
    ui::connectGuarded(leaveButton, this, &RowDialog::leave);
}

bool RowDialog::isNewMode() const
{
    return windowTitle() == m_def.addCaption();
}

bool RowDialog::isModifyMode() const
{
    return windowTitle() == m_def.modifyCaption();
}

bool RowDialog::allEmpty(std::initializer_list<const QLineEdit *> edits, bool trimmed)
{
    for (const QLineEdit *edit : edits)
        if (!(trimmed ? gbk::trim(edit->text()) : edit->text()).isEmpty())
            return false;
    return true;
}

void RowDialog::FormShow()
{
    db::Dataset *list = this->list();
    if (isNewMode()) {
        emptyEntries();
        if (m_sequence) {
            m_sequence->setText(QString::number(list->recordCount() + 1));
            m_sequence->setReadOnly(true);
        }
        return;
    }
    for (const auto &b : m_bindings)
        b->load(list);
    if (m_sequence) {
        m_sequence->setText(list->fieldByName(m_def.sequenceField)->asString());
        m_sequence->setReadOnly(false);
    }
    loadOther(list);
}

void RowDialog::setSequenceEdit(QLineEdit *edit)
{
    m_sequence = edit;
    gbk::acceptOnlyGbk(edit);
}

bool RowDialog::sequenceUnchanged() const
{
    // A new row's number is not the user's; a changed one moves the row.
    if (!m_sequence || isNewMode())
        return true;
    const QString typed = gbk::trim(m_sequence->text());
    return IsSequenceNumber(typed) && list()->fieldByName(m_def.sequenceField)->asFloat() == typed.toInt();
}

void RowDialog::checkSequence(const QString &emptyWarning)
{
    CheckSequenceText(m_sequence->text(), emptyWarning);
}

void RowDialog::store()
{
    if (nothingEntered()) {
        closeNow();
        return;
    }
    checkEntries();
    const bool adding = isNewMode();
    if (!adding && !isModifyMode())
        return;
    db::Dataset *list = this->list();
    // A table's rows carry no record key; its filter chooses them.
    const QStringList key = m_def.table ? QStringList() : ChildRowsKey(m_def);
    // The row and what follows from it (ranks, the local list, the numbers)
    // go as one after a crash.
    db::Transaction transaction(DataDir);
    if (adding)
        list->append();
    const bool stored = storeBindings(list, m_bindings, [&] {
        if (!key.isEmpty()) {
            list->fieldByName("item_4")->setAsString(key[0]);
            list->fieldByName("item_dqdm")->setAsString(key[1]);
        }
        if (m_sequence)
            list->fieldByName(m_def.sequenceField)->setAsInteger(gbk::trim(m_sequence->text()).toInt());
        saveOther(list);
    });
    if (!stored)
        ui::abortAction(); // the error has been shown; the dialog keeps what was typed
    try {
        rowStored(list);
        if (!m_def.table)
            RereadAndRenumber(m_def);
    } catch (const std::exception &e) {
        // The row is stored; only what follows from it failed (a failed
        // numbering leaves the numbers as before). The dialog closes, so a
        // second store cannot add the row again.
        transaction.commit();
        ui::showError(ui::errorText(e));
        closeNow();
        return;
    }
    transaction.commit();
    ShowWarning(QString::fromUtf8("存储成功！"));
    if (adding)
        emptyAfterNewStore();
    if (!adding || closesAfterNewStore())
        closeNow();
}

bool RowDialog::entriesUnchanged(db::Dataset *list) const
{
    return bindingsUnchanged(list, m_bindings) && sequenceUnchanged() && otherUnchanged(list);
}

void RowDialog::leave()
{
    if (nothingToLeave()) {
        closeNow();
        return;
    }
    checkOnLeave();
    // A refused check keeps the dialog open; a new row stored by a dialog
    // that stays for the next one closes it.
    const auto storeAndGoOn = [this] {
        store();
        return isVisible();
    };
    if (!entriesUnchanged(list()) && !SettleChanges(storeAndGoOn, m_def.leaveQuestion))
        return;
    closeNow();
}

void RowDialog::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}
