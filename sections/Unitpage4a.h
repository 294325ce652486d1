#pragma once
// The unit profile: the own unit's registration, the current row of the
// table unit. It registers the unit on a first run and keeps it up to date
// from the main window's "单位情况"; it stores without checks but cannot be
// left until its required fields are filled.
#include "FieldBinding.h"
#include "UnitCodeList.h"
#include "ui/GuardedDialog.h"
#include "ui_Unitpage4a.h"

class TFpage4a : public ui::GuardedDialog, public Ui::TFpage4a
{
    Q_OBJECT

public:
    explicit TFpage4a(QWidget *parent = nullptr);

    // Copies the current row of the unit table into the window.
    void LoadUnitProfile();

    void FormShow();
    void FormResize();
    void btnSave01Click(); // 存储
    void Button2Click();   // the hidden save: no message, Edit1 kept
    void quit01Click();    // 退出
    void BitBtndtrClick(); // 学科带头人情况
    void Button5Click();   // 所属二级单位情况
    void cb_62Change();
    void Memo1Click();
    void Memo2Click();
    void Memo3Click();
    // The drop-down beside the code edit of a picker slot (0..39).
    void CodeDropDown(int slot);

    // The required fields: ShowWarning and the silent abort at the first empty one.
    bool CheckUnitInput();
    // Whether the window shows what the row holds, field by field as a save would store it.
    bool IsUnchanged();
    // Writes the row's code list into its column; the unit row is in edit state.
    void CollectCodeList(const UnitCodeRow &row);

    QLineEdit *codeEdit(const UnitCodeRow &row, int k) const;
    QStringList codeTexts(const UnitCodeRow &row) const;

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    // Escape, the close box and Alt+F4 leave through 退出 and its checks.
    void leaveRequested() override { quit01Click(); }
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // The save without its message; false when the post failed (already told).
    bool storeProfile();
    // 存储: the save with its message; false when the post failed.
    bool saveProfile();
    void checkCodeListLengths();
    bool isEnterprise() const;
    QString enterpriseCode() const;
    QString conversionMark() const;

    FieldBindings m_bindings;
};

extern TFpage4a *Fpage4a;

void LoadUnitProfile();
// The main window's "单位情况", also the first-run registration: the
// profile loaded and shown modally.
void OpenUnitProfile();
