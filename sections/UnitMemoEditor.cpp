#include "UnitMemoEditor.h"

#include "UnitDM.h"
#include "UnitRow.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

#include <QAbstractButton>
#include <QPlainTextEdit>

UnitMemoEditor::UnitMemoEditor(QWidget *parent) : ui::GuardedDialog(parent)
{
    setModal(true);
}

void UnitMemoEditor::setUp(const QString &column, QPlainTextEdit *memo, QAbstractButton *saveButton,
                           QAbstractButton *quitButton)
{
    m_column = column;
    m_memo = memo;
    m_binding.push_back(memoBinding(column, memo));
    ui::connectGuarded(saveButton, this, [this] { Button1Click(); });
    ui::connectGuarded(quitButton, this, [this] { Button2Click(); });
}

void UnitMemoEditor::editMemo(QPlainTextEdit *profileMemo)
{
    m_profileMemo = profileMemo;
    m_memo->setPlainText(profileMemo->toPlainText());
    ui::showModal(this);
}

void UnitMemoEditor::Button1Click()
{
    // The memo binding turns tabs into blanks: they would split the unit's
    // line in the exchange package.
    db::Table *unit = DM->Tblunit;
    const bool stored = storeBindings(unit, m_binding, [unit] {
        // A first row made here is the own unit's row, not a nameless one.
        if (unit->state() == db::Dataset::Insert)
            writeOwnUnitIdentity(unit);
    });
    if (stored && m_profileMemo)
        m_profileMemo->setPlainText(m_memo->toPlainText());
}

void UnitMemoEditor::Button2Click()
{
    closeNow();
}
