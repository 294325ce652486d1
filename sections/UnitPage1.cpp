#include "UnitPage1.h"

#include "SharedRoutines.h"
#include "EntryControls.h"
#include "TreeRequests.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitRow.h"
#include "db/dataset/Query.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/DatePicker.h"
#include "ui/HandlerGuard.h"

#include <QCheckBox>
#include <QEvent>
#include <QRegularExpressionValidator>

TFpage1 *Fpage1 = nullptr;

namespace {

void fillDict(QComboBox *combo, const char *fieldCode)
{
    FillComboFromDict(DM->Tblzdxx, QString::fromLatin1(fieldCode), combo, 1);
}

std::unique_ptr<FieldBinding> dictBinding(const char *field, QComboBox *combo, int codeChars, const char *fieldCode)
{
    return codeBinding(QString::fromLatin1(field), combo, codeChars,
                       [fieldCode](QComboBox *c) { fillDict(c, fieldCode); });
}

void clearFields(db::Dataset *record, std::initializer_list<const char *> fields)
{
    for (const char *f : fields)
        record->fieldByName(QString::fromLatin1(f))->setAsString(QString());
}

// A year of four digits and a month from 1 to 12, as the period edits hold them.
bool isPeriodPart(const QString &year, const QString &month)
{
    static const QRegularExpression yearForm(QStringLiteral("^\\d{4}$"));
    static const QRegularExpression monthForm(QStringLiteral("^\\d{1,2}$"));
    if (!yearForm.match(year).hasMatch() || !monthForm.match(month).hasMatch())
        return false;
    const int m = month.toInt();
    return m >= 1 && m <= 12;
}

void checkYearLeft(QLineEdit *edit)
{
    const int thisYear = ui::today().year();
    bool ok = false;
    qlonglong year = gbk::trim(edit->text()).toLongLong(&ok);
    if (!ok)
        year = thisYear; // a blank or non-numeric year counts as this year
    if (year >= 1949 && year <= thisYear) {
        edit->setText(QString::number(year));
        return;
    }
    ShowWarning(u("年份不合理，合理取值为1949年至今！"));
    edit->setText(QStringLiteral("2004"));
}

void checkMonthLeft(QLineEdit *edit)
{
    const QString text = gbk::trim(edit->text());
    edit->setText(text);
    bool ok = false;
    const int month = text.toInt(&ok);
    if (!ok)
        return; // blank or not a number: left as it is
    if (month < 1 || month > 12) {
        ShowWarning(u("月份数不合理！"));
        edit->setText(QStringLiteral("12"));
    } else if (month <= 9) {
        edit->setText(QStringLiteral("0") + QString::number(month));
    }
}

} // namespace

TFpage1::TFpage1(QWidget *parent) : SectionForm("01", parent)
{
    setupUi(this);
    // Minimise and maximise only: the form is left through 退出.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    wireButtons(btnSave01, Button3, quit01);

    addBinding(textBinding("ITEM_120", Edt_120));
    addBinding(textBinding("ITEM_128", Edt_128));
    addBinding(dictBinding("ITEM_1", CB_1, 3, "item_1"));
    addBinding(dictBinding("ITEM_2", cb_2, 3, "item_2"));
    addBinding(dictBinding("ITEM_201", cb_201, 3, "item_201"));
    addBinding(choiceBinding("ITEM_125", this, "PL_125", 2, u("成果应用行业")));
    addBinding(memoBinding("ITEM_13", Mo_13));
    addBinding(memoBinding("ITEM_13_1", Mo_13_1));
    m_attribute = dictBinding("ITEM_125_1", Cb_125_1, 2, "item_125_1");
    m_appliedOnly.push_back(dictBinding("ITEM_16", cb_16, 3, "item_16"));
    m_appliedOnly.push_back(dictBinding("ITEM_33", cb_33, 3, "item_33"));
    m_appliedOnly.push_back(choiceBinding("ITEM_123", this, "PL_123", 1, u("成果体现形式")));
    m_appliedOnly.push_back(choiceBinding("ITEM_124_1", this, "Pl_124_1", 2, u("所属高新科技领域")));
    m_otherOnly.push_back(dictBinding("ITEM_210", cb_210, 3, "item_210"));
    m_otherOnly.push_back(choiceBinding("ITEM_200", this, "PL_200", 2, u("社会经济目标")));

    // Period edits: digits only (typed or pasted); normalised when left.
    for (QLineEdit *e : {edt_8_y_s, edt_8_m_s, edt_8_y_e, edt_8_m_e}) {
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        e->installEventFilter(this);
    }
    ui::setUpDatePicker(DTP_121, QStringLiteral("yyyy.MM.dd"));
    for (QLineEdit *e : {edt_14_1, edt_14_2, edt_14_3})
        e->setValidator(new gbk::ByteLimitValidator(198, e));
    ui::connectGuarded(edt_14_1, &QLineEdit::textChanged, this, [this] { edt_14_1Change(); });
    ui::connectGuarded(edt_14_2, &QLineEdit::textChanged, this, [this] { edt_14_2Change(); });
    edt_14_2->installEventFilter(this);
    edt_14_3->installEventFilter(this);
    emptyBlankMemoOnClick(Mo_13);
    emptyBlankMemoOnClick(Mo_13_1);

    wireSingleChoice(Pl_124_1, &TFpage1::CB_124_1_01Click);
    wireSingleChoice(PL_125, &TFpage1::CB_125_01Click);
    wireSingleChoice(PL_200, &TFpage1::cb_200_01Click);

    setTreeTargets(TreeOwner::Page1, this);
    ui::connectGuarded(cb_15, this, &TFpage1::cb_15DropDown);
    ui::connectGuarded(cb_15_1, this, &TFpage1::cb_15_1DropDown);
    ui::connectGuarded(CB_12, this, &TFpage1::CB_12DropDown);
    ui::connectGuarded(CB_12_1, this, &TFpage1::CB_12_1DropDown);
}

