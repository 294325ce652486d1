#include "Unitpage10.h"

#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "TableSchemas.h"
#include "TreeDropDowns.h"
#include "UnitCodeList.h"
#include "UnitDM.h"
#include "Unitpage12.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "ui/SilentAbort.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>

TFpage10 *Fpage10 = nullptr;

namespace {

const int kMostUnits = 99;

// A row of ten code edits of the window, stored as a unit code list.
class CodeRowBinding : public FieldBinding
{
public:
    CodeRowBinding(const UnitCodeRow &row, QWidget *form) : FieldBinding(row.column), m_row(row)
    {
        for (int k = 1; k <= kUnitCodeEdits; ++k) {
            m_edits << form->findChild<QLineEdit *>(QString::fromLatin1(row.editPrefix) + QString::number(k));
            gbk::acceptOnlyGbk(m_edits.last());
        }
    }
    void load(db::Dataset *r) override
    {
        const QStringList codes = unitCodes(stored(r));
        db::Table *classification = m_row.disciplines ? (HasXkfl ? DM->Txkfl2 : nullptr) : DM->Tblgxjs;
        for (int k = 0; k < m_edits.size(); ++k)
            SetControlText(m_edits[k], k < codes.size() ? unitCodeText(classification, codes[k]) : QString());
    }
    void save(db::Dataset *r) override
    {
        // The column would cut the list silently, losing the codes at its end.
        const int width = textColumnWidth("unit", field());
        if (gbk::byteLength(value()) > width)
            Refuse(u("\"%1\"的代码太长，最多只能存储%2个字节！").arg(u(m_row.label)).arg(width));
        store(r, value());
    }
    bool unchanged(db::Dataset *r) const override { return unitCodes(stored(r)) == unitCodes(value()); }

private:
    QString value() const
    {
        QStringList texts;
        for (const QLineEdit *edit : m_edits)
            texts << edit->text();
        return unitCodeList(texts);
    }

    const UnitCodeRow &m_row;
    QList<QLineEdit *> m_edits;
};

const UnitCodeRow &codeRow(const char *column)
{
    for (const UnitCodeRow &row : kUnitCodeRows)
        if (qstrcmp(row.column, column) == 0)
            return row;
    return kUnitCodeRows[0];
}

} // namespace

TFpage10::TFpage10(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    for (const auto &[column, edit] :
         {std::pair{"item_9", Edt_9}, std::pair{"item_37", Edt_37}, std::pair{"item_38", Edt_38},
          std::pair{"item_39", Edt_39}, std::pair{"item_40", Edt_40}, std::pair{"item_41", Edt_41},
          std::pair{"item_61", Edt_61}, std::pair{"item_41_2", Edt_41_2}})
        m_bindings.push_back(textBinding(column, edit, "unit"));
    m_bindings.push_back(memoBinding("advantage", Memoad));
    m_bindings.push_back(memoBinding("unitintrod", Memointr));
    m_bindings.push_back(std::make_unique<CodeRowBinding>(codeRow("item_124_1"), this));
    m_bindings.push_back(std::make_unique<CodeRowBinding>(codeRow("item_15"), this));

    DBGrid1->setColumns({{"unitcode", u("单位代码"), 100}, {"item_9", u("单位名称"), 640, true}});
    connect(DBGrid1, &DBGrid::cellClicked, this, [this](int row) { ui::guarded([&] { followGridRow(row); }); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) { ui::guarded([&] { followGridRow(index.row()); }); });

    setTreeTargets(TreeOwner::Page10, this);
    watchTreeDropDowns(this, TreeOwner::Page10, [this](int slot) { CodeDropDown(slot); });

    ui::connectGuarded(btnSave01, this, &TFpage10::btnSave01Click);
    ui::connectGuarded(Button2, this, &TFpage10::Button2Click);
    ui::connectGuarded(Button3, this, &TFpage10::Button3Click);
    ui::connectGuarded(Button1, this, &TFpage10::Button1Click);
    ui::connectGuarded(BitBtndtr, this, &TFpage10::BitBtndtrClick);
    ui::connectGuarded(quit01, this, &TFpage10::quit01Click);
}

