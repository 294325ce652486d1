#include "TreeRequests.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "ui/ModalWindows.h"

#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <stdexcept>

quint8 TreeTargetPage1[6] = {};
quint8 TreeTargetPage4a[40] = {};
quint8 TreeTargetPage10[20] = {};
quint8 TreeTargetQuery[2] = {};

namespace {

// A run of slots whose edits and drop-downs are numbered 1..count ("%1"),
// or a single slot named as it stands.
struct TreeGroup
{
    TreeOwner owner;
    int firstSlot;
    int count;
    const char *dropDown;
    const char *edit;
    const char *table;
};

constexpr TreeGroup kGroups[] = {
    {TreeOwner::Page1, 0, 1, "cb_15", "Edt_15", "xkfl.dbf"},
    {TreeOwner::Page1, 1, 1, "cb_15_1", "edt_15_1", "xkfl.dbf"},
    {TreeOwner::Page1, 2, 1, "CB_12", "edt_12", "ztflh.dbf"},
    {TreeOwner::Page1, 3, 1, "CB_12_1", "edt_12_1", "ztflh.dbf"},
    {TreeOwner::Page4a, 0, 10, "cb_124_2_%1", "edt_124_2_%1", "gxjs.dbf"},
    {TreeOwner::Page4a, 10, 10, "cb_15_1_%1", "edt_15_1_%1", "xkfl.dbf"},
    {TreeOwner::Page4a, 20, 10, "cb_124_1_%1", "edt_124_1_%1", "gxjs.dbf"},
    {TreeOwner::Page4a, 30, 10, "cb_15_%1", "edt_15_%1", "xkfl.dbf"},
    {TreeOwner::Page10, 0, 10, "cb_124_1_%1", "edt_124_1_%1", "gxjs.dbf"},
    {TreeOwner::Page10, 10, 10, "cb_15_%1", "edt_15_%1", "xkfl.dbf"},
    // Both picker buttons of the query builder fill its one value edit.
    {TreeOwner::Query, 0, 1, "ComboBox5", "Edit2", "ztflh.dbf"},
    {TreeOwner::Query, 1, 1, "ComboBox6", "Edit2", "xkfl.dbf"},
};

const TreeGroup *groupOf(TreeOwner owner, int slot)
{
    for (const TreeGroup &g : kGroups)
        if (g.owner == owner && slot >= g.firstSlot && slot < g.firstSlot + g.count)
            return &g;
    return nullptr;
}

QString nameIn(const TreeGroup &g, const char *pattern, int slot)
{
    const QString name = QString::fromLatin1(pattern);
    return g.count == 1 ? name : name.arg(slot - g.firstSlot + 1);
}

int key(TreeOwner owner, int slot)
{
    return int(owner) << 8 | slot;
}

QHash<int, QPointer<QWidget>> &targets()
{
    static QHash<int, QPointer<QWidget>> t;
    return t;
}

std::optional<TreeOwner> asking;

void setTarget(TreeOwner owner, int slot, QWidget *edit)
{
    if (!groupOf(owner, slot))
        throw std::invalid_argument("tree picker: no target slot " + std::to_string(slot));
    targets()[key(owner, slot)] = edit;
}

} // namespace

std::span<quint8> treeFlags(TreeOwner owner)
{
    switch (owner) {
    case TreeOwner::Page1: return TreeTargetPage1;
    case TreeOwner::Page4a: return TreeTargetPage4a;
    case TreeOwner::Page10: return TreeTargetPage10;
    case TreeOwner::Query: return TreeTargetQuery;
    }
    return {};
}

QString treeTableOf(TreeOwner owner, int slot)
{
    const TreeGroup *g = groupOf(owner, slot);
    return g ? QString::fromLatin1(g->table) : QString();
}

QString treeEditNameOf(TreeOwner owner, int slot)
{
    const TreeGroup *g = groupOf(owner, slot);
    return g ? nameIn(*g, g->edit, slot) : QString();
}

QString treeDropDownNameOf(TreeOwner owner, int slot)
{
    const TreeGroup *g = groupOf(owner, slot);
    return g ? nameIn(*g, g->dropDown, slot) : QString();
}

int treeSlotOfDropDown(TreeOwner owner, const QString &dropDownName)
{
    for (const TreeGroup &g : kGroups)
        for (int slot = g.firstSlot; g.owner == owner && slot < g.firstSlot + g.count; ++slot)
            if (nameIn(g, g.dropDown, slot) == dropDownName)
                return slot;
    return -1;
}

void setTreeTarget(TreeOwner owner, int slot, QLineEdit *edit)
{
    setTarget(owner, slot, edit);
}

void setTreeTarget(TreeOwner owner, int slot, QComboBox *combo)
{
    setTarget(owner, slot, combo);
}

int setTreeTargets(TreeOwner owner, QWidget *form)
{
    int found = 0;
    for (const TreeGroup &g : kGroups) {
        for (int slot = g.firstSlot; g.owner == owner && slot < g.firstSlot + g.count; ++slot) {
            QWidget *w = form->findChild<QWidget *>(nameIn(g, g.edit, slot));
            if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)) {
                targets()[key(owner, slot)] = w;
                ++found;
            }
        }
    }
    return found;
}

void raiseTreeRequest(TreeOwner owner, int slot)
{
    if (!groupOf(owner, slot))
        throw std::invalid_argument("tree picker: no target slot " + std::to_string(slot));
    std::span<quint8> flags = treeFlags(owner);
    for (int i = 0; i < int(flags.size()); ++i)
        flags[i] = i == slot ? 1 : 0;
    asking = owner;
}

std::optional<TreeRequest> currentTreeRequest()
{
    if (!asking)
        return std::nullopt;
    const std::span<quint8> flags = treeFlags(*asking);
    for (int slot = 0; slot < int(flags.size()); ++slot) {
        if (flags[slot] != 1 || !groupOf(*asking, slot))
            continue;
        return TreeRequest{*asking, slot, treeTableOf(*asking, slot), targets().value(key(*asking, slot))};
    }
    return std::nullopt;
}

void endTreeRequest()
{
    asking.reset();
}

QPointer<QDialog> &treePicker()
{
    static QPointer<QDialog> picker;
    return picker;
}

void setTreePicker(QDialog *picker)
{
    treePicker() = picker;
}

int pickTreeCode(TreeOwner owner, int slot)
{
    raiseTreeRequest(owner, slot);
    if (!treePicker()) {
        endTreeRequest();
        return QDialog::Rejected;
    }
    const QString table = treeTableOf(owner, slot);
    if (db::DbfFile::findFile(DataDir, table).isEmpty()) {
        endTreeRequest();
        ShowWarning(QString::fromUtf8("找不到分类表 %1，无法选择分类！").arg(table));
        return QDialog::Rejected;
    }
    // Ended however the picker closes, so a later showing serves no stale request.
    struct End
    {
        ~End() { endTreeRequest(); }
    } end;
    return ui::showModal(treePicker());
}
