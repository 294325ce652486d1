#include "Unitout.h"

#include "ExportPackage.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/DBGrid.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QStorageInfo>

TFormout *Formout = nullptr;

namespace {

// The folder text may not be longer; the message has always said 7.
constexpr int kMaxFolderLength = 7000;

const QColor kSelectedRow(128, 0, 0);

bool askYesNo(const QString &text)
{
    return ui::messageBox(text, u("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION) == ui::IDYES;
}

// The folder as the window shows it: native separators, no trailing one.
QString shownFolder(const QString &folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

// The roots the folder list can start from: the home folder, the file
// system's root and mounted removable media.
QStringList places()
{
    QStringList list{QDir::homePath(), QDir::rootPath()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const bool media = root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/"))
                           || root.startsWith(QLatin1String("/run/media/"));
        if (media && volume.isValid() && volume.isReady() && !list.contains(root))
            list << root;
    }
    return list;
}

bool isInside(const QString &folder, const QString &place)
{
    return folder == place || folder.startsWith(place.endsWith('/') ? place : place + '/');
}

// While packing runs: the window stays, its buttons wait, the cursor says so.
class PackingState
{
public:
    PackingState(bool &flag, QList<QWidget *> controls) : m_flag(flag), m_controls(std::move(controls))
    {
        m_flag = true;
        for (QWidget *w : m_controls)
            w->setEnabled(false);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~PackingState()
    {
        QGuiApplication::restoreOverrideCursor();
        for (QWidget *w : m_controls)
            w->setEnabled(true);
        m_flag = false;
    }
    PackingState(const PackingState &) = delete;
    PackingState &operator=(const PackingState &) = delete;

private:
    bool &m_flag;
    QList<QWidget *> m_controls;
};

} // namespace

TFormout::TFormout(QWidget *parent)
    : ui::GuardedDialog(parent), m_records(new ui::DatasetModel(this)), m_folders(new QFileSystemModel(this))
{
    setupUi(this);
    ui::fixWindowSize(this, 660, 446);

    m_records->setColumns({{QStringLiteral("ITEM_3"), u("成果名称"), 230}, {QStringLiteral("ITEM_9"), u("完成单位"), 150}});
    DBGrid1->setModel(m_records);
    for (int i = 0; i < m_records->gridColumns().size(); ++i)
        DBGrid1->setColumnWidth(i, m_records->gridColumns()[i].width);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    QPalette palette = DBGrid1->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, kSelectedRow);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    DBGrid1->setPalette(palette);

    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setRootPath(QDir::rootPath());
    DirectoryListBox1->setModel(m_folders);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    fillPlaces();

    RadioButton5->installEventFilter(this);
    ComboBox2->hide();
    wireHandlers();
}

void TFormout::wireHandlers()
{
    ui::connectGuarded(RadioButton5, this, &TFormout::RadioButton5Click);
    ui::connectGuarded(RadioButton7, this, &TFormout::RadioButton7Click);
    ui::connectGuarded(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
    ui::connectGuarded(DriveComboBox1, &QComboBox::activated, this, [this] { DriveComboBox1Change(); });
    ui::connectGuarded(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
                       [this] { DirectoryListBox1Change(); });
    ui::connectGuarded(Button2, this, &TFormout::Button2Click);
    ui::connectGuarded(Button1, this, &TFormout::Button1Click);
    connect(RadioButton5, &QRadioButton::toggled, this,
            [this](bool on) { RadioButton5->setToolTip(on ? u("再次选择全部项目请双击") : QString()); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormout::showSelectionCount);
    connect(m_records, &QAbstractItemModel::modelReset, this, &TFormout::showSelectionCount);
}

void TFormout::fillPlaces()
{
    DriveComboBox1->clear();
    for (const QString &place : places())
        DriveComboBox1->addItem(shownFolder(place), place);
}

void TFormout::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

bool TFormout::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == RadioButton5 && e->type() == QEvent::MouseButtonDblClick)
        ui::guarded([this] { RadioButton5Click(); });
    return ui::GuardedDialog::eventFilter(watched, e);
}

void TFormout::FormShow()
{
    m_records->setDataset(DM->T_temp_out);
    ReopenQuery(DM->tempquery, QStringLiteral("select distinct item_4 from kjcg order by item_4 desc"));
    FillYearCombo(DM->tempquery, ComboBox2);
    for (QRadioButton *b : {RadioButton5, RadioButton7}) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
    ComboBox2->hide();

    // Every record's mark back to "0", whatever filter an earlier visit left.
    db::Table *out = DM->T_temp_out;
    openFiltered(out, QString());
    ClearExportMarks(*out);
    out->close();

    Button2->setEnabled(false);
    fillPlaces();
    SelectFolder(m_folder.isEmpty() ? QDir::currentPath() : m_folder);
    showSelectionCount();
}

void TFormout::selectAllRows()
{
    DBGrid1->selectAll();
    showSelectionCount();
}

QList<int> TFormout::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : DBGrid1->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormout::showSelectionCount()
{
    Label1->setText(u("选择了") + QString::number(DBGrid1->selectionModel()->selectedRows().size()) + u("记录！"));
}

void TFormout::RadioButton5Click()
{
    openFiltered(DM->T_temp_out, QString());
    ComboBox2->hide();
    Button2->setEnabled(true);
    selectAllRows();
}

void TFormout::RadioButton7Click()
{
    ComboBox2->show();
    Button2->setEnabled(true);
}

void TFormout::ComboBox2Change()
{
    // Every key that begins with the year.
    openFiltered(DM->T_temp_out, QStringLiteral("item_4=") + SqlLiteral(ComboBox2->currentText() + '*'));
    Button2->setEnabled(true);
    selectAllRows();
}

void TFormout::DriveComboBox1Change()
{
    const QString place = DriveComboBox1->currentData().toString();
    if (!place.isEmpty())
        SelectFolder(place);
}

void TFormout::DirectoryListBox1Change()
{
    const QModelIndex current = DirectoryListBox1->currentIndex();
    if (!current.isValid())
        return;
    m_folder = m_folders->filePath(current);
    Edit1->setText(shownFolder(m_folder));
}

void TFormout::SelectFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    // The place that holds the folder most closely.
    int best = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        const QString place = DriveComboBox1->itemData(i).toString();
        if (isInside(path, place) && (best < 0 || place.size() > DriveComboBox1->itemData(best).toString().size()))
            best = i;
    }
    if (best >= 0) {
        DriveComboBox1->setCurrentIndex(best);
        const QString place = DriveComboBox1->itemData(best).toString();
        DirectoryListBox1->setRootIndex(m_folders->index(place));
        if (path != QDir::cleanPath(place)) {
            const QModelIndex index = m_folders->index(path);
            DirectoryListBox1->setCurrentIndex(index);
            DirectoryListBox1->scrollTo(index);
        } else {
            DirectoryListBox1->setCurrentIndex({});
        }
    }
    m_folder = path;
    Edit1->setText(shownFolder(path));
}

void TFormout::Button2Click()
{
    const QString dir = gbk::trim(Edit1->text());
    if (dir.size() > kMaxFolderLength)
        Refuse(u("文件目录路径不超过7个字符！"));
    // The package in the folder is replaced only by a new one that is
    // complete and tested; until then it stays as it is.
    if (QFileInfo::exists(QDir(dir).filePath(PackageName()))
        && !askYesNo(u("该路径存在上报文件！选择“是”该文件将被覆盖；选择“否”放弃操作。"
                       "如果需要保存现存文件，需要把该文件保存到到别的文件夹内，再执行该操作！")))
        return;
    if (SelectedRows().isEmpty()) {
        if (!askYesNo(u("请选择您要导出的项目，是否全部选择？")))
            return;
        RadioButton5->setChecked(true);
        RadioButton5Click();
    }
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        Refuse(u("没有可导出的项目！"));

    QString package;
    {
        const PackingState packing(m_packing, {Button1, Button2, DBGrid1, RadioButton5, RadioButton7, ComboBox2,
                                               DriveComboBox1, DirectoryListBox1});
        package = ExportPackage(*DM->T_temp_out, rows, dir);
    }
    openFiltered(DM->T_temp_out, QString());
    ShowWarning(u("你已打包成功!文件在") + QDir::toNativeSeparators(package));
}

void TFormout::Button1Click()
{
    if (m_packing)
        return;
    Edit1->clear();
    closeNow();
    // The new-record dialog works through the same table, open and unfiltered.
    openFiltered(DM->T_temp_out, QString());
    FormClose();
}

void TFormout::FormClose()
{
    MainForm->RefreshRecordList();
    MainForm->MarkSectionStatus();
    MainForm->RenumberList();
    MainForm->UpdateNavigationLock();
}

void BitBtn2Click()
{
    ui::showModal(Formout);
}
