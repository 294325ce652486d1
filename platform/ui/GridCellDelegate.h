#pragma once
// How a data-aware grid's cells are edited in place: a column with a pick
// list is edited in a drop-down list of its items, which stores the chosen
// item's value as soon as it is chosen, and is widened to show its longest
// item whole; any other column in a text edit that takes no more GBK bytes
// than a text field holds.
#include <QStyledItemDelegate>

namespace ui {

class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace ui
