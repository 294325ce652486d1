#pragma once
// The new-record dialog. In one mode it creates a record with a fresh key; in
// the other it changes the main items of the current record (category, year,
// management number, title, first unit). The record routines beneath it work
// on the data module alone, so the main window's delete uses them too.
#include "RecordRoutines.h"
#include "ui/GuardedDialog.h"
#include "ui_UnitNew.h"

#include <QString>
#include <functional>

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


class TFormNew : public ui::GuardedDialog, public Ui::TFormNew
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

protected:
    void showEvent(QShowEvent *e) override;
    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { Button2Click(); }
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // Closes unless something typed is still unstored (FormCloseQuery).
    void closeIfAllowed();
    QString yearPrefix() const;
    // Refuses a year outside 1900 to 2050 the way leaving the field does.
    void checkYearRange();
    void storeNew(const QString &title, const QString &unit);
    void storeModified(const QString &title, const QString &unit);
    // After an engine failure: the main list as the dialog's choice shows it,
    // the dialog open with what was typed.
    [[noreturn]] void failStore(const QString &message);
    // Fills the record's row and posts it; an engine failure goes to failStore.
    void writeRecord(db::Table *out, const std::function<void()> &fill);
    void wireHandlers();
    // Sets the main list's category and year to the dialog's.
    void showChoiceInMainList();
};

extern TFormNew *FormNew;
