#include "GridCellDelegate.h"

#include "DatasetModel.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace ui {

namespace {

const DatasetModel *gridModel(const QModelIndex &index)
{
    return qobject_cast<const DatasetModel *>(index.model());
}

} // namespace

QWidget *GridCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const DatasetModel *model = gridModel(index);
    const GridColumn column = model ? model->gridColumns().value(index.column()) : GridColumn();
    if (!column.pickList.isEmpty()) {
        auto *list = new QComboBox(parent);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (const PickItem &item : column.pickList)
            list->addItem(item.text, item.value);
        auto *self = const_cast<GridCellDelegate *>(this);
        connect(list, &QComboBox::activated, self, [self, list] {
            emit self->commitData(list);
            emit self->closeEditor(list);
        });
        return list;
    }
    auto *edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (const db::Field *field = model ? model->fieldOf(index.column()) : nullptr; field && field->dataType() == 'C')
        edit->setValidator(new gbk::ByteLimitValidator(field->size(), edit));
    return edit;
}

void GridCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString value = index.data(Qt::EditRole).toString();
    if (auto *list = qobject_cast<QComboBox *>(editor))
        list->setCurrentIndex(list->findData(gbk::trim(value)));
    else if (auto *edit = qobject_cast<QLineEdit *>(editor))
        gbk::setTextWhole(edit, value);
}

void GridCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *list = qobject_cast<QComboBox *>(editor)) {
        // A stored value the list does not offer stays until one is chosen.
        if (list->currentIndex() >= 0)
            model->setData(index, list->currentData(), Qt::EditRole);
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        model->setData(index, edit->text(), Qt::EditRole);
    }
}

void GridCellDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (auto *list = qobject_cast<QComboBox *>(editor))
        list->resize(std::max(option.rect.width(), list->sizeHint().width()), option.rect.height());
}

} // namespace ui
