#pragma once
// What every single-record section form shares: a fixed 800 × 600 modal
// window on the current record of the list, opened from its main-window
// button, loaded and saved through its field bindings, checked on saving
// and on leaving, asking before unsaved changes are dropped.
#include "FieldBinding.h"
#include "ui/GuardedDialog.h"

class QAbstractButton;
namespace db {
class Transaction;
}

// The entry rules of the main window's category (帮助 of every section window).
void ShowSectionHelp();

class SectionForm : public ui::GuardedDialog
{
    Q_OBJECT

public:
    SectionForm(const QString &section, QWidget *parent = nullptr);

    // Opens the form on the list's current record (first the new-record
    // dialog when the list is empty). False when there is no record.
    bool openOnCurrentRecord();

    // Saves with the checks; true when the record was stored.
    bool save();
    void leave();
    void showHelp();
    bool IsUnchanged();
    void FormShow();
    void FormResize();
    void FormClose();

    const QString &section() const { return m_section; }

protected:
    // The form's checks: ShowWarning and the silent abort at the first failure.
    virtual void checkFields() {}
    virtual bool checksFields() const { return true; }
    virtual bool clearsChecksOnOpen() const { return true; }
    // Loading and saving beyond the bindings.
    virtual void loadOther() {}
    virtual void saveOther(db::Dataset *) {}
    // Rows the save changes beyond the record's own, declared before its
    // first write.
    virtual void keepOther(db::Transaction &, db::Dataset *) {}
    virtual bool otherUnchanged(db::Dataset *) { return true; }
    virtual void saveFailed() {}
    // After the record is posted, before the save is reported.
    virtual void saved(db::Dataset *) {}
    // A line added to the question on leaving, saying what a save would do
    // beyond storing the fields shown; empty for none.
    virtual QString saveNote() { return {}; }

    void addBinding(std::unique_ptr<FieldBinding> binding) { m_bindings.push_back(std::move(binding)); }
    void wireButtons(QAbstractButton *saveButton, QAbstractButton *helpButton, QAbstractButton *leaveButton);

    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { leave(); }
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

public:
    void done(int result) override;

private:
    QString m_section;
    FieldBindings m_bindings;
};