void TFpage10::FormShow()
{
    ui::fixWindowSize(this, 800, 600);
    {
        // The edits still hold the last visit's: binding the grid must not
        // take them for changes of the row it lands on.
        QScopedValueRollback busy(m_busy, true);
        DBGrid1->setDataSource(DM->DSQunit);
    }
    ShowCurrentRow();
}

void TFpage10::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

QList<QWidget *> TFpage10::entryControls() const
{
    QList<QWidget *> controls{Edt_9, Edt_37, Edt_38, Edt_39, Edt_40, Edt_41, Edt_61, Edt_41_2, Memoad, Memointr};
    for (const char *prefix : {"edt_124_1_", "edt_15_"})
        for (int k = 1; k <= kUnitCodeEdits; ++k)
            controls << findChild<QLineEdit *>(prefix + QString::number(k));
    return controls;
}

bool TFpage10::entryBlank() const
{
    for (QWidget *control : entryControls()) {
        const auto *memo = qobject_cast<QPlainTextEdit *>(control);
        const QString text = memo ? memo->toPlainText() : static_cast<QLineEdit *>(control)->text();
        if (!gbk::trim(text).isEmpty())
            return false;
    }
    return true;
}

void TFpage10::ShowCurrentRow()
{
    QScopedValueRollback busy(m_busy, true);
    db::Query *units = DM->Qryunit;
    const bool none = !units->active() || units->isEmpty() || units->state() != db::Dataset::Browse;
    m_shown = none ? db::Dataset::Bookmark() : units->bookmark();
    if (none) {
        edt_unit->clear();
        for (QWidget *control : entryControls())
            if (auto *memo = qobject_cast<QPlainTextEdit *>(control))
                memo->clear();
            else
                static_cast<QLineEdit *>(control)->clear();
        return;
    }
    for (const auto &b : m_bindings)
        b->load(units);
    SetControlText(edt_unit, units->fieldByName("unitcode")->asString());
}

void TFpage10::followGridRow(int row)
{
    db::Query *units = DM->Qryunit;
    // Hidden, the window shows no row: the list is reopened for the next visit.
    if (m_busy || !isVisible() || row < 0 || !units->active() || units->state() != db::Dataset::Browse
        || row >= units->rowCount())
        return;
    QScopedValueRollback busy(m_busy, true);
    if (row != units->currentRow())
        units->moveBy(row - units->currentRow());
    const db::Dataset::Bookmark chosen = units->bookmark();
    if (chosen.rec == m_shown.rec)
        return;
    // A refused or failed store keeps the row shown with what was typed.
    if (!settleShownRow())
        return;
    units->gotoBookmark(chosen);
    ShowCurrentRow();
}

bool TFpage10::settleShownRow()
{
    // Typed with no unit listed: a unit still to be added, as much a change.
    if (!m_shown.valid())
        return entryBlank() || SettleChanges([this] { return storeShownRow(); });
    db::Query *units = DM->Qryunit;
    if (!units->active() || units->state() != db::Dataset::Browse || !units->gotoBookmark(m_shown))
        return true;
    return bindingsUnchanged(units, m_bindings) || SettleChanges([this] { return storeShownRow(); });
}

void TFpage10::quit01Click()
{
    QScopedValueRollback busy(m_busy, true);
    if (settleShownRow())
        closeNow();
}

bool TFpage10::storeShownRow()
{
    db::Query *units = DM->Qryunit;
    if (!m_shown.valid()) {
        if (entryBlank()) {
            ShowWarning(u("请先增加二级单位！"));
            return false;
        }
        if (!appendUnit(true))
            return false;
        ShowCurrentRow();
    } else if (!units->active() || !units->gotoBookmark(m_shown)) {
        ShowWarning(u("请先增加二级单位！"));
        return false;
    } else if (!storeBindings(units, m_bindings)) {
        return false;
    }
    // The unit is no part of the record: the section marks stay as they are.
    ShowWarning(u("存储成功！"));
    return true;
}

