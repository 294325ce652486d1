#pragma once
// The local person list (table cgwcrNew): every person ever added on this
// machine, one row per name, and the quick add of section 08 that copies
// persons chosen from it into the record's list.
#include "LocalPersons.h"
#include "ui/GuardedDialog.h"
#include "ui_CgwcrManage.h"

#include <QList>
#include <functional>

namespace db {
class Dataset;
}

// Appends the local list's rows (row indices, taken in the list's order) to
// the persons of the record section 08 lists, after the persons it has,
// then lists and numbers the record's persons again. progress runs after
// each person appended.
void AddLocalPersons(const QList<int> &localRows, const std::function<void()> &progress = {});

class TFormWcr : public ui::GuardedDialog, public Ui::TFormWcr
{
    Q_OBJECT

public:
    explicit TFormWcr(QWidget *parent = nullptr);

    void FormShow();
    void BitBtn1Click(); // 添加到项目中
    void Button1Click(); // 删除
    void BitBtn5Click() { closeNow(); }
    // Builds the local list afresh from the persons of every record: one
    // row per name, the first person stored under it.
    void BuildeWcrTable();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void showSelectedCount();
};

extern TFormWcr *FormWcr;
