#pragma once
// The import window: an exchange package chosen, unpacked and read into the
// staging tables, its records reviewed (duplicate titles removed or
// renamed, records deleted by hand) and stored under new keys or over the
// records of the same title. Old packages are converted here too.
#include "ImportPackage.h"
#include "ui/GuardedDialog.h"
#include "ui_Unitin.h"

#include <memory>

// The folder of the package last chosen, with its trailing separator.
extern QString ImportDir;

class TFormin : public ui::GuardedDialog, public Ui::TFormin
{
    Q_OBJECT

public:
    explicit TFormin(QWidget *parent = nullptr);
    ~TFormin() override;

    void FormCreate();
    void FormShow();
    void Button1Click(); // 请选择导入文件
    void Button3Click(); // 导入
    void Button4Click(); // 排重
    void Button2Click(); // the rename panel's 确定
    void Button7Click(); // 删除
    void Button6Click(); // 保存
    void Button8Click(); // 同名覆盖
    void Button5Click(); // 退出
    void Label7Click();  // 改名: an old package converted
    // Reports a finished conversion. The archiver is waited for, so the
    // report follows the conversion at once instead of a poll.
    void Timer1Timer(const QString &package);

    // Modes 1 (all off), 3 and 5 (choose and quit on).
    void SetImportButtons(int mode);
    // "记录条数:" and the counts by category of the staged records.
    void ShowCategoryCounts();

protected:
    void leaveRequested() override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void StoreStaged(bool overwrite);
    void RefreshMainWindow();
    void AttachGrids(bool attached);
    QList<QPushButton *> ImportButtons() const;

    std::unique_ptr<UnpackedPackage> m_package;
    bool m_busy = false;
    bool m_cancelLoad = false; // 取消 pressed while a package is read
};

extern TFormin *Formin;

// The main window's 导入: shows the import window.
void BitBtn1Click();
