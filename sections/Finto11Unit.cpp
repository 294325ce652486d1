#include "Finto11Unit.h"

#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "UnitRow.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QComboBox>
#include <QLineEdit>

TFinto11 *Finto11 = nullptr;

namespace {

bool validYear(int year)
{
    return year >= 1900 && year <= 2050;
}

bool validMonth(int month)
{
    return month >= 1 && month <= 12;
}

// The birth month "YYYY.MM" in a year edit and a month edit.
class BirthBinding : public FieldBinding
{
public:
    BirthBinding(QLineEdit *year, QLineEdit *month) : FieldBinding("item_182"), m_year(year), m_month(month)
    {
        gbk::acceptOnlyGbk(year);
        gbk::acceptOnlyGbk(month);
    }
    void load(db::Dataset *r) override
    {
        const QString text = stored(r);
        m_year->setText(text.left(4));
        m_month->setText(text.mid(5, 2));
    }
    void save(db::Dataset *r) override { store(r, value()); }
    bool unchanged(db::Dataset *r) const override
    {
        // A stored text of another form counts as unchanged while the
        // edits show what was read from it.
        const QString text = stored(r);
        return gbk::trim(text) == value()
               || (gbk::trim(m_year->text()) == gbk::trim(text.left(4))
                   && gbk::trim(m_month->text()) == gbk::trim(text.mid(5, 2)));
    }

private:
    QString value() const { return gbk::trim(m_year->text()) + "." + TwoDigitMonth(gbk::trim(m_month->text())); }

    QLineEdit *m_year;
    QLineEdit *m_month;
};

void fillDictCombo(QComboBox *combo, const char *field)
{
    FillComboFromDict(DM->Tblzdxx, QString::fromLatin1(field), combo, 1);
}

} // namespace

std::optional<int> BirthYear(const QString &text)
{
    const QString year = gbk::trim(text).left(4);
    return !year.isEmpty() && allDigits(year) ? std::optional<int>(year.toInt()) : std::nullopt;
}

std::optional<int> BirthMonth(const QString &text)
{
    const QString month = gbk::trim(text);
    return !month.isEmpty() && month.size() <= 2 && allDigits(month) ? std::optional<int>(month.toInt()) : std::nullopt;
}

QString TwoDigitMonth(const QString &text)
{
    return text.size() == 1 && allDigits(text) ? "0" + text : text;
}

TFinto11::TFinto11(QWidget *parent) : RowDialog("11", parent)
{
    setupUi(this);
    addBinding(textBinding("item_180", edtry_180, "unitexpert"));
    addBinding(dictCodeBinding("item_181", cbry_181, 2, "item_181", 1));
    addBinding(std::make_unique<BirthBinding>(Edt_both_1, edt_both_2));
    addBinding(textBinding("item_186", edtry_186, "unitexpert"));
    addBinding(dictCodeBinding("item_124_1", cbry_124_1, 2, "item_124_1", 1));
    wireButtons(Button1, Button2);
    ui::connectGuarded(Edt_both_1, &QLineEdit::editingFinished, this, [this] { Edt_both_1Exit(); });
    ui::connectGuarded(edt_both_2, &QLineEdit::editingFinished, this, [this] { edt_both_2Exit(); });
    connect(cbry_124_1, &QComboBox::activated, this, [this] { cbry_124_1Change(); });
}

bool TFinto11::nothingEntered() const
{
    return allEmpty({edtry_180, edtry_186}, true);
}

void TFinto11::checkEntries()
{
    RequireText(edtry_180->text(), u("姓名不能为空！"));
    if (ComboCode(cbry_181, 2).isEmpty())
        Refuse(u("性别不能为空！"));
    const std::optional<int> year = BirthYear(Edt_both_1->text());
    if (!year)
        Refuse(u("出生年月的年份必须是数字！"));
    if (!validYear(*year))
        Refuse(u("年份不合法！"));
    const std::optional<int> month = BirthMonth(edt_both_2->text());
    if (!month)
        Refuse(u("出生年月的月份必须是数字！"));
    if (!validMonth(*month))
        Refuse(u("月份不合法"));
}

void TFinto11::Edt_both_1Exit()
{
    // An empty edit is only told about when the leader is stored; a
    // dialog that has closed tells nothing more.
    if (!isVisible() || gbk::trim(Edt_both_1->text()).isEmpty())
        return;
    const std::optional<int> year = BirthYear(Edt_both_1->text());
    if (!year)
        ShowMessage(u("出生年月的年份必须是数字！"));
    else if (!validYear(*year))
        ShowMessage(u("非法年份"));
}

void TFinto11::edt_both_2Exit()
{
    const QString text = gbk::trim(edt_both_2->text());
    if (!isVisible() || text.isEmpty())
        return;
    const std::optional<int> month = BirthMonth(text);
    if (!month) {
        ShowMessage(u("出生年月的月份必须是数字！"));
        return;
    }
    if (TwoDigitMonth(text) != text)
        edt_both_2->setText(TwoDigitMonth(text));
    if (!validMonth(*month))
        ShowMessage(u("不是合法时间!"));
}

void TFinto11::cbry_124_1Change()
{
    Edit1->setText("1");
}

void TFinto11::emptyEntries()
{
    // The research field, year and month stay as they were: leaders are
    // often entered one field after another.
    const QString field = ComboCode(cbry_124_1, 2);
    fillDictCombo(cbry_181, "item_181");
    fillDictCombo(cbry_124_1, "item_124_1");
    cbry_124_1->setCurrentIndex(-1);
    SelectComboByCode(field, cbry_124_1);
    edtry_180->clear();
    edtry_186->clear();
    cbry_181->setCurrentIndex(0);
    Edit1->clear();
}

void TFinto11::emptyAfterNewStore()
{
    edtry_180->clear();
    edtry_186->clear();
}

void TFinto11::loadOther(db::Dataset *)
{
    Edit1->clear();
}

void TFinto11::saveOther(db::Dataset *leader)
{
    // A row being inserted is a new leader, also when the one to modify
    // was gone and the table made a new row of the store.
    if (leader->state() != db::Dataset::Insert)
        return;
    leader->fieldByName("item_187")->setAsString(QString::number(leader->recordCount() + 1));
    leader->fieldByName("item_180")->setAsString(gbk::trim(edtry_180->text()));
    leader->fieldByName("unitcode")->setAsString(OwnUnitCode);
}

bool TFinto11::otherUnchanged(db::Dataset *) const
{
    return Edit1->text() != "1";
}

void TFinto11::rowStored(db::Dataset *)
{
    if (isNewMode())
        emit leaderAdded();
}
