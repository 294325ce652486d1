#pragma once
// The export window: records chosen all at once, by year or by hand, and a
// folder; the records leave as the exchange package cgsbqy.arj.
#include "ui/GuardedDialog.h"
#include "ui_Unitout.h"

#include <QList>

class QFileSystemModel;
namespace ui {
class DatasetModel;
}

class TFormout : public ui::GuardedDialog, public Ui::TFormout
{
    Q_OBJECT

public:
    explicit TFormout(QWidget *parent = nullptr);

    void FormShow();
    void RadioButton5Click(); // 全部, and its double click
    void RadioButton7Click(); // 年份
    void ComboBox2Change();
    void DriveComboBox1Change();
    void DirectoryListBox1Change();
    void Button2Click(); // 导出
    void Button1Click(); // 退出
    void FormClose();

    // Makes folder the chosen one, in the folder list and in Edit1.
    void SelectFolder(const QString &folder);
    // The view positions of the selected rows of T_temp_out, ascending.
    QList<int> SelectedRows() const;
    bool Packing() const { return m_packing; }

protected:
    void showEvent(QShowEvent *e) override;
    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { Button1Click(); }
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void wireHandlers();
    void fillPlaces();
    void selectAllRows();
    void showSelectionCount();

    ui::DatasetModel *m_records;
    QFileSystemModel *m_folders;
    QString m_folder; // the folder last chosen, shown again next time
    bool m_packing = false;
};

extern TFormout *Formout;

// The main window's 导出: shows the export window.
void BitBtn2Click();