bool TFpage1::applied() const
{
    return MainForm->ComboBox1->currentIndex() == 0;
}

// ---- loading -------------------------------------------------------------

void TFpage1::loadOther()
{
    db::Dataset *record = DM->Qrykjcg;
    loadRegistrationDate(record);
    m_attribute->load(record);
    loadPeriod(record);

    const QString keywords = record->fieldByName("ITEM_14")->asString();
    DEdt_14->setText(keywords);
    SplitToEdits(keywords, edt_14_1, edt_14_2, edt_14_3);
    edt_14_1Change();
    edt_14_2Change();

    const bool tech = applied();
    showCategory(tech);
    for (auto &b : tech ? m_appliedOnly : m_otherOnly)
        b->load(record);

    loadClassification(record, HasXkfl, DM->Txkfl2, "ITEM_15", Edt_15);
    loadClassification(record, HasXkfl, DM->Txkfl2, "ITEM_15_1", edt_15_1);
    loadClassification(record, HasZtflh, DM->Tztflh2, "ITEM_12", edt_12);
    loadClassification(record, HasZtflh, DM->Tztflh2, "ITEM_12_1", edt_12_1);
}

void TFpage1::showCategory(bool tech)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Lb_125_1, Cb_125_1, PL_123, Label18, Label20, cb_16, cb_33,
                                                       Pl_124_1})
        w->setVisible(tech);
    cb_210->setVisible(!tech);
    PL_200->setVisible(!tech);
    // The hidden category's lists hold nothing of an earlier record.
    if (tech) {
        cb_210->clear();
    } else {
        cb_16->clear();
        cb_33->clear();
    }
    Label22->setText(tech ? u("所属高新科技领域") : u("社会经济目标"));
    Label22->setStyleSheet(tech ? QString() : QStringLiteral("color: #800000;"));
}

// A stored date that cannot be read is shown as a blank one would be (today),
// never as the date the picker kept from another record, so a save cannot
// write that record's date into this one.
void TFpage1::loadRegistrationDate(db::Dataset *record)
{
    const db::Value v = record->fieldByName("ITEM_121")->value();
    QDate date;
    QString badText;
    if (v.kind == db::Value::Date) {
        date = v.date;
    } else if (v.kind == db::Value::Text) {
        date = db::parseDate(v.toString());
        if (!date.isValid())
            badText = gbk::trim(v.toString());
    } else {
        // The engine reads a date column that holds no date as empty; the
        // file tells whether the field is blank or unreadable.
        badText = gbk::trim(record->fieldByName("ITEM_121")->storedText());
    }
    // A year the picker cannot show would be moved on loading and stored moved.
    if (date.isValid() && (date < ui::earliestPickerDate() || date > ui::latestPickerDate())) {
        badText = gbk::trim(record->fieldByName("ITEM_121")->storedText());
        date = QDate();
    }
    const bool bad = !badText.isEmpty();
    if (bad)
        ShowWarning(QLatin1Char('\'') + badText + u("'不是正确的时间格式！现在已经更换。"));
    DTP_121->setDate(date.isValid() ? date : ui::today());
}

