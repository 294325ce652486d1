#pragma once
// The main window: the record list of one category and year, the section
// buttons with their marks, and the commands of the program.
#include "ui_Unit1.h"

#include <QStringList>
#include <QWidget>
#include <functional>

namespace instance {
class InstanceGuard;
}

extern QStringList TableNames;
// The statement of the current record list, to return to after a query.
extern QString ListSql;

namespace db {
class Query;
}

class TMainForm : public QWidget, public Ui::TMainForm
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    void FormCreate();
    void FormResize();
    void FormShow();
    void BitBtn7Click();

    // The commands that stay disabled while the own unit is not registered.
    QList<QWidget *> unitLockedControls() const;
    void EnableUnitCommands(bool enable);
    // Registers the own unit on a first run (the unit profile, shown
    // modally); the application sets it, since the core knows no sections.
    std::function<void()> FirstRunRegistration;

    // Record list, section marks and navigation lock
    void RefreshRecordList();
    void RenumberList();
    void MarkSectionStatus();
    bool UpdateNavigationLock();
    void DeleteKjcgRecord(db::Query *query, const QString &column, const QString &value);
    void ComboBox1Change();
    void DBGrid1CellClick();
    bool FormCloseQuery();

    // New, modify and delete of records (new and modify open the dialog of
    // UnitNew.cpp, which defines them)
    void Button6Click();
    void Button3Click();
    void Button4Click();

    // Query builder
    void ComboBox2Change();
    void SpeedButton24Click(); // 加入
    void SpeedButton15Click(); // and
    void SpeedButton17Click(); // not
    void SpeedButton18Click(); // or
    void SpeedButton20Click(); // (
    void SpeedButton21Click(); // )
    void SpeedButton16Click(); // 查询
    void SpeedButton26Click(); // 恢复
    void SpeedButton23Click(); // 剪切
    void ComboBox5DropDown();
    void ComboBox6DropDown();

    // Every section button of one kind, keeping its caption.
    void SetAllSectionKinds(ui::BitBtn::Kind kind);
    // Marks a section button complete or incomplete and writes its caption.
    void SetSectionState(const QString &section, bool complete);
    ui::BitBtn *SectionButton(const QString &section) const;

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void FormShowList();
    void wireHandlers();
    void wireQueryBuilder();

    // False when another copy uses the data folder; the user has been told
    // unless it is the user's own.
    bool GuardDataFolder();

    instance::InstanceGuard *m_instance = nullptr;
    instance::InstanceGuard *m_folderLock = nullptr;
    bool m_shown = false;
};

// Ends the process when another copy runs; replaceable for tests.
using InstanceExit = void (*)();
InstanceExit setInstanceExit(InstanceExit exitFunction);
// The name of the single-instance lock (the application title); tests that
// run side by side each take a name of their own.
void setInstanceLockName(const QString &name);
// The data folder the program is about to use, which no second copy may use.
void setInstanceDataFolder(const QString &folder);

extern TMainForm *MainForm;
