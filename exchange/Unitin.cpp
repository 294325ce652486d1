#include "Unitin.h"

#include "ExchangeText.h"
#include "ImportStore.h"
#include "OldPackage.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QSignalBlocker>

QString ImportDir;
TFormin *Formin = nullptr;

namespace {

const char *const kLoading[kStagedMembers] = {"正在导入科技成果主表……", "正在导入成果完成单位……",
                                              "正在导入成果完成人……",   "正在导入鉴定委员会名单……",
                                              "正在导入专利情况……",     "正在导入专利情况……"};

// Lets the window repaint now and then during a long step; input waits
// unless the step lets it through.
class Repainter
{
public:
    explicit Repainter(QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents) : m_flags(flags) {}
    void operator()()
    {
        if (m_last.isValid() && m_last.elapsed() < 100)
            return;
        QCoreApplication::processEvents(m_flags);
        m_last.restart();
    }

private:
    QEventLoop::ProcessEventsFlags m_flags;
    QElapsedTimer m_last;
};

// Marks the window busy for the length of a step: it cannot be left meanwhile.
class BusyStep
{
public:
    explicit BusyStep(bool &busy) : m_busy(busy) { m_busy = true; }
    ~BusyStep() { m_busy = false; }

private:
    bool &m_busy;
};

void refusePackage(const std::exception &e)
{
    ui::showError(u("导入包没有导入，暂存的数据没有改变：\n") + ui::errorText(e), ui::errorDetails(e));
}

} // namespace

TFormin::TFormin(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui::fixWindowSize(this, width(), height());
    DBGrid1->setColumns({{"ITEM_3", u("成果名称"), 320, true}, {"ITEM_9", u("完成单位"), 260, true}});
    Edit2->setValidator(new gbk::ByteLimitValidator(140, Edit2));
    Label7->installEventFilter(this);
    const std::pair<QPushButton *, void (TFormin::*)()> handlers[] = {
        {Button1, &TFormin::Button1Click}, {Button3, &TFormin::Button3Click}, {Button4, &TFormin::Button4Click},
        {Button2, &TFormin::Button2Click}, {Button7, &TFormin::Button7Click}, {Button6, &TFormin::Button6Click},
        {Button8, &TFormin::Button8Click}, {Button5, &TFormin::Button5Click}};
    for (const auto &[button, handler] : handlers)
        ui::connectGuarded(button, this, handler);
    connect(CancelLoad, &QPushButton::clicked, this, [this] { m_cancelLoad = true; });
    FormCreate();
}

TFormin::~TFormin() = default;

void TFormin::FormCreate()
{
    ImportDir.clear();
}

QList<QPushButton *> TFormin::ImportButtons() const
{
    return {Button1, Button3, Button4, Button6, Button8, Button7, Button5};
}

void TFormin::SetImportButtons(int mode)
{
    const bool chooseAndQuit = mode == 3 || mode == 5;
    for (QPushButton *b : ImportButtons())
        b->setEnabled(chooseAndQuit && (b == Button1 || b == Button5));
}

void TFormin::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFormin::FormShow()
{
    Edit1->clear();
    m_package.reset();
    DBGrid1->setDataSource(DM->DS_null);
    EmptyStagingTables();
    DBGrid1->setDataSource(DM->DS_temp_in);
    SetImportButtons(3);
    Panel1->hide();
    Panel4->hide();
    Panelstat->hide();
    Label6->clear();
    Label2->clear();
}

bool TFormin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label7 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && Label7->isEnabled()) {
        ui::guarded([this] { Label7Click(); });
        return true;
    }
    return ui::GuardedDialog::eventFilter(watched, event);
}

void TFormin::leaveRequested()
{
    // Not while a step runs, nor while the rename panel waits for its title.
    if (!m_busy && Button5->isEnabled())
        Button5Click();
}

