#include "CodeManage.h"

#include "CodeUpdate.h"
#include "SharedRoutines.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

TFcodeManage *FcodeManage = nullptr;

namespace {

// The controls of each table's group, in the order of codeTables().
struct GroupControls
{
    QPushButton *Ui::TFcodeManage::*archiveButton;
    QPushButton *Ui::TFcodeManage::*readyButton;
    QLineEdit *Ui::TFcodeManage::*edit;
};

using W = Ui::TFcodeManage;
const GroupControls kGroups[] = {
    {&W::Button4, &W::Button2, &W::Edit1},
    {&W::Button6, &W::Button7, &W::Edit3},
    {&W::Button8, &W::Button9, &W::Edit4},
    {&W::Button10, &W::Button11, &W::Edit5},
};

// While an update runs the window stays painted; what the user does waits.
ReadProgress keepPainted()
{
    auto shown = std::make_shared<QElapsedTimer>();
    shown->start();
    return [shown](qint64, qint64) {
        if (shown->elapsed() < 100)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        shown->restart();
    };
}

} // namespace

TFcodeManage::TFcodeManage(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    ui::fixWindowSize(this, width(), height());
    for (int group = 0; group < int(std::size(kGroups)); ++group) {
        ui::connectGuarded(this->*kGroups[group].archiveButton, this, [this, group] { UpdateFromArchive(group); });
        ui::connectGuarded(this->*kGroups[group].readyButton, this, [this, group] { UpdateFromReadyTable(group); });
    }
    ui::connectGuarded(Button3, this, &TFcodeManage::Button3Click);
}

void TFcodeManage::Button3Click()
{
    // An update under way finishes first.
    if (!m_busy)
        closeNow();
}

QString TFcodeManage::ChooseFile()
{
    const QString chosen = ui::chooseOpenFile(this, QString(), m_folder);
    if (!chosen.isEmpty())
        m_folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

void TFcodeManage::UpdateFromArchive(int group)
{
    const CodeTable &table = codeTables()[group];
    const QString chosen = ChooseFile();
    if (chosen.isEmpty())
        return;
    (this->*kGroups[group].edit)->setText(chosen);
    if (!isUpdateArchiveName(table, chosen)) {
        ui::messageBox(u("请选择正确导入包,名字是") + QString::fromLatin1(table.archive) + u("!"), u("请注意！"),
                       ui::MB_OK);
        return;
    }
    m_busy = true;
    struct Done
    {
        bool &busy;
        ~Done() { busy = false; }
    } done{m_busy};
    updateFromArchive(table, chosen, keepPainted());
    ShowWarning(u("导入更新成功！"));
}

void TFcodeManage::UpdateFromReadyTable(int group)
{
    const CodeTable &table = codeTables()[group];
    const QString chosen = ChooseFile();
    if (chosen.isEmpty())
        return;
    if (!isReadyTableName(table, chosen)) {
        ShowWarning(u("请选择正确的文件（") + QString::fromLatin1(table.readyFile) + u("）！"));
        return;
    }
    updateFromReadyTable(table, chosen);
    ShowWarning(u(table.doneMessage));
}

void BitBtn3Click()
{
    ui::showModal(FcodeManage);
}
