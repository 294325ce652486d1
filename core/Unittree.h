#pragma once
// The classification picker: one classification table shown as a tree; the
// chosen node's text goes into the edit of the form that asked
// (TreeRequests.h).
#include "TreeRequests.h"
#include "ui/GuardedDialog.h"
#include "ui_Unittree.h"

#include <QList>
#include <QImage>
#include <optional>

namespace db {
class Table;
}
class QTreeWidget;

// Fills tree from a classification table read by column position: level
// ("1".."4"), code, name; rows in tree order. Each node is "code  name" under
// the last node of the level above, at the top when that parent is missing.
// A level that is no whole number stops the building with a message naming
// the row; what was built stays. The table is closed afterwards either way.
void BuildClassTree(db::Table *table, QTreeWidget *tree);

class TFormTree : public ui::GuardedDialog, public Ui::TFormTree
{
    Q_OBJECT

public:
    explicit TFormTree(QWidget *parent = nullptr);

    void FormShow();
    void Button1Click(); // 确认
    void Button2Click(); // 取消

    // 0 root, 1..4 the levels, 5 a selected node.
    const QList<QImage> &ImageList1;

protected:
    void showEvent(QShowEvent *event) override;
    // Escape, the close box and Alt+F4 cancel.
    void leaveRequested() override { Button2Click(); }
    void hideEvent(QHideEvent *event) override;

private:
    std::optional<TreeRequest> m_request;
};

extern TFormTree *FormTree;
