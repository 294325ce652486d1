#include "FieldBinding.h"

#include "SharedRoutines.h"
#include "TableSchemas.h"
#include "UnitDM.h"
#include "db/dataset/Dataset.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/LineBreaks.h"
#include "ui/DatePicker.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

QString FieldBinding::stored(db::Dataset *record) const
{
    return record->fieldByName(m_field)->asString();
}

void FieldBinding::store(db::Dataset *record, const QString &value) const
{
    record->fieldByName(m_field)->setAsString(value);
}

namespace {

class TextBinding : public FieldBinding
{
public:
    TextBinding(const QString &field, QLineEdit *edit, const QString &table) : FieldBinding(field), m_edit(edit)
    {
        if (const int width = textColumnWidth(table, field))
            edit->setValidator(new gbk::ByteLimitValidator(width, edit));
    }
    void load(db::Dataset *r) override { SetControlText(m_edit, stored(r)); }
    void save(db::Dataset *r) override { store(r, m_edit->text()); }
    bool unchanged(db::Dataset *r) const override { return gbk::trim(stored(r)) == gbk::trim(m_edit->text()); }

private:
    QLineEdit *m_edit;
};

class MoneyBinding : public FieldBinding
{
public:
    MoneyBinding(const QString &field, QLineEdit *edit, int places) : FieldBinding(field), m_edit(edit)
    {
        if (places <= 0)
            return;
        if (const int digits = numberColumnDigits("kjcg", field))
            places = std::min(places, digits);
        edit->setValidator(new gbk::ByteLimitValidator(places, edit));
    }
    void load(db::Dataset *r) override { gbk::setTextWhole(m_edit, stored(r)); }
    void save(db::Dataset *r) override { store(r, m_edit->text()); }
    bool unchanged(db::Dataset *r) const override
    {
        // "12.50" typed over a stored 12.5 is no change; a blank edit over a
        // stored 0 is one, since it would store no amount.
        const db::Field *f = r->fieldByName(field());
        const QString typed = gbk::trim(m_edit->text());
        if (f->isNull() || typed.isEmpty())
            return f->isNull() && typed.isEmpty();
        if (f->dataType() != 'N' && f->dataType() != 'F')
            return gbk::trim(f->asString()) == typed;
        bool ok = false;
        const double amount = typed.toDouble(&ok);
        const auto kept = [f](double v) { return db::formatNumber(v, f->decimals()); };
        return ok && kept(amount) == kept(f->asFloat());
    }

private:
    QLineEdit *m_edit;
};

// Stored with CR LF line breaks, shown and compared with the editor's LF.
class MemoBinding : public FieldBinding
{
public:
    MemoBinding(const QString &field, QPlainTextEdit *memo) : FieldBinding(field), m_memo(memo)
    {
        gbk::acceptOnlyGbk(memo);
        // Tab leaves the memo as it leaves every other field; a TAB would
        // be stored as a blank anyway.
        memo->setTabChangesFocus(true);
    }
    void load(db::Dataset *r) override
    {
        m_memo->clear();
        m_memo->setPlainText(text::withLf(stored(r)));
    }
    void save(db::Dataset *r) override
    {
        const QString text = TabToBlank(m_memo->toPlainText());
        if (text != m_memo->toPlainText())
            m_memo->setPlainText(text);
        store(r, text::withCrLf(text));
    }
    bool unchanged(db::Dataset *r) const override
    {
        return gbk::trim(text::withLf(stored(r))) == gbk::trim(m_memo->toPlainText());
    }

private:
    QPlainTextEdit *m_memo;
};

class CodeBinding : public FieldBinding
{
public:
    CodeBinding(const QString &field, QComboBox *combo, int codeChars, std::function<void(QComboBox *)> fill)
        : FieldBinding(field), m_combo(combo), m_codeChars(codeChars), m_fill(std::move(fill))
    {
    }
    void load(db::Dataset *r) override
    {
        m_fill(m_combo);
        m_combo->setCurrentIndex(-1);
        SelectComboByCode(gbk::trim(stored(r)), m_combo);
    }
    void save(db::Dataset *r) override { store(r, code()); }
    bool unchanged(db::Dataset *r) const override { return gbk::trim(stored(r)) == code(); }

private:
    QString code() const { return ComboCode(m_combo, m_codeChars); }
    QComboBox *m_combo;
    int m_codeChars;
    std::function<void(QComboBox *)> m_fill;
};

class ChoiceBinding : public FieldBinding
{
public:
    ChoiceBinding(const QString &field, QWidget *form, QString panel, int codeWidth, QString itemName)
        : FieldBinding(field), m_form(form), m_panel(std::move(panel)), m_codeWidth(codeWidth),
          m_itemName(std::move(itemName))
    {
    }
    void load(db::Dataset *r) override { CheckByCodeList(m_form, m_panel, stored(r), m_codeWidth); }
    void save(db::Dataset *r) override { store(r, codes()); }
    bool unchanged(db::Dataset *r) const override { return gbk::trim(stored(r)) == codes(); }

private:
    QString codes() const { return CodesFromChecks(m_form, m_panel, m_codeWidth, m_itemName); }
    QWidget *m_form;
    QString m_panel;
    int m_codeWidth;
    QString m_itemName;
};

// A digit typed into the empty edit in the picker's place begins a date:
// the picker comes back with the whole date to be typed over.
class PlaceholderTyping : public QObject
{
public:
    PlaceholderTyping(ui::DatePicker *picker, QCheckBox *clear, QLineEdit *placeholder)
        : QObject(placeholder), m_picker(picker), m_clear(clear), m_placeholder(placeholder)
    {
        placeholder->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const QString text = static_cast<QKeyEvent *>(e)->text();
        if (!m_clear->isChecked() || text.size() != 1 || !text[0].isDigit())
            return false;
        restoreDatePicker(m_picker, m_clear, m_placeholder);
        QCoreApplication::sendEvent(m_picker, e);
        return true;
    }

private:
    ui::DatePicker *m_picker;
    QCheckBox *m_clear;
    QLineEdit *m_placeholder;
};

class DotDateBinding : public FieldBinding
{
public:
    DotDateBinding(const QString &field, ui::DatePicker *picker, QCheckBox *clear, QLineEdit *placeholder,
                   std::function<QString(QString)> badDate)
        : FieldBinding(field), m_picker(picker), m_clear(clear), m_placeholder(placeholder),
          m_badDate(std::move(badDate))
    {
        ui::setUpDatePicker(picker, QStringLiteral("yyyy.MM.dd"));
        // A date typed away is no date: "清空" says so.
        picker->setOnCleared([picker, clear, placeholder] {
            clear->setChecked(true);
            showDateState(picker, clear, placeholder);
        });
        new PlaceholderTyping(picker, clear, placeholder);
        gbk::acceptOnlyGbk(placeholder);
    }
    void load(db::Dataset *r) override
    {
        const QString text = gbk::trim(stored(r));
        QDate date;
        if (!text.isEmpty()) {
            date = QDate::fromString(FormatDotDate(text), "yyyy-MM-dd");
            if (date.isValid() && (date < ui::earliestPickerDate() || date > ui::latestPickerDate()))
                date = QDate(); // the picker would show it moved
            if (!date.isValid())
                ShowWarning(m_badDate(stored(r)));
            else
                m_picker->setDate(date);
        }
        // A date that does not load shows as no date, never as the date
        // another record left in the picker.
        m_clear->setChecked(!date.isValid());
        showDateState(m_picker, m_clear, m_placeholder);
    }
    void save(db::Dataset *r) override { store(r, value()); }
    bool unchanged(db::Dataset *r) const override { return gbk::trim(stored(r)) == value(); }

private:
    // Typing ends first: a date typed away checks "清空", a refused one
    // stops the action.
    QString value() const
    {
        const QDate date = m_picker->enteredDate();
        return m_clear->isChecked() ? QString() : date.toString("yyyy.MM.dd");
    }
    ui::DatePicker *m_picker;
    QCheckBox *m_clear;
    QLineEdit *m_placeholder;
    std::function<QString(QString)> m_badDate;
};

class TrimmedTextBinding : public TextBinding
{
public:
    TrimmedTextBinding(const QString &field, QLineEdit *edit, const QString &table)
        : TextBinding(field, edit, table), m_edit(edit)
    {
    }
    void save(db::Dataset *r) override { store(r, gbk::trim(m_edit->text())); }

private:
    QLineEdit *m_edit;
};

} // namespace