// The same for the period: a stored period whose parts are no year and
// month gets today's year and month in all four edits, as a blank one does.
void TFpage1::loadPeriod(db::Dataset *record)
{
    const QString text = record->fieldByName("ITEM_8")->asString();
    dedt_8->setText(text);
    ParseDateRange(text, edt_8_y_s, edt_8_m_s, edt_8_y_e, edt_8_m_e);
    if (!isPeriodPart(edt_8_y_s->text(), edt_8_m_s->text()) || !isPeriodPart(edt_8_y_e->text(), edt_8_m_e->text())) {
        ShowWarning(u("项目中”起止时间“不是正确的时间格式！现在已经更换。"));
        ParseDateRange(QString(), edt_8_y_s, edt_8_m_s, edt_8_y_e, edt_8_m_e);
    }
    const auto month = [](QLineEdit *y, QLineEdit *m) { return QDate(y->text().toInt(), m->text().toInt(), 1); };
    DTP_8_0->setDate(month(edt_8_y_s, edt_8_m_s));
    DTP_8_1->setDate(month(edt_8_y_e, edt_8_m_e));
}

void TFpage1::loadClassification(db::Dataset *record, bool hasTable, db::Table *table, const QString &field,
                                 QLineEdit *edit)
{
    const QString stored = record->fieldByName(field)->asString();
    edit->setReadOnly(hasTable);
    edit->setMaxLength(hasTable ? 32767 : 10);
    if (hasTable)
        ShowCodeName(table, gbk::trim(stored), edit);
    else
        edit->setText(stored);
}

void TFpage1::showEvent(QShowEvent *e)
{
    for (QWidget *w : {cb_15, cb_15_1})
        w->setVisible(HasXkfl);
    for (QWidget *w : {CB_12, CB_12_1})
        w->setVisible(HasZtflh);
    SectionForm::showEvent(e);
}

// ---- saving --------------------------------------------------------------

QString TFpage1::periodText() const
{
    return edt_8_y_s->text() + QLatin1Char('.') + edt_8_m_s->text() + u("   至") + edt_8_y_e->text()
           + QLatin1Char('.') + edt_8_m_e->text();
}

QString TFpage1::keywordText() const
{
    const QString k1 = edt_14_1->text(), k2 = edt_14_2->text(), k3 = edt_14_3->text();
    if (!k1.isEmpty() && !k2.isEmpty() && !k3.isEmpty())
        return k1 + QLatin1Char(';') + k2 + QLatin1Char(';') + k3;
    if (!k1.isEmpty() && !k2.isEmpty())
        return k1 + QLatin1Char(';') + k2;
    return k1;
}

// With the table: the code before the first double blank of a "code  name"
// text (empty without one). Without: the first ten characters as typed.
QString TFpage1::classCode(QLineEdit *edit, bool hasTable) const
{
    const QString text = edit->text();
    if (!hasTable)
        return gbk::cutToBytes(text, 10);
    const qsizetype sep = text.indexOf(QStringLiteral("  "));
    return sep < 0 ? QString() : gbk::trim(text.left(sep));
}

void TFpage1::saveOther(db::Dataset *record)
{
    record->fieldByName("ITEM_121")->setAsDate(DTP_121->enteredDate());
    record->fieldByName("ITEM_8")->setAsString(periodText());
    record->fieldByName("ITEM_14")->setAsString(keywordText());
    if (applied()) {
        for (auto &b : m_appliedOnly)
            b->save(record);
        m_attribute->save(record);
        clearFields(record, {"ITEM_210", "ITEM_200"});
        record->fieldByName("OUTCOMEB")->setAsString(OwnUnitCode);
    } else {
        for (auto &b : m_otherOnly)
            b->save(record);
        clearFields(record, {"ITEM_123", "ITEM_124_1", "ITEM_16", "ITEM_33", "ITEM_125_1"});
    }
    record->fieldByName("ITEM_15")->setAsString(classCode(Edt_15, HasXkfl));
    record->fieldByName("ITEM_15_1")->setAsString(classCode(edt_15_1, HasXkfl));
    record->fieldByName("ITEM_12")->setAsString(classCode(edt_12, HasZtflh));
    record->fieldByName("ITEM_12_1")->setAsString(classCode(edt_12_1, HasZtflh));
}

