#include "SharedRoutines.h"

#include "db/file/DbError.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "ui/Clock.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>

namespace {

const QString kBlankItem = QStringLiteral(" ");
const QString kCodeSep = QStringLiteral("  ");

// Stored texts are measured in GBK bytes, so positions are taken on the bytes.
QString midBytes(const QString &text, qsizetype pos, qsizetype len)
{
    return gbk::decode(gbk::encode(text).mid(pos, len));
}

// Every descendant of root, parents before their children, in creation order.
void forEachDescendant(QObject *root, const std::function<void(QObject *)> &visit)
{
    for (QObject *child : root->children()) {
        visit(child);
        forEachDescendant(child, visit);
    }
}

// The choice buttons lying directly on the named panel, in creation order.
QList<QAbstractButton *> panelButtons(QWidget *form, const QString &panelName)
{
    QList<QAbstractButton *> out;
    forEachDescendant(form, [&](QObject *o) {
        if (o->objectName() == QLatin1String("ImageList1") || !o->parent()
            || o->parent()->objectName().compare(panelName, Qt::CaseInsensitive) != 0)
            return;
        if (qobject_cast<QCheckBox *>(o) || qobject_cast<QRadioButton *>(o))
            out << static_cast<QAbstractButton *>(o);
    });
    return out;
}

// The code a button stands for: the tail of its name.
QString codeOf(const QObject *button, int codeWidth)
{
    return button->objectName().right(codeWidth);
}

// A code of two or more characters must be a number; warns otherwise.
// Returns 0 for one-character and non-numeric codes.
int codeNumber(const QString &code)
{
    if (code.size() <= 1)
        return 0;
    bool ok = false;
    const int n = code.toInt(&ok);
    if (!ok)
        ShowWarning(QLatin1Char('\'') + code + QStringLiteral("'不是数字格式！"));
    return ok ? n : 0;
}

void fillDict(db::Table *dict, const QString &fieldCode, QComboBox *combo, int noBlank, bool withOld)
{
    dict->setFiltered(false);
    dict->setFilter(QStringLiteral("zddm =") + SqlLiteral(fieldCode));
    dict->setFiltered(true);
    dict->open();
    combo->clear();
    for (dict->first(); !dict->eof(); dict->next()) {
        const QString code = dict->fieldByName(QStringLiteral("xxdm"))->asString();
        const QString name = dict->fieldByName(QStringLiteral("xxmc"))->asString();
        if (gbk::trim(code).isEmpty() || gbk::trim(name).isEmpty())
            continue;
        if (!withOld && name.startsWith(QLatin1String("**")))
            continue;
        combo->addItem(code + kCodeSep + name);
    }
    if (noBlank == 0)
        combo->addItem(kBlankItem);
    combo->setCurrentIndex(-1); // a fresh list has nothing chosen
}

} // namespace

void ShowWarning(const QString &text)
{
    ui::messageBox(text, QStringLiteral("Corvane"), ui::MB_OK | ui::MB_ICONEXCLAMATION);
}

void AfterStored(const QString &done, const std::function<void()> &steps)
{
    try {
        steps();
    } catch (const db::DbError &e) {
        ui::messageBox(done + QString::fromUtf8("，但随后出错：") + e.message(), QString::fromUtf8("提示"),
                       ui::MB_OK | ui::MB_ICONWARNING);
    }
}

bool SettleChanges(const std::function<bool()> &save, const QString &question, const QString &note)
{
    QString text = question.isEmpty() ? QString::fromUtf8("记录已经更改,是否保存？") : question;
    if (!note.isEmpty())
        text += QLatin1Char('\n') + note;
    switch (ui::messageBox(text, QString::fromUtf8("请注意！"), ui::MB_YESNO | ui::MB_ICONQUESTION | ui::MB_ESCAPECANCELS)) {
    case ui::IDYES:
        return save();
    case ui::IDNO:
        return true;
    default:
        return false;
    }
}

QString FormatDotDate(const QString &text)
{
    return midBytes(text, 0, 4) + QLatin1Char('-') + midBytes(text, 5, 2) + QLatin1Char('-') + midBytes(text, 8, 2);
}

QString TabToBlank(const QString &text)
{
    return QString(text).replace(QLatin1Char('\t'), QLatin1Char(' '));
}

void ClearChecks(QWidget *form)
{
    forEachDescendant(form, [](QObject *o) {
        const QMetaObject *mo = o->metaObject();
        if (mo != &QCheckBox::staticMetaObject && mo != &QRadioButton::staticMetaObject)
            return;
        auto *b = static_cast<QAbstractButton *>(o);
        // The checked button of an exclusive set refuses to uncheck; lift the
        // exclusivity for the moment.
        QButtonGroup *group = b->group();
        const bool groupExclusive = group && group->exclusive();
        const bool autoExclusive = b->autoExclusive();
        if (groupExclusive)
            group->setExclusive(false);
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(autoExclusive);
        if (groupExclusive)
            group->setExclusive(true);
    });
}

