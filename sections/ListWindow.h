#pragma once
// What every list section's window shares: a fixed 800 × 600 modal window
// over the current record's rows in a read-only grid, with add, modify and
// delete through the section's row dialog, and the section marked complete
// on the main window when it is left.
#include "ListSection.h"
#include "ui/DBGrid.h"
#include "ui/GuardedDialog.h"

class QAbstractButton;
class RowDialog;

class ListWindow : public ui::GuardedDialog
{
    Q_OBJECT

public:
    ListWindow(const QString &section, QWidget *parent = nullptr);

    const ListSectionDef &listDef() const { return m_def; }
    db::Query *rows() const { return m_def.rows(); }
    db::Dataset *list() const { return m_def.list(); }

    // Lists the current record's rows and shows the window (first the
    // new-record dialog when the main window lists no record). False when
    // there is no record.
    bool openOnCurrentRecord();

    void FormShow();
    void FormResize();
    void FormClose();
    void addRow();    // 新增
    void modifyRow(); // 修改: the current row, or a new one when there is none
    void deleteRow(); // 删除
    void showHelp();  // 帮助
    void leave();     // 退出

protected:
    virtual RowDialog *rowDialog() const = 0;
    void setGrid(DBGrid *grid, const QVector<ui::GridColumn> &columns);
    void wireButtons(QAbstractButton *add, QAbstractButton *modify, QAbstractButton *remove, QAbstractButton *help,
                     QAbstractButton *leaveButton);
    void showRowDialog(const QString &caption);

    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { leave(); }
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

public:
    void done(int result) override;

private:
    // The grid's keyboard moves the list's current row too.
    void followGridRow(int row);

    const ListSectionDef &m_def;
    DBGrid *m_grid = nullptr;
};