void showDateState(QDateEdit *picker, QCheckBox *clear, QLineEdit *placeholder)
{
    picker->setVisible(!clear->isChecked());
    placeholder->setVisible(clear->isChecked());
}

void restoreDatePicker(ui::DatePicker *picker, QCheckBox *clear, QLineEdit *placeholder)
{
    clear->setChecked(false);
    showDateState(picker, clear, placeholder);
    // Typing goes on in the picker, over the whole date.
    picker->setFocus();
    picker->selectWhole();
}

std::unique_ptr<FieldBinding> textBinding(const QString &field, QLineEdit *edit, const QString &table)
{
    return std::make_unique<TextBinding>(field, edit, table);
}

std::unique_ptr<FieldBinding> moneyBinding(const QString &field, QLineEdit *edit, int places)
{
    return std::make_unique<MoneyBinding>(field, edit, places);
}

std::unique_ptr<FieldBinding> memoBinding(const QString &field, QPlainTextEdit *memo)
{
    return std::make_unique<MemoBinding>(field, memo);
}

std::unique_ptr<FieldBinding> codeBinding(const QString &field, QComboBox *combo, int codeChars,
                                          std::function<void(QComboBox *)> fill)
{
    return std::make_unique<CodeBinding>(field, combo, codeChars, std::move(fill));
}

