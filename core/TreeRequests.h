#pragma once
// Which edit the classification picker fills, and from which table.
//
// Each calling form owns a row of request flags, one per target edit (slot).
// Its drop-down handler calls pickTreeCode(owner, slot): that raises the
// slot's flag, lowers the others of the row, remembers the form as the one
// asking and shows the picker. The picker serves only the form that asked
// this time, so flags another form left raised never choose the table or
// the target edit.
//
// A form makes its edits known once, by slot (setTreeTarget) or all at once
// by their object names (setTreeTargets).
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <span>

class QComboBox;
class QDialog;
class QLineEdit;

enum class TreeOwner {
    Page1,  // section 01
    Page4a, // unit profile
    Page10, // second-level unit
    Query,  // the query builder's value edit on the main window
};

// The flag rows (1 = this slot is asked for). They keep their values
// between openings, as the forms left them.
extern quint8 TreeTargetPage1[6];
extern quint8 TreeTargetPage4a[40];
extern quint8 TreeTargetPage10[20];
extern quint8 TreeTargetQuery[2];

std::span<quint8> treeFlags(TreeOwner owner);

// The classification table of a slot ("xkfl.dbf"); empty for a slot that
// has no target.
QString treeTableOf(TreeOwner owner, int slot);
// The object names of a slot's target edit and of its drop-down.
QString treeEditNameOf(TreeOwner owner, int slot);
QString treeDropDownNameOf(TreeOwner owner, int slot);
// The slot of a drop-down by its object name; -1 when it is none of owner's.
int treeSlotOfDropDown(TreeOwner owner, const QString &dropDownName);

void setTreeTarget(TreeOwner owner, int slot, QLineEdit *edit);
void setTreeTarget(TreeOwner owner, int slot, QComboBox *combo);
// Registers every target edit of owner found by name under form (a line
// edit or a combo); returns how many were found.
int setTreeTargets(TreeOwner owner, QWidget *form);

struct TreeRequest
{
    TreeOwner owner;
    int slot;
    QString table;             // "gxjs.dbf", "xkfl.dbf" or "ztflh.dbf"
    QPointer<QWidget> target;  // null when the form registered no edit
};

// Raises slot's flag, lowers the rest of the row and makes owner the form
// the picker serves. An unknown slot is a programming error and throws.
void raiseTreeRequest(TreeOwner owner, int slot);
// The request the picker serves: the raised flag of the form that asked
// last. None when no form is asking.
std::optional<TreeRequest> currentTreeRequest();
void endTreeRequest();

// The picker window that serves the requests; it makes itself known when
// made (a QPointer: gone with the window).
void setTreePicker(QDialog *picker);

// The drop-down's whole request: raises the flag and shows the picker
// modally. A missing classification table is told to the user and the
// picker is not shown. The target holds the chosen text afterwards, or is
// unchanged when the user cancelled. Returns the picker's result code.
int pickTreeCode(TreeOwner owner, int slot);

