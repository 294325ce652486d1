#include "Finto8Unit.h"

#include "CgwcrManage.h"
#include "PersonValues.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/DatePicker.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>

TFinto8 *Finto8 = nullptr;

namespace {

// The coded lists of a person and the dictionary field of each.
class PersonCodeBinding : public FieldBinding
{
public:
    // shown gives the code to select for a stored one.
    PersonCodeBinding(const QString &field, QComboBox *combo, std::function<QString(QString)> shown = {})
        : FieldBinding(field), m_combo(combo), m_shown(std::move(shown))
    {
    }
    void load(db::Dataset *r) override
    {
        fill(m_combo, field());
        const QString code = gbk::trim(stored(r));
        SelectComboByCode(m_shown ? m_shown(code) : code, m_combo);
    }
    void save(db::Dataset *r) override { store(r, PersonCode(m_combo)); }
    bool unchanged(db::Dataset *r) const override { return gbk::trim(stored(r)) == PersonCode(m_combo); }

    static void fill(QComboBox *combo, const QString &field)
    {
        FillComboFromDict(DM->Tblzdxx, field.toLower(), combo, 1);
    }

private:
    QComboBox *m_combo;
    std::function<QString(QString)> m_shown;
};

// Returned from study abroad: the dictionary's "0" is no; an empty value
// shows as no, and the "2" an older grid stored for no reads as no too.
QString returnedShown(const QString &code)
{
    return code.isEmpty() || code == "2" ? QStringLiteral("0") : code;
}

// Shows the calendar of an empty picker on a likely birth year, not on the
// earliest date it holds.
class EmptyPickerCalendar : public QObject
{
public:
    explicit EmptyPickerCalendar(QDateEdit *picker) : QObject(picker), m_picker(picker)
    {
        picker->calendarWidget()->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && m_picker->date() == m_picker->minimumDate()) {
            const QDate likely = ui::today().addYears(-30);
            static_cast<QCalendarWidget *>(watched)->setCurrentPage(likely.year(), likely.month());
        }
        return false;
    }

private:
    QDateEdit *m_picker;
};

} // namespace

// The birth month "YYYY.MM" in a picker. A stored text in another form is
// reported and shows as no birth month, which stores nothing over it: the
// text stays as it was until a month is picked. A month typed away is
// refused for the same reason: no month would store nothing.
class BirthMonthBinding : public FieldBinding
{
public:
    explicit BirthMonthBinding(ui::DatePicker *picker) : FieldBinding("ITEM_182"), m_picker(picker)
    {
        ui::setUpDatePicker(picker, QStringLiteral("yyyy.MM"));
        picker->setSpecialValueText(QStringLiteral(" ")); // the earliest date stands for none
        new EmptyPickerCalendar(picker);
    }
    void load(db::Dataset *r) override
    {
        const QString text = gbk::trim(stored(r));
        QDate month = BirthMonthDate(text);
        if (month.isValid() && month <= m_picker->minimumDate())
            month = QDate(); // the picker cannot show it
        if (!text.isEmpty() && !month.isValid())
            ShowWarning(text + u("不是正确的出生年月格式！"));
        setMonth(month);
    }
    void save(db::Dataset *r) override
    {
        if (!isEmpty())
            store(r, value());
    }
    bool unchanged(db::Dataset *r) const override { return isEmpty() || gbk::trim(stored(r)) == value(); }

    void setMonth(const QDate &month) { m_picker->setDate(month.isValid() ? month : m_picker->minimumDate()); }

private:
    // Typing ends first; a month refused there stops the action.
    bool isEmpty() const { return m_picker->enteredDate() == m_picker->minimumDate(); }
    QString value() const { return m_picker->enteredDate().toString(QStringLiteral("yyyy.MM")); }

    ui::DatePicker *m_picker;
};

QString PersonCode(const QComboBox *combo)
{
    const QString code = ComboCode(combo, 2);
    if (code.size() == 2 && code.startsWith('1') && QStringLiteral("abc").contains(code.at(1)))
        return code.right(1);
    return code;
}

TFinto8::TFinto8(QWidget *parent) : RowDialog("08", parent)
{
    setupUi(this);
    addBinding(trimmedTextBinding("ITEM_180", edtry_180, "cgwcr"));
    addBinding(std::make_unique<PersonCodeBinding>("ITEM_181", cbry_181));
    auto birth = std::make_unique<BirthMonthBinding>(dtpry_182);
    m_birth = birth.get();
    addBinding(std::move(birth));
    addBinding(std::make_unique<PersonCodeBinding>("ITEM_183", cbry_183));
    addBinding(std::make_unique<PersonCodeBinding>("ITEM_184", cbry_184));
    addBinding(std::make_unique<PersonCodeBinding>("ITEM_188", cbry_188, returnedShown));
    addBinding(textBinding("ITEM_185", edtry_185, "cgwcr"));
    addBinding(textBinding("ITEM_186", edtry_186, "cgwcr"));
    setSequenceEdit(edtry_187);
    wireButtons(Button1, Button2);
}

bool TFinto8::nothingEntered() const
{
    return allEmpty({edtry_180, edtry_185, edtry_186}, true);
}

bool TFinto8::nothingToLeave() const
{
    return allEmpty({edtry_186, edtry_180}, false);
}

void TFinto8::checkEntries()
{
    for (const auto &[field, value] :
         {std::pair{"ITEM_180", edtry_180->text()}, {"ITEM_181", PersonCode(cbry_181)}, {"ITEM_183", PersonCode(cbry_183)},
          {"ITEM_184", PersonCode(cbry_184)}, {"ITEM_187", edtry_187->text()}})
        CheckPersonValue(field, value);
}

void TFinto8::emptyEntries()
{
    for (const auto &[combo, field] : {std::pair{cbry_181, "item_181"}, {cbry_183, "item_183"},
                                       {cbry_184, "item_184"}, {cbry_188, "item_188"}})
        PersonCodeBinding::fill(combo, field);
    edtry_180->clear();
    cbry_181->setCurrentIndex(0);
    m_birth->setMonth(ui::today().addDays(-10950));
    cbry_183->setCurrentIndex(3);
    cbry_184->setCurrentIndex(2);
    SelectComboByCode(returnedShown({}), cbry_188);
    // A new person most often works at the first completing unit.
    SetControlText(edtry_185, DM->Qrykjcg->fieldByName("ITEM_9")->asString());
    edtry_186->clear();
}

void TFinto8::emptyAfterNewStore()
{
    for (QLineEdit *edit : {edtry_180, edtry_185, edtry_186})
        edit->clear();
}

void TFinto8::rowStored(db::Dataset *person)
{
    if (!isNewMode())
        return;
    // The person is stored; a local list that cannot take it must not keep
    // the record's list from being read and numbered again.
    try {
        UpsertLocalPerson(person);
    } catch (const std::exception &e) {
        ui::showError(ui::errorText(e));
    }
}