std::unique_ptr<FieldBinding> dictCodeBinding(const QString &field, QComboBox *combo, int codeChars,
                                              const QString &fieldCode, int noBlank)
{
    return codeBinding(field, combo, codeChars,
                       [fieldCode, noBlank](QComboBox *c) { FillComboFromDict(DM->Tblzdxx, fieldCode, c, noBlank); });
}

std::unique_ptr<FieldBinding> choiceBinding(const QString &field, QWidget *form, const QString &panelName,
                                            int codeWidth, const QString &itemName)
{
    return std::make_unique<ChoiceBinding>(field, form, panelName, codeWidth, itemName);
}

std::unique_ptr<FieldBinding> dotDateBinding(const QString &field, ui::DatePicker *picker, QCheckBox *clear,
                                             QLineEdit *placeholder, std::function<QString(QString)> badDate)
{
    return std::make_unique<DotDateBinding>(field, picker, clear, placeholder, std::move(badDate));
}

std::unique_ptr<FieldBinding> trimmedTextBinding(const QString &field, QLineEdit *edit, const QString &table)
{
    return std::make_unique<TrimmedTextBinding>(field, edit, table);
}

bool storeBindings(db::Dataset *record, const FieldBindings &bindings, const std::function<void()> &more)
{
    try {
        if (!record->active())
            record->open();
        record->edit();
        for (const auto &b : bindings)
            b->save(record);
        if (more)
            more();
        record->post();
    } catch (const ui::SilentAbort &) {
        record->cancel();
        throw;
    } catch (const std::exception &e) {
        record->cancel();
        ui::messageBox(ui::errorText(e), QString::fromUtf8("提示"), ui::MB_OK);
        return false;
    }
    return true;
}

bool bindingsUnchanged(db::Dataset *record, const FieldBindings &bindings)
{
    for (const auto &b : bindings)
        if (!b->unchanged(record))
            return false;
    return true;
}