void TFormin::AttachGrids(bool attached)
{
    DBGrid1->setDataSource(attached ? DM->DS_temp_in : DM->DS_null);
    MainForm->DBGrid1->setDataSource(attached ? DM->DSQkjcg : DM->DS_null);
}

void TFormin::Button1Click()
{
    const QString file = ui::chooseOpenFile(this, u("请选择要导入的文件夹"), {}, QStringLiteral("arj(*.arj)|*.arj"));
    // 导入 loads only the package Edit1 names: an earlier one goes.
    m_package.reset();
    Button3->setEnabled(false);
    if (file.isEmpty()) {
        Edit1->clear();
        return;
    }
    Edit1->setText(QDir::toNativeSeparators(file));
    if (gbk::trim(file).right(10).toUpper() != QLatin1String("CGSBQY.ARJ")) {
        ui::messageBox(u("请选择正确导入包,名字是CGSBQY.ARJ!"), u("请注意！"), ui::MB_OK);
        return;
    }
    ImportDir = QFileInfo(file).absolutePath() + QDir::separator();
    BusyStep busy(m_busy);
    try {
        m_package = std::make_unique<UnpackedPackage>(file);
    } catch (const std::exception &e) {
        refusePackage(e);
        return;
    }
    Button3->setEnabled(true);
}

void TFormin::Button3Click()
{
    if (ImportDir.isEmpty() || !m_package)
        return;
    if (m_package->memberCount() < 5) {
        ShowWarning(u("文件的格式不正确"));
        return;
    }
    TableNames = PackageMemberStems();
    BusyStep busy(m_busy);
    AttachGrids(false);
    // Only 取消 answers while the package is read; the window keeps painting.
    const QList<QWidget *> held{Button1, Button3, Button4, Button6, Button8, Button7, Button5, Label7, DBGrid1};
    QList<bool> enabled;
    for (QWidget *w : held) {
        enabled << w->isEnabled();
        w->setEnabled(false);
    }
    m_cancelLoad = false;
    CancelLoad->setEnabled(true);
    Animate1->setRange(0, 1000);
    Animate1->setValue(0);
    Panel4->show();
    DM->T_temp_in->close();
    Repainter repaint(QEventLoop::AllEvents);
    StagingProgress progress;
    progress.memberStarts = [&](int member) {
        Label5->setText(u(kLoading[member]));
        Panel4->repaint();
    };
    progress.advance = [&](qint64 done, qint64 total) {
        Animate1->setValue(total > 0 ? int(done * 1000 / total) : 0);
        repaint();
        if (m_cancelLoad)
            throw ReadCancelled();
    };
    enum { Staged, Refused, Cancelled } outcome = Staged;
    try {
        StagePackage(*m_package, progress);
    } catch (const ReadCancelled &) {
        outcome = Cancelled;
    } catch (const std::exception &e) {
        outcome = Refused;
        refusePackage(e);
    }
    m_package.reset(); // the member files go with it
    for (int i = 0; i < held.size(); ++i)
        held[i]->setEnabled(enabled[i]);
    DM->T_temp_in->setTableName(PackageMemberStems().at(0) + QStringLiteral("temp.dbf"));
    DM->T_temp_in->setFiltered(false);
    DM->T_temp_in->open();
    AttachGrids(true);
    Panel4->hide();
    Button3->setEnabled(false);
    if (outcome == Cancelled)
        ShowWarning(u("导入已取消，暂存的数据没有改变。"));
    if (outcome != Staged)
        return;
    for (QPushButton *b : {Button4, Button7, Button8, Button2})
        b->setEnabled(true);
    if (DM->T_temp_in->isEmpty())
        ShowWarning(u("导入的文件为空表！"));
    ShowCategoryCounts();
    RenumberRows(DM->T_temp_in, "no");
    DM->T_temp_in->first();
    Button1->setEnabled(false);
    ShowWarning(u("导入完毕！"));
}

