#pragma once
// One discipline leader of the unit, added or changed. A new leader is
// numbered after those listed, and the dialog stays open for the next one.
#include "RowDialog.h"
#include "ui_Finto11Unit.h"

#include <optional>

class TFinto11 : public RowDialog, public Ui::TFinto11
{
    Q_OBJECT

public:
    explicit TFinto11(QWidget *parent = nullptr);

    void Button1Click() { store(); }
    void Button2Click() { leave(); }
    void Edt_both_1Exit();
    void edt_both_2Exit();
    void cbry_124_1Change();

signals:
    // A new leader stored: the list has a row to change or delete.
    void leaderAdded();

protected:
    bool nothingEntered() const override;
    void checkEntries() override;
    void emptyEntries() override;
    void emptyAfterNewStore() override;
    bool closesAfterNewStore() const override { return false; }
    void loadOther(db::Dataset *) override;
    void saveOther(db::Dataset *leader) override;
    bool otherUnchanged(db::Dataset *) const override;
    void rowStored(db::Dataset *) override;
};

extern TFinto11 *Finto11;

// The birth year as typed: the first four characters of the trimmed text,
// when they are digits.
std::optional<int> BirthYear(const QString &text);
// The birth month as typed: the trimmed text, when it is digits.
std::optional<int> BirthMonth(const QString &text);
// A month of one digit with its leading "0"; any other text as it is.
QString TwoDigitMonth(const QString &text);
