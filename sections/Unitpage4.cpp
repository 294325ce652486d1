#include "Unitpage4.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "dw_Unit.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "ui/SilentAbort.h"

TFpage4 *Fpage4 = nullptr;

namespace {

QString text(db::Dataset *source, const char *column)
{
    return gbk::trim(source->fieldByName(QString::fromLatin1(column))->asString());
}

// The record's first completing unit is the own unit: the names agree. A
// record without a name is no unit's.
bool isOwnUnit(db::Dataset *record)
{
    db::Table *unit = DM->Tblunit;
    const QString name = text(record, "ITEM_9");
    return !name.isEmpty() && unit->active() && !unit->isEmpty() && name == text(unit, "item_9");
}

} // namespace

TFpage4::TFpage4(QWidget *parent) : SectionForm("04", parent)
{
    setupUi(this);
    wireButtons(btnSave01, Button3, quit01);
    m_fields = unitDataBindings(controls(), QStringLiteral("kjcg"));
    ui::connectGuarded(cb_62, &QComboBox::activated, this, [this] { cb_62Change(); });
    ui::connectGuarded(Button1, this, &TFpage4::Button1Click);
    // The unit's basic data stored from here: filled in again (按照本单位情况填入).
    connect(dw_Form, &Tdw_Form::stored, Button1, &QPushButton::click);
    ui::connectGuarded(Button2, this, &TFpage4::Button2Click);
}

UnitDataControls TFpage4::controls() const
{
    return {Edt_9, Edt_420, Edt_37, Edt_38, Edt_39, Edt_40, Edt_60, Edt_41, Edt_41_2, Edt_61,
            cb_62, CB_41_3, cb_64, cb_63, cb_163};
}

FieldBinding *TFpage4::binding(const QString &column) const
{
    for (const auto &b : m_fields)
        if (b->field().compare(column, Qt::CaseInsensitive) == 0)
            return b.get();
    return nullptr;
}

void TFpage4::loadFields(db::Dataset *source, const QString &skipped)
{
    for (const auto &b : m_fields)
        if (b->field().compare(skipped, Qt::CaseInsensitive) != 0)
            b->load(source);
}

void TFpage4::enableEnterprise(bool enterprise)
{
    CB_41_3->setEnabled(enterprise);
    cb_163->setEnabled(enterprise);
}

void TFpage4::loadOther()
{
    db::Dataset *record = DM->Qrykjcg;
    // The unit table keeps no ministry: that one always comes from the record.
    db::Dataset *source = isOwnUnit(record) ? static_cast<db::Dataset *>(DM->Tblunit) : record;
    loadFields(source, QStringLiteral("item_63"));
    binding(QStringLiteral("item_63"))->load(record);
    const bool enterprise = text(source, "item_62") == QLatin1String("3");
    enableEnterprise(enterprise);
    cb_163->setChecked(enterprise && text(record, "ITEM_163") == QLatin1String("1"));
}

void TFpage4::saveOther(db::Dataset *record)
{
    for (const auto &b : m_fields)
        b->save(record);
    if (text(record, "ITEM_62") == QLatin1String("3")) {
        record->fieldByName(QStringLiteral("ITEM_163"))->setAsString(cb_163->isChecked() ? u("1") : u("0"));
    } else {
        record->fieldByName(QStringLiteral("ITEM_41_3"))->setAsString(QString());
        record->fieldByName(QStringLiteral("ITEM_163"))->setAsString(QString());
    }
}

bool TFpage4::otherUnchanged(db::Dataset *record)
{
    const QString converted = text(record, "ITEM_163");
    if (converted == QLatin1String("1") && !cb_163->isChecked())
        return false;
    if (converted == QLatin1String("0") && cb_163->isChecked())
        return false;
    return bindingsUnchanged(record, m_fields);
}

void TFpage4::cb_62Change()
{
    unitTypeChanged(controls());
}

bool TFpage4::CheckUnitInput()
{
    checkUnitData(controls());
    return true;
}

void TFpage4::Button1Click()
{
    db::Dataset *basic = DM->Qrydwqk;
    if (text(basic, "item_9").isEmpty()) {
        ui::messageBox(u("本单位情况还没设置，请先设置单位基本情况"), u("提示信息"), ui::MB_OK | ui::MB_ICONINFORMATION);
        return;
    }
    loadFields(basic, QStringLiteral("item_41_3"));
    cb_163->setChecked(text(basic, "item_163") == QLatin1String("1"));
    const bool enterprise = isEnterpriseType(cb_62);
    if (enterprise)
        binding(QStringLiteral("item_41_3"))->load(basic);
    else
        CB_41_3->clear(); // no ownership of an earlier record, as a save would store none
    enableEnterprise(enterprise);
}

void TFpage4::Button2Click()
{
    db::Dataset *record = DM->Qrykjcg;
    try {
        const bool enterprise = text(record, "ITEM_62") == QLatin1String("3");
        dw_Form->cb_41_3->setEnabled(enterprise);
        dw_Form->cb_163->setEnabled(enterprise);
        if (enterprise && text(record, "ITEM_163") == QLatin1String("1"))
            dw_Form->cb_163->setChecked(true);
        // Loaded before it appears, so a row that cannot be read is told here.
        dw_Form->FormShow();
    } catch (const ui::SilentAbort &) {
        throw;
    } catch (const std::exception &e) {
        ShowWarning(u("读入数据时出错,请到本单位情况设置中修改:") + ui::errorText(e));
        return;
    }
    ui::showModal(dw_Form);
}

void btn_page04Click()
{
    Fpage4->openOnCurrentRecord();
}
