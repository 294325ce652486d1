#pragma once
// How one control of a section form shows and stores one field of the
// record: load fills the control, save writes it back (the record is in edit
// mode), unchanged compares in the same conversion the save would use.
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class QPlainTextEdit;
class QWidget;

namespace db {
class Dataset;
}
namespace ui {
class DatePicker;
}

class FieldBinding
{
public:
    explicit FieldBinding(QString field) : m_field(std::move(field)) {}
    virtual ~FieldBinding() = default;
    const QString &field() const { return m_field; }
    virtual void load(db::Dataset *record) = 0;
    virtual void save(db::Dataset *record) = 0;
    virtual bool unchanged(db::Dataset *record) const = 0;

protected:
    QString stored(db::Dataset *record) const;
    void store(db::Dataset *record, const QString &value) const;

private:
    QString m_field;
};

using FieldBindings = std::vector<std::unique_ptr<FieldBinding>>;

// Writes every binding and then `more` into the record and posts it. A check
// that abandons the action is passed on; any other failure is shown under
// "提示" and gives false. Either way the record leaves edit mode, so a later
// post cannot store the refused values.
bool storeBindings(db::Dataset *record, const FieldBindings &bindings, const std::function<void()> &more = {});
bool bindingsUnchanged(db::Dataset *record, const FieldBindings &bindings);
// A plain edit as textBinding below, whose text is stored trimmed.
std::unique_ptr<FieldBinding> trimmedTextBinding(const QString &field, QLineEdit *edit, const QString &table = "kjcg");

// A plain edit, limited to the width in GBK bytes of the table's column.
std::unique_ptr<FieldBinding> textBinding(const QString &field, QLineEdit *edit, const QString &table = "kjcg");
// An amount edit over a number column: shows the stored number, stores the
// text as typed (blank for none) and compares as the column keeps numbers.
// Given places, the user types at most that many characters, and never more
// integer digits than the column holds; a longer stored number is still
// shown whole.
std::unique_ptr<FieldBinding> moneyBinding(const QString &field, QLineEdit *edit, int places = 0);
// A memo: tabs become blanks when stored.
std::unique_ptr<FieldBinding> memoBinding(const QString &field, QPlainTextEdit *memo);
// A coded drop-down list: fill() lists its items; the code is the first
// codeChars characters of the chosen item, trimmed.
std::unique_ptr<FieldBinding> codeBinding(const QString &field, QComboBox *combo, int codeChars,
                                          std::function<void(QComboBox *)> fill);
// The same, listing the code dictionary's items of fieldCode (a blank item
// last when noBlank is 0).
std::unique_ptr<FieldBinding> dictCodeBinding(const QString &field, QComboBox *combo, int codeChars,
                                              const QString &fieldCode, int noBlank);
// A panel of check boxes or radio buttons named after their codes.
std::unique_ptr<FieldBinding> choiceBinding(const QString &field, QWidget *form, const QString &panelName,
                                            int codeWidth, const QString &itemName);
// A dotted date "yyyy.mm.dd" in a date picker, with a "清空" box standing for
// no date and an edit shown in the picker's place while it is checked.
// badDate(stored) gives the warning for a stored text that is no date. A
// date typed away checks "清空"; a digit typed into the edit brings the
// picker back.
std::unique_ptr<FieldBinding> dotDateBinding(const QString &field, ui::DatePicker *picker, QCheckBox *clear,
                                             QLineEdit *placeholder, std::function<QString(QString)> badDate);

// Shows the picker or the placeholder edit as the "清空" box says.
void showDateState(QDateEdit *picker, QCheckBox *clear, QLineEdit *placeholder);
// A click on the placeholder edit: "清空" off, the picker back, its whole
// date ready to be typed over.
void restoreDatePicker(ui::DatePicker *picker, QCheckBox *clear, QLineEdit *placeholder);
