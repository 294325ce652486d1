#pragma once
// The new-record dialog. In one mode it creates a record with a fresh key; in
// the other it changes the main items of the current record (category, year,
// management number, title, first unit). The record routines beneath it work
// on the data module alone, so the main window's delete uses them too.
#include "ui_UnitNew.h"

#include <QDialog>
#include <QString>

namespace db {
class Dataset;
}

// False once anything was typed since the dialog was shown or stored.
extern bool AllowClose;
// The record's key, region and title when modify was opened.
extern QString OldItem4;
extern QString OldItemDqdm;
extern QString OldItem3;
// The last duplicate-title statement.
extern QString CheckSql;

// Every single quote doubled, for a text inside a quoted SQL literal.
QString QuoteSql(const QString &text);
// A four-digit year within 1900 to 2050.
bool IsAcceptedYear(const QString &text);
// The next key of a year: the year's largest key plus one, or the year
// followed by "000001". A ten-character largest key that is no number is an
// error of the engine's kind.
QString NextRecordKey(const QString &year);
// Empties the fields the category does not use ("1" applied technology,
// anything else soft science or basic theory); the record is being edited.
void ClearFieldsOfOtherCategory(db::Dataset *record, const QString &category);
// Moves every child row of the old key to the new key with region ".".
void MoveChildRows(const QString &oldKey, const QString &oldRegion, const QString &newKey);
void DeleteChildRows(const QString &key, const QString &region);
// Goes to the row with this key and region; to the first row when none.
bool LocateRecord(db::Dataset *dataset, const QString &key, const QString &region);

class TFormNew : public QDialog, public Ui::TFormNew
{
    Q_OBJECT

public:
    explicit TFormNew(QWidget *parent = nullptr);

    static QString newCaption();
    static QString modifyCaption();
    bool isNewMode() const { return windowTitle() == newCaption(); }
    bool isModifyMode() const { return windowTitle() == modifyCaption(); }

    // Sets a control as its opener does: no change handler runs.
    void setCategoryIndex(int index);
    void setYearText(const QString &year);

    void Button1Click();
    void Button2Click();
    void FormShow();
    bool FormCloseQuery() const { return AllowClose; }
    void cbYearChange();
    void cbYearExit();
    void ComboBox1Change();
    void edt_120Change() { AllowClose = false; }
    void edt_3Change() { AllowClose = false; }
    void edt_9Change() { AllowClose = false; }

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QString yearPrefix() const;
    // Refuses a year outside 1900 to 2050 the way leaving the field does.
    void checkYearRange();
    void storeNew(const QString &title, const QString &unit);
    void storeModified(const QString &title, const QString &unit);
    // After an engine failure: the main list as the dialog's choice shows it,
    // the dialog open with what was typed.
    [[noreturn]] void failStore(const QString &message);
    void wireHandlers();
};

extern TFormNew *FormNew;