void TFormin::ShowCategoryCounts()
{
    db::Table *staged = DM->T_temp_in;
    const int category = staged->fieldByName("item_cglb")->index();
    int counts[4] = {0, 0, 0, 0};
    for (int r = 0; r < staged->rowCount(); ++r) {
        const QString code = gbk::trim(staged->rowValue(r, category).toString());
        if (code == QLatin1String("1") || code == QLatin1String("2") || code == QLatin1String("3"))
            ++counts[code.toInt()];
    }
    Label6->setText(u("记录条数:") + QString::number(staged->rowCount()) + u("条；"));
    Label2->setText(u("其中：应用技术") + QString::number(counts[1]) + u("条，基础理论") + QString::number(counts[3])
                    + u("条，软科学") + QString::number(counts[2]) + u("条。"));
}

void TFormin::Button4Click()
{
    db::Table *staged = DM->T_temp_in;
    staged->first();
    while (!staged->eof()) {
        const QString title = trimmedField(staged, "ITEM_3");
        if (!title.isEmpty()) {
            ReopenQuery(DM->tempquery, "select * from kjcg where item_3=" + SqlLiteral(title));
        }
        if (title.isEmpty() || DM->tempquery->isEmpty()) {
            staged->next();
            continue;
        }
        const QString shown = staged->fieldByName("ITEM_3")->asString();
        if (ui::messageBox(u("导入的项目“") + shown + u("”有重复,是否删除？"), u("请注意！"), ui::MB_YESNO)
            == ui::IDYES) {
            DeleteTempChildRows(trimmedField(staged, "item_4"), trimmedField(staged, "item_dqdm"));
            staged->deleteRecord();
            staged->first();
            ShowCategoryCounts();
            continue;
        }
        // The title is kept: the user renames it, and the dedupe runs again.
        gbk::setTextWhole(Edit2, shown);
        for (QPushButton *b : ImportButtons())
            b->setEnabled(false);
        DBGrid1->setEnabled(false);
        Panel1->show();
        Edit2->setFocus();
        return;
    }
    ui::messageBox(u("排重已经完成！"), u("状态！"), ui::MB_OK);
    if (!staged->isEmpty()) {
        Button6->setEnabled(true);
    } else {
        Button1->setEnabled(true);
        for (QPushButton *b : {Button4, Button7, Button8})
            b->setEnabled(false);
    }
}

void TFormin::Button2Click()
{
    db::Table *staged = DM->T_temp_in;
    try {
        staged->edit();
        staged->fieldByName("item_3")->setAsString(Edit2->text());
        staged->post();
    } catch (const std::exception &e) {
        staged->cancel();
        ui::messageBox(ui::errorText(e), u("提示"), ui::MB_OK);
    }
    for (QPushButton *b : {Button5, Button4, Button7, Button8})
        b->setEnabled(true);
    DBGrid1->setEnabled(true);
    Panel1->hide();
}

void TFormin::Button7Click()
{
    db::Table *staged = DM->T_temp_in;
    if (!staged->active() || staged->isEmpty())
        return;
    if (ui::messageBox(u("是否删除数据？"), u("请注意！"), ui::MB_YESNO) != ui::IDYES)
        return;
    DeleteTempChildRows(trimmedField(staged, "item_4"), trimmedField(staged, "item_dqdm"));
    staged->deleteRecord();
    RenumberRows(DM->T_temp_in, "no");
    DM->T_temp_in->first();
    if (staged->isEmpty()) {
        Button1->setEnabled(true);
        for (QPushButton *b : {Button4, Button8, Button7})
            b->setEnabled(false);
    }
    ShowCategoryCounts();
}

void TFormin::Button6Click()
{
    StoreStaged(false);
}

void TFormin::Button8Click()
{
    StoreStaged(true);
}

