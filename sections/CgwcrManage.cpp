#include "CgwcrManage.h"

#include "ListSection.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "db/journal/Journal.h"

#include <QItemSelectionModel>
#include <QSet>

#include <algorithm>
#include <exception>

TFormWcr *FormWcr = nullptr;

namespace {

QString personName(const db::Value &name)
{
    return gbk::trim(name.toString());
}

// The largest place the record's persons hold, 0 when there are none.
int lastPlace(db::Dataset *persons, const QString &sequenceField)
{
    const int col = persons->fieldByName(sequenceField)->index();
    double last = 0;
    for (int r = 0; r < persons->rowCount(); ++r)
        last = std::max(last, persons->rowValue(r, col).toNumber());
    return int(last);
}

} // namespace

void AddLocalPersons(const QList<int> &localRows, const std::function<void()> &progress)
{
    const ListSectionDef &def = listSection("08");
    db::Query *persons = def.rows();
    db::Table *local = DM->TblwcrNew;
    const QStringList key = ChildRowsKey(def);
    // The added persons go after those the record has, in the local list's
    // order, whatever place they held in the record they came from.
    int place = lastPlace(persons, def.sequenceField);
    db::Transaction transaction(DataDir);
    std::exception_ptr failure;
    try {
        for (const int row : localRows) {
            persons->append();
            CopyPersonColumns(persons, local, row);
            persons->fieldByName("item_4")->setAsString(key[0]);
            persons->fieldByName("item_dqdm")->setAsString(key[1]);
            persons->fieldByName(def.sequenceField)->setAsInteger(++place);
            persons->post();
            if (progress)
                progress();
        }
    } catch (...) {
        persons->cancel();
        failure = std::current_exception();
    }
    // The persons added before a failure keep their places too.
    RereadAndRenumber(def);
    transaction.commit();
    if (failure)
        std::rethrow_exception(failure);
}

TFormWcr::TFormWcr(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    ui::fixWindowSize(this, width(), height());
    DBGrid1->setColumns({{"item_180", u("名称"), 120}, {"item_185", u("工作单位"), 446, true}});
    DBGrid1->setMultiSelect(true);
    // Chosen rows stand out in maroon, focused or not.
    QPalette chosen = DBGrid1->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        chosen.setColor(group, QPalette::Highlight, QColor(128, 0, 0));
        chosen.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    DBGrid1->setPalette(chosen);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { showSelectedCount(); });
    ui::connectGuarded(BitBtn1, this, &TFormWcr::BitBtn1Click);
    ui::connectGuarded(Button1, this, &TFormWcr::Button1Click);
    ui::connectGuarded(BitBtn5, this, &TFormWcr::BitBtn5Click);
}

void TFormWcr::FormShow()
{
    db::Table *local = DM->TblwcrNew;
    local->setFilter(QString());
    local->setFiltered(false);
    if (!local->active())
        local->open();
    local->first(); // rows other datasets added since
    DBGrid1->setDataSource(DM->DSTwcrNew);
    Label1->setText(u("请选择记录(按住ctrl键进行多条选择)"));
}

void TFormWcr::showSelectedCount()
{
    Label1->setText(u("选择了") + QString::number(DBGrid1->selectedRows().size()) + u("记录！"));
}

void TFormWcr::BitBtn1Click()
{
    QList<int> rows = DBGrid1->selectedRows();
    showSelectedCount();
    if (!rows.isEmpty()) {
        AddLocalPersons(rows);
        closeNow();
        return;
    }
    if (ui::messageBox(u("没有选择人员，是否选择列表中的全部人员？"), u("提示信息"),
                       ui::MB_YESNO | ui::MB_ICONINFORMATION)
        != ui::IDYES)
        return;
    DBGrid1->selectAll();
    rows = DBGrid1->selectedRows();
    Label1->setText(u("正在载入，请等待！"));
    try {
        AddLocalPersons(rows, [this] { repaint(); });
    } catch (...) {
        showSelectedCount();
        throw;
    }
    showSelectedCount();
    closeNow();
}

void TFormWcr::Button1Click()
{
    db::Table *local = DM->TblwcrNew;
    if (!local->active() || local->isEmpty())
        return;
    const int remembered = local->fieldByName("item_187")->asInteger();
    if (ui::messageBox(u("是否删除该项目？!"), u("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION) != ui::IDYES)
        return;
    local->deleteRecord();
    local->locate("item_187", QString::number(remembered));
}

void TFormWcr::BuildeWcrTable()
{
    // Read every person first: the local list is emptied only once its new
    // rows are known.
    db::Table *all = DM->TableWcrTemp;
    all->setFiltered(false);
    if (!all->active())
        all->open();
    QList<int> firsts;
    QSet<QString> names;
    const int nameColumn = all->fieldByName("item_180")->index();
    for (int r = 0; r < all->rowCount(); ++r)
        if (const QString name = personName(all->rowValue(r, nameColumn)); !names.contains(name)) {
            names.insert(name);
            firsts << r;
        }
    static const char *const kept[] = {"item_180", "item_181", "item_182", "item_183",
                                       "item_184", "item_185", "item_186", "item_188"};
    db::Table *local = DM->TblwcrNew;
    local->setFilter(QString());
    local->setFiltered(false);
    if (!local->active())
        local->open();
    local->emptyTable();
    for (const int r : firsts) {
        local->append();
        for (const char *field : kept)
            local->fieldByName(field)->setValue(all->rowValue(r, all->fieldByName(field)->index()));
        local->post();
    }
}

void TFormWcr::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}
