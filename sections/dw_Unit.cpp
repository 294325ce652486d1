#include "dw_Unit.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/SilentAbort.h"

Tdw_Form *dw_Form = nullptr;

namespace {

using ColumnValues = QList<std::pair<QString, QString>>;

// "update dwqk set item_9='…',item_420='…',…": no condition, so every row
// takes the values (the table holds one).
QString updateStatement(const ColumnValues &values)
{
    QStringList sets;
    for (const auto &[column, value] : values)
        sets << column + QLatin1Char('=') + SqlLiteral(value);
    return QStringLiteral("update dwqk set ") + sets.join(QLatin1Char(','));
}

QString insertStatement(const ColumnValues &values)
{
    QStringList columns, literals;
    for (const auto &[column, value] : values) {
        columns << column;
        literals << SqlLiteral(value);
    }
    return QStringLiteral("insert into dwqk (") + columns.join(QLatin1Char(',')) + QStringLiteral(") values (")
           + literals.join(QLatin1Char(',')) + QLatin1Char(')');
}

} // namespace

Tdw_Form::Tdw_Form(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    ui::fixWindowSize(this, width(), height());
    m_bindings = unitDataBindings(controls(), QStringLiteral("dwqk"));
    ui::connectGuarded(Button1, this, &Tdw_Form::Button1Click);
    ui::connectGuarded(Button2, this, &Tdw_Form::Button2Click);
    ui::connectGuarded(cb_62, &QComboBox::activated, this, [this] { cb_62Change(); });
}

UnitDataControls Tdw_Form::controls() const
{
    return {Edt_9, Edt_420, Edt_37, Edt_38, Edt_39, Edt_40, Edt_60, Edt_41, Edt_41_2, Edt_61,
            cb_62, cb_41_3, cb_64, cb_63, cb_163};
}

void Tdw_Form::FormShow()
{
    db::Query *basic = DM->Qrydwqk;
    const QString type = gbk::trim(basic->fieldByName(QStringLiteral("item_62"))->asString());
    const QString converted = gbk::trim(basic->fieldByName(QStringLiteral("item_163"))->asString());
    const bool enterprise = type == QLatin1String("3");
    cb_41_3->setEnabled(enterprise);
    cb_163->setEnabled(enterprise);
    if (enterprise)
        cb_163->setChecked(converted == QLatin1String("1"));
    // Any other mark leaves the box as it was.
    if (converted == QLatin1String("1") || converted == QLatin1String("0"))
        cb_163->setChecked(converted == QLatin1String("1"));
    for (auto &b : m_bindings)
        b->load(basic);
}

void Tdw_Form::cb_62Change()
{
    unitTypeChanged(controls());
}

bool Tdw_Form::CheckUnitInput()
{
    checkUnitData(controls());
    return true;
}

QString Tdw_Form::conversionMark() const
{
    return cb_163->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

bool Tdw_Form::IsUnchanged()
{
    db::Query *basic = DM->Qrydwqk;
    return bindingsUnchanged(basic, m_bindings)
           && gbk::trim(basic->fieldByName(QStringLiteral("item_163"))->asString()) == conversionMark();
}

void Tdw_Form::execute(const QString &statement)
{
    db::Query *basic = DM->Qrydwqk;
    const QString select = basic->sql();
    basic->close();
    basic->setSql(statement);
    try {
        basic->execSql();
    } catch (...) {
        // The engine wrote nothing; the window keeps what was typed.
        basic->setSql(select);
        try {
            basic->open();
        } catch (...) {
            // The next save opens it again; the statement's error is the one to tell.
        }
        throw;
    }
    basic->setSql(select);
}

void Tdw_Form::Button1Click()
{
    CheckUnitInput();
    db::Query *basic = DM->Qrydwqk;
    // After a failed statement the select may not have opened again.
    if (!basic->active())
        basic->open();
    const ColumnValues values = {
        {"item_9", Edt_9->text()},
        {"item_420", Edt_420->text()},
        {"item_37", Edt_37->text()},
        {"item_38", Edt_38->text()},
        {"item_39", Edt_39->text()},
        {"item_40", Edt_40->text()},
        {"item_60", Edt_60->text()},
        {"item_62", ComboCode(cb_62, 3)},
        {"item_163", conversionMark()},
        {"item_41_3", ComboCode(cb_41_3, 3)},
        {"item_64", ComboCode(cb_64, 3)},
        {"item_63", ComboCode(cb_63, 3)},
        {"item_41", Edt_41->text()},
        {"item_41_2", Edt_41_2->text()},
        {"item_61", Edt_61->text()},
    };
    execute(basic->isEmpty() ? insertStatement(values) : updateStatement(values));
    ShowWarning(u("存储成功！"));
    basic->open();
    emit stored();
    closeNow();
}

void Tdw_Form::Button2Click()
{
    CheckUnitInput();
    const auto storeAndClose = [this] {
        Button1Click(); // closes the window once stored
        return false;
    };
    if (!IsUnchanged() && !SettleChanges(storeAndClose))
        return;
    closeNow();
}