void TFormin::StoreStaged(bool overwrite)
{
    BusyStep busy(m_busy);
    QList<bool> enabled;
    for (QPushButton *b : ImportButtons())
        enabled << b->isEnabled();
    SetImportButtons(1);
    db::Table *staged = DM->T_temp_in;
    Gauge1->setRange(0, staged->recordCount());
    Gauge1->setValue(0);
    Panelstat->show();
    AttachGrids(false);
    Repainter repaint;
    StoreTally tally;
    QString followUp; // what failed after the records were stored for good
    try {
        tally = StoreStagedRecords(overwrite, [&] {
            Gauge1->setValue(Gauge1->value() + 1);
            repaint();
        });
        // Left: the rows of records not in the package, and records
        // without a title.
        try {
            EmptyTempChildTables();
            staged->truncate();
        } catch (const db::DbError &e) {
            followUp = u("清空导入临时表时出错：") + e.message();
            staged->refresh();
        }
    } catch (...) {
        // What was stored left staging; the rest waits for another try.
        Panelstat->hide();
        staged->refresh();
        AttachGrids(true);
        for (int i = 0; i < enabled.size(); ++i)
            ImportButtons().at(i)->setEnabled(enabled.at(i));
        ShowCategoryCounts();
        throw;
    }
    if (!overwrite && !ListSql.isEmpty() && followUp.isEmpty()) {
        try {
            ReopenQuery(DM->Qrykjcg, ListSql);
            MainForm->RenumberList();
        } catch (const db::DbError &e) {
            followUp = u("重新编号时出错：") + e.message();
        }
    }
    Panelstat->hide();
    AttachGrids(true);
    SetImportButtons(overwrite ? 3 : 5);
    Label6->setText(u("导入完毕。"));
    Label2->clear();
    QString report = overwrite ? u("入库完毕！新增") + QString::number(tally.added) + u("条,覆盖")
                                     + QString::number(tally.overwritten) + u("条。")
                               : u("入库完毕!");
    if (tally.untitled > 0)
        report += u("\n另有") + QString::number(tally.untitled) + u("条记录没有成果名称，没有入库。");
    if (!followUp.isEmpty())
        report += u("\n导入的记录已经入库，但随后") + followUp;
    ShowWarning(report);
}

void TFormin::RefreshMainWindow()
{
    ReopenQuery(DM->tempquery, "select item_4 from kjcg order by item_4 desc");
    {
        const QSignalBlocker block(MainForm->cbYear);
        FillYearCombo(DM->tempquery, MainForm->cbYear);
    }
    MainForm->RefreshRecordList();
    MainForm->MarkSectionStatus();
    MainForm->RenumberList();
    MainForm->UpdateNavigationLock();
}

void TFormin::Button5Click()
{
    // Stored first, so the main window then lists what came in.
    if (Button6->isEnabled()
        && ui::messageBox(u("是否保存导入数据？"), u("请注意！"), ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES)
        Button6Click();
    RefreshMainWindow();
    m_package.reset();
    SetImportButtons(3);
    Panel1->hide();
    closeNow();
}

void TFormin::Label7Click()
{
    const QString file = ui::chooseOpenFile(this, u("请选择要改名的文件夹"), {}, QStringLiteral("arj(*.arj)|*.arj"));
    if (file.isEmpty())
        return;
    const std::optional<QString> unitCode = OldPackageUnitCode(QFileInfo(file).fileName());
    if (!unitCode) {
        ui::messageBox(u("请选择正确文件,被改名的文件类似CGSBXXX.ARJ(XXX为数字)!"), u("请注意！"), ui::MB_OK);
        return;
    }
    ImportDir = QFileInfo(file).absolutePath() + QDir::separator();
    BusyStep busy(m_busy);
    QString package;
    try {
        package = ConvertOldPackage(file, *unitCode);
    } catch (const OldPackageIncomplete &) {
        ui::messageBox(u("包内文件不正确，可能有缺失!"), u("请注意！"), ui::MB_OK);
        return;
    }
    Timer1Timer(package);
}

void TFormin::Timer1Timer(const QString &package)
{
    if (QFileInfo(package).isFile())
        ShowWarning(u("你已改名成功!文件在") + QDir::toNativeSeparators(package));
}

void BitBtn1Click()
{
    ui::showModal(Formin);
}