bool TFpage10::appendUnit(bool withEntries)
{
    const QString parent = gbk::trim(Panel5->text());
    const QString code = NextSecondLevelCode(parent);
    db::Query *units = DM->Qryunit;
    if (!units->active())
        units->open();
    units->append();
    static const FieldBindings none;
    return storeBindings(units, withEntries ? m_bindings : none, [&] {
        units->fieldByName("unitcode")->setAsString(code);
        units->fieldByName("upunitcode")->setAsString(parent);
        units->fieldByName("unitlevel")->setAsString("2");
        units->fieldByName("endlevel")->setAsInteger(0);
    });
}

void TFpage10::btnSave01Click()
{
    QScopedValueRollback busy(m_busy, true);
    storeShownRow();
}

void TFpage10::Button2Click()
{
    QScopedValueRollback busy(m_busy, true);
    if (settleShownRow() && appendUnit(false))
        ShowCurrentRow();
}

void TFpage10::Button3Click()
{
    db::Query *units = DM->Qryunit;
    if (!units->active() || units->isEmpty())
        return;
    if (ui::messageBox(u("是否删除该项目？!"), u("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION) != ui::IDYES)
        return;
    QScopedValueRollback busy(m_busy, true);
    // The row shown is the one the user means.
    units->gotoBookmark(m_shown);
    units->deleteRecord();
    ShowCurrentRow();
}

void TFpage10::Button1Click()
{
    db::Query *basic = DM->Qrydwqk;
    // The basic data form leaves its query closed after a store.
    if (!basic->active())
        basic->open();
    if (basic->isEmpty() || basic->fieldByName("item_9")->isNull()) {
        ui::messageBox(u("本单位情况还没设置，请先设置单位基本情况"), u("提示信息"), ui::MB_OK | ui::MB_ICONINFORMATION);
        return;
    }
    for (const auto &[column, edit] :
         {std::pair{"item_9", Edt_9}, std::pair{"item_37", Edt_37}, std::pair{"item_38", Edt_38},
          std::pair{"item_39", Edt_39}, std::pair{"item_40", Edt_40}, std::pair{"item_41", Edt_41},
          std::pair{"item_41_2", Edt_41_2}, std::pair{"item_61", Edt_61}})
        SetControlText(edit, basic->fieldByName(column)->asString());
}

void TFpage10::BitBtndtrClick()
{
    ui::showModal(Fpage12);
}

void TFpage10::CodeDropDown(int slot)
{
    // Another window may have taken the slots since.
    setTreeTargets(TreeOwner::Page10, this);
    pickTreeCode(TreeOwner::Page10, slot);
}

void TFpage10::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFpage10::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void OpenSecondLevelUnits(const QString &unitName, const QString &unitCode)
{
    Fpage10->Panel4->setText(unitName);
    Fpage10->Panel5->setText(unitCode);
    db::Query *units = DM->Qryunit;
    units->close();
    units->setFiltered(false);
    units->setFilter("upunitcode=" + SqlLiteral(gbk::trim(unitCode)) + " and unitlevel='2'");
    units->setFiltered(true);
    units->open();
    ui::showModal(Fpage10);
}

QString NextSecondLevelCode(const QString &parentCode)
{
    const QString parent = gbk::trim(parentCode);
    const QString stem = parent.left(7);
    if (stem.size() < 7 || !allDigits(stem))
        Refuse(u("所属一级单位代码不合法，不能增加二级单位！"));
    db::Query *children = DM->tempquery;
    children->close();
    children->setSql(QStringList{"select* from unit", "where upunitcode = :uncode"});
    children->setParamString("uncode", parent);
    children->open();
    // Places of the units it has; a code of another form holds none.
    int last = 0;
    const int column = children->fieldByName("unitcode")->index();
    for (int r = 0; r < children->rowCount(); ++r) {
        const QString code = gbk::trim(children->rowValue(r, column).toString());
        const QString place = code.mid(7, 2);
        if (code.startsWith(stem) && place.size() == 2 && allDigits(place))
            last = std::max(last, place.toInt());
    }
    if (last >= kMostUnits)
        Refuse(u("一个单位最多只能有99个二级单位！"));
    return stem + QStringLiteral("%1").arg(last + 1, 2, 10, QLatin1Char('0')) + QLatin1Char('0');
}
