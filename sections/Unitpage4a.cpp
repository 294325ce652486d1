#include "Unitpage4a.h"

#include "SharedRoutines.h"
#include "TableSchemas.h"
#include "TreeDropDowns.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitRow.h"
#include "Unitpage10.h"
#include "Unitpage11.h"
#include "Unitpage4a1.h"
#include "Unitpage4a3.h"
#include "Unitpage4a5.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

#include <QCloseEvent>

TFpage4a *Fpage4a = nullptr;

namespace {

QString storedText(const char *column)
{
    return gbk::trim(DM->Tblunit->fieldByName(QString::fromLatin1(column))->asString());
}

db::Table *classificationOf(const UnitCodeRow &row)
{
    if (!row.disciplines)
        return DM->Tblgxjs;
    return HasXkfl ? DM->Txkfl2 : nullptr;
}

// Same codes in the same order; empty entries of an old list count for nothing.
bool sameCodes(const QString &stored, const QString &shown)
{
    return unitCodes(stored) == unitCodes(shown);
}

} // namespace

TFpage4a::TFpage4a(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    // Left through 退出 only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    for (const auto &[column, edit] :
         {std::pair{"item_9", edt_9}, std::pair{"item_420", edt_420}, std::pair{"item_37", Edt_37},
          std::pair{"item_38", Edt_38}, std::pair{"item_39", Edt_39}, std::pair{"item_40", Edt_40},
          std::pair{"item_60", Edt_60}, std::pair{"item_41", Edt_41}, std::pair{"item_61", Edt_61},
          std::pair{"item_41_2", Edt_41_2}})
        m_bindings.push_back(textBinding(column, edit, "unit"));
    m_bindings.push_back(memoBinding("unitintrod", Memo3));
    m_bindings.push_back(memoBinding("advantage", Memo2));
    m_bindings.push_back(memoBinding("studydirec", Memo1));
    m_bindings.push_back(codeBinding("item_62", cb_62, 3, [](QComboBox *c) {
        FillComboFromDict(DM->Tblzdxx, "item_62", c, 1);
    }));
    m_bindings.push_back(codeBinding("item_64", cb_64, 3, [](QComboBox *c) {
        FillComboCodeName(DM->tblProvince, c, "Province_i", "Province_n", 1);
    }));

    for (const UnitCodeRow &row : kUnitCodeRows) {
        for (int k = 1; k <= kUnitCodeEdits; ++k) {
            QLineEdit *edit = codeEdit(row, k);
            gbk::acceptOnlyGbk(edit);
            connect(edit, &QLineEdit::textChanged, this, [this, edit] {
                Edit1->setText(edit->objectName().replace("edt", "item"));
            });
        }
    }
    setTreeTargets(TreeOwner::Page4a, this);
    watchTreeDropDowns(this, TreeOwner::Page4a, [this](int slot) { CodeDropDown(slot); });

    for (QPlainTextEdit *memo : {Memo1, Memo2, Memo3})
        memo->viewport()->installEventFilter(this);

    ui::connectGuarded(btnSave01, this, &TFpage4a::btnSave01Click);
    ui::connectGuarded(Button2, this, &TFpage4a::Button2Click);
    ui::connectGuarded(quit01, this, &TFpage4a::quit01Click);
    ui::connectGuarded(BitBtndtr, this, &TFpage4a::BitBtndtrClick);
    ui::connectGuarded(Button5, this, &TFpage4a::Button5Click);
    ui::connectGuarded(cb_62, &QComboBox::activated, this, [this] { cb_62Change(); });
}

QLineEdit *TFpage4a::codeEdit(const UnitCodeRow &row, int k) const
{
    return findChild<QLineEdit *>(QString::fromLatin1(row.editPrefix) + QString::number(k));
}

QStringList TFpage4a::codeTexts(const UnitCodeRow &row) const
{
    QStringList texts;
    for (int k = 1; k <= kUnitCodeEdits; ++k)
        texts << codeEdit(row, k)->text();
    return texts;
}

void TFpage4a::LoadUnitProfile()
{
    db::Table *unit = DM->Tblunit;
    for (auto &b : m_bindings)
        b->load(unit);

    const bool enterprise = storedText("item_62") == "3";
    FillComboFromDict(DM->Tblzdxx, "item_41_3", CB_41_3, 1);
    CB_41_3->setCurrentIndex(-1);
    SelectComboByCode(storedText("item_41_3"), CB_41_3);
    CB_41_3->setEnabled(enterprise);
    cb_163->setEnabled(enterprise);
    cb_163->setChecked(enterprise && storedText("item_163") == "1");

    for (const UnitCodeRow &row : kUnitCodeRows) {
        const QStringList codes = unitCodes(unit->fieldByName(row.column)->asString());
        db::Table *classification = classificationOf(row);
        for (int k = 1; k <= kUnitCodeEdits; ++k)
            SetControlText(codeEdit(row, k), k <= codes.size() ? unitCodeText(classification, codes[k - 1]) : QString());
    }
}

void TFpage4a::FormShow()
{
    ui::fixWindowSize(this, 800, 600);
    Edit1->clear();
}

void TFpage4a::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

bool TFpage4a::isEnterprise() const
{
    return ComboCode(cb_62, 3) == "3";
}

QString TFpage4a::enterpriseCode() const
{
    return isEnterprise() ? ComboCode(CB_41_3, 3) : QString();
}

QString TFpage4a::conversionMark() const
{
    if (!isEnterprise())
        return {};
    return cb_163->isChecked() ? "1" : "0";
}

