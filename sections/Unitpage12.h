#pragma once
// The completing persons of every record (the whole table cgwcr), reached
// from the second-level units. Persons are added to and quick-added into the
// main window's current record and changed in their own record, through the
// dialogs of section 08.
#include "ui/GuardedDialog.h"
#include "ui_Unitpage12.h"

#include <QStringList>

namespace db {
class Dataset;
}

class TFpage12 : public ui::GuardedDialog, public Ui::TFpage12
{
    Q_OBJECT

public:
    explicit TFpage12(QWidget *parent = nullptr);

    void FormShow();
    void FormResize();
    void FormClose();
    void Button1Click(); // 删除
    void Button2Click(); // 新增
    void Button3Click(); // 修改
    void Button4Click(); // 帮助
    void Button5Click(); // 快速添加
    void quit01Click() { closeNow(); }

    void done(int result) override;

protected:
    void leaveRequested() override { quit01Click(); }
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // Section 08's list on the main window's current record; false (told)
    // when there is none.
    bool openCurrentRecordsPersons();
    void showPersonDialog(const QString &caption);

    QString m_filter; // the table's filter before the window showed everything
    bool m_filtered = false;
};

extern TFpage12 *Fpage12;

// Numbers each record's persons 1..n in the order of their numbers (the
// table's order among equal or missing ones) and makes every 是否留学归国
// other than "1" a "0". Only the record keyed {ITEM_4, ITEM_DQDM} when key is
// given; only rows that change are written, and a failed write puts back the
// rows written before it. The cursor stays on its row.
void RenumberPersons(db::Dataset *persons, const QStringList &key = {});
