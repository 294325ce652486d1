#include "Unittree.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"

#include <QIcon>
#include <QMap>
#include <QPainter>
#include <QTreeWidget>

TFormTree *FormTree = nullptr;

namespace {

const QString kRootText = QString::fromUtf8("详细分类");
constexpr int kLevelRole = Qt::UserRole;
constexpr int kDeepestImage = 4;
constexpr int kSelectedImage = 5;

// Drawn rather than shipped: a folder for the root, shaded squares growing
// lighter with depth, a tick for the selected node.
QImage drawImage(int index)
{
    QImage pm(16, 16, QImage::Format_ARGB32_Premultiplied);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 0) {
        p.setPen(QColor(120, 90, 20));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(1, 4, 13, 10);
        p.drawRect(1, 2, 6, 2);
    } else if (index == kSelectedImage) {
        p.setPen(QPen(QColor(0, 130, 0), 2.5));
        p.drawLine(QPointF(3, 8), QPointF(7, 12));
        p.drawLine(QPointF(7, 12), QPointF(13, 4));
    } else {
        const int shade = 60 + 40 * index;
        p.setPen(QColor(30, 60, 120));
        p.setBrush(QColor(shade / 2, shade, 230));
        p.drawRect(3, 3, 10, 10);
    }
    return pm;
}

// Images, not pixmaps: they outlive the application object at exit.
const QList<QImage> &treeImages()
{
    static const QList<QImage> images = [] {
        QList<QImage> list;
        for (int i = 0; i <= kSelectedImage; ++i)
            list << drawImage(i);
        return list;
    }();
    return images;
}

// icons[l]: the node icon of level l (0 the root); a node shows the
// selected image when chosen, the root keeps its own.
QList<QIcon> nodeIcons()
{
    QList<QIcon> icons;
    const QPixmap selected = QPixmap::fromImage(treeImages().at(kSelectedImage));
    for (int level = 0; level <= kDeepestImage; ++level) {
        const QPixmap normal = QPixmap::fromImage(treeImages().at(level));
        QIcon icon(normal);
        icon.addPixmap(level == 0 ? normal : selected, QIcon::Selected);
        icons << icon;
    }
    return icons;
}

QTreeWidgetItem *addNode(QTreeWidget *tree, QTreeWidgetItem *parent, const QString &text, int level,
                         const QList<QIcon> &icons)
{
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    node->setText(0, text);
    node->setData(0, kLevelRole, level);
    node->setIcon(0, icons.at(qMin(level, kDeepestImage)));
    return node;
}

} // namespace

void BuildClassTree(db::Table *table, QTreeWidget *tree)
{
    struct CloseAfter
    {
        db::Table *t;
        ~CloseAfter() { t->close(); }
    } closeAfter{table};
    if (!table->active())
        table->open();
    table->first();
    tree->clear();
    const QList<QIcon> icons = nodeIcons();
    QTreeWidgetItem *root = addNode(tree, nullptr, kRootText, 0, icons);
    // lastOfLevel[l]: the latest node of level l in the current branch. A new
    // node forgets the deeper ones, so a row whose parent level is missing
    // never lands under a node of an earlier branch. Any depth is kept, so a
    // row deeper than four levels still shows under its parent.
    QMap<int, QTreeWidgetItem *> lastOfLevel{{0, root}};
    int row = 0;
    for (; !table->eof(); table->next()) {
        ++row;
        const QString levelText = gbk::trim(table->field(0)->asString());
        bool ok = false;
        const int level = levelText.toInt(&ok);
        if (!ok) {
            tree->expandItem(root);
            throw db::DbError(QString::fromUtf8("分类表 %1 第 %2 行的级别“%3”不是整数。")
                                  .arg(table->tableName())
                                  .arg(row)
                                  .arg(levelText));
        }
        if (level <= 0)
            continue;
        const QString text = gbk::trim(table->field(1)->asString()) + QStringLiteral("  ")
                             + gbk::trim(table->field(2)->asString());
        QTreeWidgetItem *node = addNode(tree, lastOfLevel.value(level - 1), text, level, icons);
        lastOfLevel.erase(lastOfLevel.upperBound(level), lastOfLevel.end());
        lastOfLevel[level] = node;
    }
    tree->expandItem(root);
}

TFormTree::TFormTree(QWidget *parent) : ui::GuardedDialog(parent), ImageList1(treeImages())
{
    setupUi(this);
    setTreePicker(this);
    ui::fixWindowSize(this, 380, 420);
    ui::connectGuarded(Button1, this, &TFormTree::Button1Click);
    ui::connectGuarded(Button2, this, &TFormTree::Button2Click);
}

void TFormTree::showEvent(QShowEvent *event)
{
    ui::GuardedDialog::showEvent(event);
    ui::guarded([this] { FormShow(); });
}

void TFormTree::hideEvent(QHideEvent *event)
{
    // The tree lives only while the window is shown, however it was closed.
    TreeView1->clear();
    m_request.reset();
    QDialog::hideEvent(event);
}

void TFormTree::FormShow()
{
    TreeView1->clear();
    m_request = currentTreeRequest();
    if (!m_request)
        return;
    db::Table *table = DM->Table1;
    table->close();
    // Set on every opening: the data module points Table1 at the data folder
    // only when an optional classification exists, and gxjs is always needed.
    table->setDatabaseName(DataDir);
    table->setFiltered(false);
    table->setTableName(m_request->table);
    table->open();
    BuildClassTree(table, TreeView1);
}

void TFormTree::Button1Click()
{
    const QList<QTreeWidgetItem *> chosen = TreeView1->selectedItems();
    if (chosen.isEmpty()) {
        ShowWarning(QString::fromUtf8("请先选择一个分类！"));
        return;
    }
    QTreeWidgetItem *node = chosen.first();
    // Choosing the root clears the edit.
    const QString text = node->data(0, kLevelRole).toInt() == 0 ? QString() : node->text(0);
    if (m_request && m_request->target)
        SetControlText(m_request->target, text);
    TreeView1->clear();
    closeNow(QDialog::Accepted);
}

void TFormTree::Button2Click()
{
    TreeView1->clear();
    closeNow();
}