bool TFpage1::otherUnchanged(db::Dataset *record)
{
    const auto same = [record](const char *field, const QString &value) {
        return gbk::trim(record->fieldByName(QString::fromLatin1(field))->asString()) == gbk::trim(value);
    };
    if (!same("ITEM_14", keywordText()))
        return false;
    if (!same("ITEM_15", classCode(Edt_15, HasXkfl)) || !same("ITEM_15_1", classCode(edt_15_1, HasXkfl))
        || !same("ITEM_12", classCode(edt_12, HasZtflh)) || !same("ITEM_12_1", classCode(edt_12_1, HasZtflh)))
        return false;
    // An empty stored date shows as today: that alone is no change.
    const db::Field *date = record->fieldByName("ITEM_121");
    const QDate shown = DTP_121->enteredDate();
    const bool dateSame = date->isNull() || shown == ui::today()
                          || (date->value().kind == db::Value::Date && date->value().date == shown);
    if (!dateSame || !same("ITEM_8", periodText()))
        return false;
    // The attribute belongs to applied technology: another category's save
    // empties it, so its hidden list, still showing the stored code, is no change.
    const bool tech = gbk::trim(record->fieldByName("ITEM_CGLB")->asString()) == QLatin1String("1");
    if (tech && !m_attribute->unchanged(record))
        return false;
    for (auto &b : tech ? m_appliedOnly : m_otherOnly)
        if (!b->unchanged(record))
            return false;
    return true;
}

// ---- field handlers ------------------------------------------------------

void TFpage1::edt_14_1Change()
{
    const bool filled = !gbk::trim(edt_14_1->text()).isEmpty();
    for (QLineEdit *e : {edt_14_2, edt_14_3}) {
        if (!filled)
            e->clear();
        e->setEnabled(filled);
    }
}

void TFpage1::edt_14_2Change()
{
    const bool filled = !gbk::trim(edt_14_2->text()).isEmpty();
    if (!filled)
        edt_14_3->clear();
    edt_14_3->setEnabled(filled);
}

void TFpage1::edt_8_y_sExit()
{
    checkYearLeft(edt_8_y_s);
}

void TFpage1::edt_8_y_eExit()
{
    checkYearLeft(edt_8_y_e);
}

void TFpage1::edt_8_m_sExit()
{
    checkMonthLeft(edt_8_m_s);
}

void TFpage1::edt_8_m_eExit()
{
    checkMonthLeft(edt_8_m_e);
}

void TFpage1::wireSingleChoice(QWidget *panel, void (TFpage1::*handler)(QAbstractButton *))
{
    for (QCheckBox *box : panel->findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly))
        ui::connectGuarded(box, this, std::function<void()>([this, box, handler] { (this->*handler)(box); }));
}

void TFpage1::uncheckOthers(QAbstractButton *sender)
{
    if (!sender->isChecked())
        return;
    QObject *panel = sender->parent();
    for (QObject *o : panel->children()) {
        if (o == sender || o->objectName() == QLatin1String("ImageList1"))
            continue;
        if (auto *box = qobject_cast<QCheckBox *>(o); box && box->isChecked())
            box->setChecked(false);
    }
}

void TFpage1::CB_124_1_01Click(QAbstractButton *sender)
{
    uncheckOthers(sender);
}

void TFpage1::CB_125_01Click(QAbstractButton *sender)
{
    uncheckOthers(sender);
}

void TFpage1::cb_200_01Click(QAbstractButton *sender)
{
    uncheckOthers(sender);
}

void TFpage1::cb_15DropDown()
{
    pickTreeCode(TreeOwner::Page1, 0);
}

void TFpage1::cb_15_1DropDown()
{
    pickTreeCode(TreeOwner::Page1, 1);
}

void TFpage1::CB_12DropDown()
{
    pickTreeCode(TreeOwner::Page1, 2);
}

void TFpage1::CB_12_1DropDown()
{
    pickTreeCode(TreeOwner::Page1, 3);
}

bool TFpage1::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::FocusOut) {
        if (watched == edt_8_y_s)
            ui::guarded([this] { edt_8_y_sExit(); });
        else if (watched == edt_8_y_e)
            ui::guarded([this] { edt_8_y_eExit(); });
        else if (watched == edt_8_m_s)
            ui::guarded([this] { edt_8_m_sExit(); });
        else if (watched == edt_8_m_e)
            ui::guarded([this] { edt_8_m_eExit(); });
    } else if (e->type() == QEvent::MouseButtonPress) {
        if (watched == edt_14_2)
            ui::guarded([this] { edt_14_2Click(); });
        else if (watched == edt_14_3)
            ui::guarded([this] { edt_14_3Click(); });
    }
    return SectionForm::eventFilter(watched, e);
}

void btn_page01Click()
{
    Fpage1->openOnCurrentRecord();
}
