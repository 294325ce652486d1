#pragma once
// The second-level units of a unit: further rows of the table unit under
// the unit's code, listed through DM.Qryunit. The edits show the listed row
// that is current, and 存储 writes them back into that row. Leaving the row
// shown with changed edits (another row, 增加, leaving the window) asks
// first whether to store them; so does leaving edits typed with no unit
// listed, which a Yes stores as a new unit.
#include "FieldBinding.h"
#include "db/dataset/Dataset.h"
#include "ui/GuardedDialog.h"
#include "ui_Unitpage10.h"

class TFpage10 : public ui::GuardedDialog, public Ui::TFpage10
{
    Q_OBJECT

public:
    explicit TFpage10(QWidget *parent = nullptr);

    void FormShow();
    void FormResize();
    void btnSave01Click(); // 存储
    void Button2Click();   // 增加
    void Button3Click();   // 删除
    void Button1Click();   // 按照本单位情况填入 (hidden)
    void BitBtndtrClick(); // the whole completing-person list
    void quit01Click();
    void CodeDropDown(int slot);

    // Puts the list's current row into the edits; empties them when there is none.
    void ShowCurrentRow();

protected:
    void leaveRequested() override { quit01Click(); }
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // The grid's row chosen: changes to the row shown may be stored first.
    void followGridRow(int row);
    // Writes the edits into the row they show, or with no row shown into a
    // new unit; false when nothing was stored.
    bool storeShownRow();
    // Adds the next unit under the parent, holding the edits when asked.
    bool appendUnit(bool withEntries);
    // The edits and memos a unit's fields are typed into, and whether all are blank.
    QList<QWidget *> entryControls() const;
    bool entryBlank() const;
    // Edits that differ from the row they show are asked about, Yes storing
    // them; the list is left on that row. False when the edits must stay on
    // screen (a refused or failed store).
    bool settleShownRow();

    FieldBindings m_bindings;
    db::Dataset::Bookmark m_shown; // the row the edits show
    bool m_busy = false;           // the window moves the list itself
};

extern TFpage10 *Fpage10;

// The profile's "所属二级单位情况": the units under unitCode, shown modally.
void OpenSecondLevelUnits(const QString &unitName, const QString &unitCode);

// The code of the next second-level unit under parentCode: its first seven
// characters, the unit's place 01..99 after those of the units it has, and
// "0". Refused with a message when the parent's first seven characters are
// not digits or it has its 99th unit already.
QString NextSecondLevelCode(const QString &parentCode);
