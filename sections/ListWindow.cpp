#include "ListWindow.h"

#include "RowDialog.h"
#include "SectionForm.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "db/journal/Journal.h"

#include <QAbstractButton>
#include <QItemSelectionModel>
#include <numeric>

ListWindow::ListWindow(const QString &section, QWidget *parent)
    : ui::GuardedDialog(parent), m_def(listSection(section))
{
    setModal(true);
}

void ListWindow::setGrid(DBGrid *grid, const QVector<ui::GridColumn> &columns)
{
    m_grid = grid;
    grid->setColumns(columns);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) { ui::guarded([&] { followGridRow(index.row()); }); });
}

void ListWindow::wireButtons(QAbstractButton *add, QAbstractButton *modify, QAbstractButton *remove,
                             QAbstractButton *help, QAbstractButton *leaveButton)
{
    ui::connectGuarded(add, this, &ListWindow::addRow);
    ui::connectGuarded(modify, this, &ListWindow::modifyRow);
    ui::connectGuarded(remove, this, &ListWindow::deleteRow);
    ui::connectGuarded(help, this, &ListWindow::showHelp);
    ui::connectGuarded(leaveButton, this, &ListWindow::leave);
}

bool ListWindow::openOnCurrentRecord()
{
    db::Query *record = DM->Qrykjcg;
    if (record->isEmpty()) {
        MainForm->Button1->click();
        if (record->isEmpty())
            return false;
    }
    OpenChildRows(m_def, record->fieldByName("ITEM_4")->asString(), record->fieldByName("ITEM_DQDM")->asString());
    setWindowTitle(QString::fromUtf8("成果名称：") + record->fieldByName("ITEM_3")->asString());
    ui::showModal(this);
    return true;
}

void ListWindow::FormShow()
{
    ui::fixWindowSize(this, 800, 600);
    if (m_grid)
        m_grid->setDataSource(m_def.dataSource());
}

void ListWindow::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

void ListWindow::FormClose()
{
    if (m_def.lockOnClose)
        MainForm->UpdateNavigationLock();
}

void ListWindow::showRowDialog(const QString &caption)
{
    RowDialog *dialog = rowDialog();
    dialog->setWindowTitle(caption);
    ui::showModal(dialog);
}

void ListWindow::addRow()
{
    showRowDialog(m_def.addCaption());
}

void ListWindow::modifyRow()
{
    showRowDialog(list()->isEmpty() ? m_def.addCaption() : m_def.modifyCaption());
}

void ListWindow::deleteRow()
{
    db::Dataset *list = this->list();
    if (!list->active() || list->isEmpty())
        return;
    const int remembered = list->fieldByName(m_def.sequenceField)->asInteger();
    if (ui::messageBox(QString::fromUtf8("是否删除该项目？!"), QString::fromUtf8("提示信息"),
                       ui::MB_YESNO | ui::MB_ICONINFORMATION)
        != ui::IDYES)
        return;
    // The row goes with the numbers of those after it, as one.
    db::Transaction transaction(DataDir);
    QList<int> rows(list->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    list->keepRows(transaction, rows);
    list->deleteRecord();
    rowDeleted(remembered);
    transaction.commit();
}

void ListWindow::rowDeleted(int place)
{
    RenumberList(m_def);
    db::Dataset *list = this->list();
    if (!list->locate(m_def.sequenceField, QString::number(place)))
        list->last();
}

void ListWindow::showHelp()
{
    ShowSectionHelp();
}

void ListWindow::leave()
{
    if (!m_def.emptyListWarning.isEmpty() && list()->isEmpty()) {
        ShowWarning(m_def.emptyListWarning);
        return;
    }
    MainForm->SetSectionState(m_def.section, true);
    closeNow();
}

void ListWindow::followGridRow(int row)
{
    db::Dataset *list = this->list();
    if (row < 0 || !list->active() || list->state() != db::Dataset::Browse || row == list->currentRow()
        || row >= list->rowCount())
        return;
    list->moveBy(row - list->currentRow());
}

void ListWindow::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void ListWindow::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void ListWindow::done(int result)
{
    QDialog::done(result);
    ui::guarded([this] { FormClose(); });
}
