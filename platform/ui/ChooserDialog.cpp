#include "ChooserDialog.h"

#include "FileRequest.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace ui {

namespace {

enum FileColumn { Name, Size, Type, Modified };

// The file list's sizes and dates come from the system's locale, whatever
// the program's is; here they follow the program's.
class LocalFileTexts : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != Size && index.column() != Modified))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == Modified)
            return files->lastModified(source).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        if (files->isDir(source))
            return QString();
        return QLocale().formattedDataSize(files->size(source), 1, QLocale::DataSizeTraditionalFormat);
    }
};

// Room for the widest text a column usually shows.
void giveColumnsRoom(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!view)
        return;
    const QFontMetrics metrics = view->fontMetrics();
    const int margins = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin) + 16;
    const std::pair<FileColumn, QString> widest[] = {
        {Size, QLocale().formattedDataSize(999'900'000, 1, QLocale::DataSizeTraditionalFormat)},
        {Type, QString(10, QChar(0x6587))}, // a type named in ten characters
        {Modified, QStringLiteral("2000-00-00 00:00")},
    };
    QHeaderView *header = view->header();
    header->setStretchLastSection(false);
    for (const auto &[column, text] : widest) {
        const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
        const int widest = std::max(metrics.horizontalAdvance(text), metrics.horizontalAdvance(title));
        header->resizeSection(column, widest + margins);
    }
    header->setSectionResizeMode(Name, QHeaderView::Stretch);
}

void prepareChooserDialog(QFileDialog &dialog)
{
    dialog.setProxyModel(new LocalFileTexts(&dialog));
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(std::max(dialog.width(), 760), std::max(dialog.height(), 460));
    giveColumnsRoom(dialog);
}

} // namespace

QString runChooserDialog(const FileRequest &r)
{
    QFileDialog dialog(r.parent, r.caption, r.dir, r.filter);
    switch (r.kind) {
    case FileRequest::OpenFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileRequest::SaveFile:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileRequest::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    prepareChooserDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace ui
