#pragma once
// The code-table update window: each of the four code and classification
// tables is replaced from its update archive or from a ready table
// (CodeUpdate.h does the work).
#include "ui/GuardedDialog.h"
#include "ui_CodeManage.h"

class TFcodeManage : public ui::GuardedDialog, public Ui::TFcodeManage
{
    Q_OBJECT

public:
    explicit TFcodeManage(QWidget *parent = nullptr);

    // The four groups' buttons, group in the order of codeTables(): the
    // archive buttons Button4, Button6, Button8, Button10 and the ready-table
    // buttons Button2, Button7, Button9, Button11.
    void UpdateFromArchive(int group);
    void UpdateFromReadyTable(int group);
    void Button3Click(); // 退出

protected:
    void leaveRequested() override { Button3Click(); }

private:
    // The open dialog (OpenDialog1); empty when cancelled.
    QString ChooseFile();

    QString m_folder; // of the file chosen last, where the dialog opens next
    bool m_busy = false;
};

extern TFcodeManage *FcodeManage;

// The main window's 更新指标项: shows the window modally.
void BitBtn3Click();
