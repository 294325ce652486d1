#include "Unit1.h"

#include "AppInfo.h"
#include "UnitDM.h"
#include "Unitwel.h"
#include "instance/InstanceGuard.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "ui/Placement.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>

TMainForm *MainForm = nullptr;
QStringList TableNames;

namespace {
void quitAtOnce()
{
    std::_Exit(0);
}
InstanceExit g_instanceExit = quitAtOnce;
QString g_lockName;
QString g_dataFolder;
} // namespace

void setInstanceLockName(const QString &name)
{
    g_lockName = name;
}

void setInstanceDataFolder(const QString &folder)
{
    g_dataFolder = folder;
}

InstanceExit setInstanceExit(InstanceExit exitFunction)
{
    InstanceExit previous = g_instanceExit;
    g_instanceExit = exitFunction ? exitFunction : quitAtOnce;
    return previous;
}

TMainForm::TMainForm(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    SetAllSectionKinds(ui::BitBtn::bkYes); // as designed
    FormCreate();
    wireHandlers();
}

void TMainForm::wireHandlers()
{
    ui::connectGuarded(BitBtn7, this, &TMainForm::BitBtn7Click);
    ui::connectGuarded(Button1, this, &TMainForm::Button6Click);
    ui::connectGuarded(Button5, this, &TMainForm::Button3Click);
    ui::connectGuarded(Button4, this, &TMainForm::Button4Click);
    ui::connectGuarded(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    ui::connectGuarded(cbYear, &QComboBox::currentTextChanged, this, [this] { ComboBox1Change(); });
    ui::connectGuarded(DBGrid1, &DBGrid::cellClicked, this, [this] { DBGrid1CellClick(); });
    wireQueryBuilder();
}

TMainForm::~TMainForm()
{
    delete m_folderLock;
    delete m_instance;
}

bool TMainForm::GuardDataFolder()
{
    // The user's second copy on the same data folder ends silently: the
    // first one is on the user's screen. Copies on other folders run.
    m_instance = new instance::InstanceGuard;
    m_folderLock = new instance::InstanceGuard;
    const QFileInfo info(g_dataFolder);
    const QString folder = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString lockName = (g_lockName.isEmpty() ? applicationTitle() : g_lockName) + QLatin1Char('\n') + folder;
    if (m_instance->acquire(lockName) == instance::InstanceGuard::HeldElsewhere)
        return false;
    // Another user's copy holds the folder: two copies never write one
    // folder, and this user cannot see the other's windows, so is told.
    if (!g_dataFolder.isEmpty()
        && m_folderLock->acquireFolder(g_dataFolder) == instance::InstanceGuard::HeldElsewhere) {
        ui::showError(QString::fromUtf8("数据目录 %1 正由另一个运行中的本程序使用（可能是本机的其他用户）。"
                                        "一个数据目录同时只能由一个程序使用，请等它退出后再启动本程序。")
                          .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    return true;
}

void TMainForm::FormCreate()
{
    if (!GuardDataFolder()) {
        g_instanceExit();
        return;
    }
    ui::fixWindowSize(this, 800, 570);
    ui::centreOnScreen(this);
    TableNames = {"KJCG", "CGWCDW", "CGWCR", "JDWYHMD", "ZLQK", "unit", "expert"};
}

void TMainForm::FormResize()
{
    if (width() != 800 || height() != 570)
        resize(800, 570);
}

void TMainForm::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    FormResize();
}

void TMainForm::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (m_shown)
        return;
    m_shown = true;
    ui::guarded([this] { FormShow(); });
}

QList<QWidget *> TMainForm::unitLockedControls() const
{
    return {btn_page01, btn_page02, btn_page03, btn_page04, btn_page05, btn_page07, btn_page08, btn_page09,
            Button1, Button5, BitBtn2, BitBtn3, BitBtn4, cbYear, ComboBox1, DBGrid1};
}

void TMainForm::EnableUnitCommands(bool enable)
{
    for (QWidget *w : unitLockedControls())
        w->setEnabled(enable);
    if (enable) {
        Button4->setEnabled(true);
        BitBtn1->setEnabled(true);
    }
}

void TMainForm::FormShow()
{
    if (formwel) {
        connect(formwel, &Tformwel::dismissed, this, &QWidget::show, Qt::UniqueConnection);
        ui::showModal(formwel);
    }
    if (DM->Tblunit->active() && DM->Tblunit->isEmpty() && FirstRunRegistration) {
        ui::guarded(FirstRunRegistration); // a failure there must not stop the start-up
        if (formwel)
            formwel->close();
    }
    DBGrid1->setColumns({{"NO", QString::fromUtf8("序号"), 94},
                         {"ITEM_120", QString::fromUtf8("成果管理编号"), 111, false, true},
                         {"ITEM_3", QString::fromUtf8("成果名称"), 255, true},
                         {"ITEM_9", QString::fromUtf8("成果完成单位"), 264, true}});
    DBGrid1->setDataSource(DM->DSQkjcg);
    FormShowList();
    EnableUnitCommands(DM->Tblunit->active() && !DM->Tblunit->isEmpty());
    RefreshRecordList();
    RenumberList();
}

void TMainForm::BitBtn7Click()
{
    close();
    if (formwel)
        formwel->close();
}