namespace {

// The first row after `row` whose key does not start with the year that
// starts the key of `row`, in rows sorted by the key: the keys of one year
// follow each other, so the run is measured, not read row by row. Years
// tend to hold alike numbers of records: the end is looked for first where
// the run before ended (`guess` rows on), then by halving. Keys that do not
// start with four digits are taken one at a time.
int endOfYearRun(const db::Dataset *query, int row, int column, const QByteArray &key, int guess)
{
    const QByteArray year = key.left(4);
    if (year.size() < 4 || !std::all_of(year.begin(), year.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return row + 1;
    const int rows = query->rowCount();
    const auto inRun = [&](int r) { return query->rowValue(r, column).toBytes().startsWith(year); };
    int low = row + 1, high = rows; // the end lies in [low, high]
    const int last = row + std::max(guess, 1) - 1; // the last row of a run as long as the one before
    if (last >= low && last < rows) {
        if (!inRun(last))
            high = last;
        else if (last + 1 == rows || !inRun(last + 1))
            return last + 1;
        else
            low = last + 2;
    }
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (inRun(mid))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace

void FillYearCombo(db::Dataset *query, QComboBox *combo)
{
    combo->clear();
    const int column = query->fieldByName(QStringLiteral("item_4"))->index();
    const bool sorted = query->sortedColumn() == column;
    QString previous;
    int run = 1;
    query->first();
    for (int row = 0; row < query->rowCount();) {
        const db::Value key = query->rowValue(row, column);
        const QString prefix = midBytes(gbk::trim(key.toString()), 0, 4);
        if (prefix != previous) {
            previous = prefix;
            // Only four plain digits make a year ("-123" would pass a number test).
            const bool isYear = prefix.size() == 4 && std::all_of(prefix.begin(), prefix.end(), [](QChar c) {
                return c >= u'0' && c <= u'9';
            });
            if (isYear)
                combo->addItem(prefix);
        }
        // The rows after it with the same year are passed over.
        const int end = sorted ? endOfYearRun(query, row, column, key.toBytes(), run) : row + 1;
        if (end - row > 1)
            run = end - row;
        row = end;
    }
    query->last();
    if (combo->count() == 0) {
        combo->addItem(QString::number(ui::today().year()));
        combo->setCurrentIndex(-1);
    } else {
        combo->setCurrentIndex(0);
    }
}

void FillComboDistinct(db::Dataset *dataset, QComboBox *combo, const QString &fieldName)
{
    combo->clear();
    for (dataset->first(); !dataset->eof(); dataset->next()) {
        const db::Field *f = dataset->fieldByName(fieldName);
        if (!f->isNull())
            combo->addItem(f->asString());
    }
    combo->setCurrentIndex(-1);
}

void FillComboCodeName(db::Table *table, QComboBox *combo, const QString &codeField,
                       const QString &nameField, int noBlank)
{
    combo->clear();
    table->setFiltered(false);
    table->setFilter(QString());
    table->setFiltered(true);
    table->open();
    for (table->first(); !table->eof(); table->next()) {
        const db::Field *code = table->fieldByName(codeField);
        const db::Field *name = table->fieldByName(nameField);
        if (!code->isNull() && !name->isNull())
            combo->addItem(code->asString() + QStringLiteral("  (") + name->asString() + QLatin1Char(')'));
    }
    if (noBlank == 0)
        combo->addItem(kBlankItem);
    combo->setCurrentIndex(-1);
}

void FillComboFromDict(db::Table *dict, const QString &fieldCode, QComboBox *combo, int noBlank)
{
    fillDict(dict, fieldCode, combo, noBlank, false);
}

void FillQueryValueCombo(db::Table *dict, const QString &fieldCode, QComboBox *combo, int noBlank)
{
    fillDict(dict, fieldCode, combo, noBlank, true);
}

void SelectComboByCode(const QString &code, QComboBox *combo)
{
    int match = -1;
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemText(i);
        if (text == kBlankItem)
            continue;
        if (gbk::trim(text.left(text.indexOf(kCodeSep))) == code) // left(-1) is the whole text
            match = i;
    }
    if (match >= 0)
        combo->setCurrentIndex(match);
}

void SplitToEdits(const QString &text, QLineEdit *edit1, QLineEdit *edit2, QLineEdit *edit3)
{
    const QStringList parts = text.split(QLatin1Char(';'));
    QLineEdit *const edits[] = {edit1, edit2, edit3};
    for (int i = 0; i < 3; ++i)
        gbk::setTextWhole(edits[i], parts.value(i));
}

void ParseDateRange(const QString &text, QLineEdit *startYear, QLineEdit *startMonth,
                    QLineEdit *endYear, QLineEdit *endMonth)
{
    const QString s = gbk::trim(text);
    const int length = gbk::byteLength(s);
    if (length > 15) {
        const auto split = [](const QString &part, QLineEdit *year, QLineEdit *month) {
            const qsizetype dot = part.indexOf(QLatin1Char('.'));
            year->setText(dot < 0 ? QString() : part.left(dot));
            month->setText(dot < 0 ? part : part.mid(dot + 1));
        };
        split(gbk::trim(midBytes(s, 0, 7)), startYear, startMonth);
        split(gbk::trim(midBytes(s, length - 7, 7)), endYear, endMonth);
        return;
    }
    // Two-digit month, so that the saved period keeps its "YYYY.MM" form.
    const QDate today = ui::today();
    const QString year = QString::number(today.year());
    const QString month = QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'));
    startYear->setText(year);
    endYear->setText(year);
    startMonth->setText(month);
    endMonth->setText(month);
}

void ShowCodeName(db::Table *table, const QString &code, QWidget *control)
{
    table->close();
    table->setFilter(QStringLiteral("xxdm=") + SqlLiteral(code));
    table->setFiltered(true); // a filter that is set but off would show the first row
    table->open();
    QString text;
    if (!table->isEmpty()) {
        table->first();
        text = table->field(1)->asString() + kCodeSep + table->field(2)->asString();
    }
    SetControlText(control, text);
}

void CheckByCode(QWidget *form, const QString &panelName, const QString &code, int codeWidth)
{
    for (QAbstractButton *b : panelButtons(form, panelName))
        if (codeOf(b, codeWidth) == code)
            b->setChecked(true);
}

void CheckByCodeList(QWidget *form, const QString &panelName, const QString &value, int codeWidth)
{
    if (value.isEmpty())
        return;
    if (!value.contains(QLatin1Char(';'))) {
        CheckByCode(form, panelName, value, codeWidth);
        return;
    }
    const QStringList parts = value.split(QLatin1Char(';'));
    CheckByCode(form, panelName, gbk::trim(parts.at(0)), codeWidth);
    // A second code is read only when a ";" closes it; a third is never read.
    const QString second = parts.size() > 2 ? gbk::trim(parts.at(1)) : QString();
    CheckByCode(form, panelName, second, codeWidth);
}

QString CodesFromChecks(QWidget *form, const QString &panelName, int codeWidth, const QString &itemName)
{
    QString acc;
    QStringList boxCodes; // check boxes only; a radio panel yields its one code unchanged
    for (QAbstractButton *b : panelButtons(form, panelName)) {
        if (!b->isChecked())
            continue;
        const QString code = codeOf(b, codeWidth);
        if (qobject_cast<QRadioButton *>(b)) {
            acc += code;
        } else {
            acc += code + QLatin1Char(';');
            boxCodes << code;
        }
    }
    const QString code1 = boxCodes.value(0);
    const QString code2 = boxCodes.value(1);
    const int n1 = codeNumber(code1);
    const int n2 = codeNumber(code2);
    if (boxCodes.size() > 2) {
        ui::messageBox(QLatin1Char('\'') + itemName + QStringLiteral("'项目为复选项目，但至多选择二项！"),
                       QStringLiteral("提示"), ui::MB_OK | ui::MB_ICONQUESTION);
        ui::abortAction();
    }
    if (n1 > 0 && n2 > 0 && n2 < n1)
        return code2 + QLatin1Char(';') + code1 + QLatin1Char(';');
    return acc;
}

void Refuse(const QString &message)
{
    ShowWarning(message);
    ui::abortAction();
}

QString RequireText(const QString &text, const QString &message)
{
    const QString trimmed = gbk::trim(text);
    if (trimmed.isEmpty())
        Refuse(message);
    return trimmed;
}

void ReopenQuery(db::Query *query, const QString &sql)
{
    query->close();
    query->clearSql();
    query->addSql(sql);
    query->open();
}

void SetControlText(QWidget *control, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        gbk::setTextWhole(edit, text);
        // A code edit narrower than "code  name" shows the code first.
        edit->setCursorPosition(0);
    } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
        if (combo->isEditable()) {
            combo->setEditText(text);
            return;
        }
        int i = combo->findText(text);
        if (i < 0 && !text.isEmpty()) {
            combo->addItem(text);
            i = combo->count() - 1;
        }
        combo->setCurrentIndex(i);
    }
}

QString QuoteSql(const QString &text)
{
    return QString(text).replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString SqlLiteral(const QString &value)
{
    return QLatin1Char('\'') + QuoteSql(value) + QLatin1Char('\'');
}

QString ComboCode(const QComboBox *combo, int chars)
{
    if (combo->currentIndex() < 0)
        return {};
    return gbk::trim(gbk::cutToBytes(combo->currentText(), chars));
}