void TFpage4a::cb_62Change()
{
    FillComboFromDict(DM->Tblzdxx, "item_41_3", CB_41_3, 1);
    if (isEnterprise()) {
        cb_163->setEnabled(true);
        CB_41_3->setEnabled(true);
    } else {
        cb_163->setChecked(false);
        cb_163->setEnabled(false);
        CB_41_3->clear();
        CB_41_3->setEnabled(false);
    }
}

void TFpage4a::CollectCodeList(const UnitCodeRow &row)
{
    DM->Tblunit->fieldByName(row.column)->setAsString(unitCodeList(codeTexts(row)));
}

void TFpage4a::checkCodeListLengths()
{
    // The column would cut the list silently, losing the codes at its end.
    for (const UnitCodeRow &row : kUnitCodeRows) {
        const int width = textColumnWidth("unit", row.column);
        if (gbk::byteLength(unitCodeList(codeTexts(row))) > width)
            Refuse(u("\"%1\"的代码太长，最多只能存储%2个字节！").arg(u(row.label)).arg(width));
    }
}

bool TFpage4a::storeProfile()
{
    checkCodeListLengths();
    db::Table *unit = DM->Tblunit;
    const bool stored = storeBindings(unit, m_bindings, [&] {
        unit->fieldByName("item_9")->setAsString(gbk::trim(edt_9->text()));
        writeOwnUnitIdentity(unit);
        unit->fieldByName("item_41_3")->setAsString(enterpriseCode());
        unit->fieldByName("item_163")->setAsString(conversionMark());
        for (const UnitCodeRow &row : kUnitCodeRows)
            CollectCodeList(row);
    });
    if (!stored)
        return false;
    // The unit is no part of the record: its sections keep the marks the
    // record gives them.
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
    return true;
}

bool TFpage4a::saveProfile()
{
    if (!storeProfile())
        return false;
    ShowWarning(u("存储成功！"));
    Edit1->clear();
    return true;
}

void TFpage4a::btnSave01Click()
{
    saveProfile();
}

void TFpage4a::Button2Click()
{
    storeProfile();
}

bool TFpage4a::CheckUnitInput()
{
    const std::pair<QString, const char *> required[] = {
        {edt_9->text(), "\"单位名称\"不能为空！"},       {Edt_37->text(), "\"通讯地址\"不能为空！"},
        {Edt_38->text(), "\"邮政编码\"不能为空！"},      {edt_420->text(), "\"单位法人\"不能为空！"},
        {Edt_39->text(), "\"单位电话\"不能为空！"},      {Edt_40->text(), "\"单位传真\"不能为空！"},
        {Memo3->toPlainText(), "\"单位简介\"不能为空！"}, {Edt_41->text(), "\"联系部门\"不能为空！"},
        {Edt_41_2->text(), "\"联系部门电话\"不能为空！"},
    };
    for (const auto &[text, message] : required) {
        if (text.isEmpty())
            Refuse(u(message));
    }
    return true;
}

bool TFpage4a::IsUnchanged()
{
    db::Table *unit = DM->Tblunit;
    if (!bindingsUnchanged(unit, m_bindings))
        return false;
    if (storedText("item_41_3") != enterpriseCode() || storedText("item_163") != conversionMark())
        return false;
    for (const UnitCodeRow &row : kUnitCodeRows)
        if (!sameCodes(unit->fieldByName(row.column)->asString(), unitCodeList(codeTexts(row))))
            return false;
    return true;
}

void TFpage4a::quit01Click()
{
    CheckUnitInput();
    // A failed post keeps the window open with what was typed.
    if (!IsUnchanged() && !SettleChanges([this] { return saveProfile(); }))
        return;
    Edit1->clear();
    closeNow();
    // A first run ends only with the own unit stored; otherwise the commands
    // stay locked, as the next start would find them.
    if (ownUnitStored()) {
        MainForm->EnableUnitCommands(true);
        MainForm->UpdateNavigationLock();
    }
}

void TFpage4a::BitBtndtrClick()
{
    // The leaders belong to the stored unit: without its row there is none.
    if (!storeProfile())
        return;
    OpenDisciplineLeaders(DM->Tblunit->fieldByName("unitcode")->asString());
}

void TFpage4a::Button5Click()
{
    db::Table *unit = DM->Tblunit;
    OpenSecondLevelUnits(unit->fieldByName("item_9")->asString(), unit->fieldByName("unitcode")->asString());
}

void TFpage4a::Memo1Click()
{
    Formstudy->editMemo(Memo1);
}

void TFpage4a::Memo2Click()
{
    formadvantage->editMemo(Memo2);
}

void TFpage4a::Memo3Click()
{
    formunitintrod->editMemo(Memo3);
}

void TFpage4a::CodeDropDown(int slot)
{
    // Another window may have taken the slots since.
    setTreeTargets(TreeOwner::Page4a, this);
    pickTreeCode(TreeOwner::Page4a, slot);
}

void TFpage4a::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    FormShow();
}

void TFpage4a::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

bool TFpage4a::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonPress) {
        for (const auto &[memo, click] : {std::pair{Memo1, &TFpage4a::Memo1Click},
                                          std::pair{Memo2, &TFpage4a::Memo2Click},
                                          std::pair{Memo3, &TFpage4a::Memo3Click}}) {
            if (watched == memo->viewport()) {
                ui::guarded([this, click] { (this->*click)(); });
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, e);
}

void LoadUnitProfile()
{
    Fpage4a->LoadUnitProfile();
}

void OpenUnitProfile()
{
    LoadUnitProfile();
    ui::showModal(Fpage4a);
}
