#include "UnitMemoEditor.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "UnitRow.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QAbstractButton>
#include <QPlainTextEdit>

UnitMemoEditor::UnitMemoEditor(QWidget *parent) : QDialog(parent)
{
    setModal(true);
}

void UnitMemoEditor::setUp(const QString &column, QPlainTextEdit *memo, QAbstractButton *saveButton,
                           QAbstractButton *quitButton)
{
    m_column = column;
    m_memo = memo;
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
    // Tabs would split the unit's line in the exchange package.
    const QString text = TabToBlank(m_memo->toPlainText());
    if (text != m_memo->toPlainText())
        m_memo->setPlainText(text);
    db::Table *unit = DM->Tblunit;
    try {
        if (!unit->active())
            unit->open();
        const bool first = unit->isEmpty();
        unit->edit();
        // A first row made here is the own unit's row, not a nameless one.
        if (first)
            writeOwnUnitIdentity(unit);
        unit->fieldByName(m_column)->setAsString(text);
        unit->post();
    } catch (const std::exception &e) {
        unit->cancel();
        ui::messageBox(ui::errorText(e), QString::fromUtf8("提示"), ui::MB_OK);
        return;
    }
    if (m_profileMemo)
        m_profileMemo->setPlainText(text);
}

void UnitMemoEditor::Button2Click()
{
    close();
}
