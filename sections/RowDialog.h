#pragma once
// What every list section's row dialog shares. Its mode is its caption,
// which the list window sets: the add caption appends a row, the modify
// caption changes the list's current row. A store writes the row at once,
// lists the record's rows again and numbers them 1..n (a list over a table
// keeps its rows and numbers as they are); leaving with changes
// asks whether to store them. A refused check keeps the dialog open with
// what was typed, also when the store was asked for on leaving.
#include "FieldBinding.h"
#include "ListSection.h"
#include "ui/GuardedDialog.h"

#include <initializer_list>

class QAbstractButton;
class QLineEdit;

class RowDialog : public ui::GuardedDialog
{
    Q_OBJECT

public:
    RowDialog(const QString &section, QWidget *parent = nullptr);

    const ListSectionDef &listDef() const { return m_def; }
    db::Query *rows() const { return m_def.rows(); }
    db::Dataset *list() const { return m_def.list(); }
    bool isNewMode() const;
    bool isModifyMode() const;

    void FormShow(); // a new row's entries, or the current row's values
    void store();    // 存储
    void leave();    // 退出

protected:
    void addBinding(std::unique_ptr<FieldBinding> binding) { m_bindings.push_back(std::move(binding)); }
    // The 序号 edit: a new row's place (count + 1, read-only), or the current
    // row's number, which a store moves the row to.
    void setSequenceEdit(QLineEdit *edit);
    QLineEdit *sequenceEdit() const { return m_sequence; }
    void wireButtons(QAbstractButton *storeButton, QAbstractButton *leaveButton);

    // Nothing typed: a store closes without storing.
    virtual bool nothingEntered() const = 0;
    // Nothing typed: leaving closes without comparing.
    virtual bool nothingToLeave() const { return nothingEntered(); }
    // The store's checks: a message and the silent abort at the first failure.
    virtual void checkEntries() {}
    // Checks that leaving runs before the comparison.
    virtual void checkOnLeave() {}
    // The entries of a new row, and what a stored new row leaves behind.
    virtual void emptyEntries() = 0;
    virtual void emptyAfterNewStore() { emptyEntries(); }
    // A stored new row closes the dialog; otherwise it stays for the next one.
    virtual bool closesAfterNewStore() const { return true; }
    // Loading, storing and comparing beyond the bindings.
    virtual void loadOther(db::Dataset *) {}
    virtual void saveOther(db::Dataset *) {}
    virtual bool otherUnchanged(db::Dataset *) const { return true; }
    // Leaving: the entries compared with the list's current row (the
    // bindings, the 序号 and what else the dialog compares).
    virtual bool entriesUnchanged(db::Dataset *list) const;
    // After the row is stored, before the list is read again.
    virtual void rowStored(db::Dataset *) {}

    // The sequence checks: an empty number (emptyWarning, or silently when
    // it is empty), then one that is no whole number.
    void checkSequence(const QString &emptyWarning = {});

    void leaveRequested() override { leave(); }
    void showEvent(QShowEvent *e) override;

    // Modify mode: the typed number is the row's own.
    bool sequenceUnchanged() const;

    static bool allEmpty(std::initializer_list<const QLineEdit *> edits, bool trimmed);

private:
    const ListSectionDef &m_def;
    FieldBindings m_bindings;
    QLineEdit *m_sequence = nullptr;
};
