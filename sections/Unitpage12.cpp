#include "Unitpage12.h"

#include "CgwcrManage.h"
#include "Finto8Unit.h"
#include "ListSection.h"
#include "SectionForm.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "db/journal/Journal.h"

#include <QMap>
#include <algorithm>
#include <limits>

TFpage12 *Fpage12 = nullptr;

namespace {

QStringList personKey(db::Dataset *persons)
{
    return {gbk::trimRight(persons->fieldByName("ITEM_4")->asString()),
            gbk::trimRight(persons->fieldByName("ITEM_DQDM")->asString())};
}

struct Person
{
    db::Dataset::Bookmark row;
    double number; // a missing number sorts last
    db::Value oldNumber;
    db::Value oldReturned;
    bool returnedKept;
};

} // namespace

void RenumberPersons(db::Dataset *persons, const QStringList &key)
{
    db::Transaction transaction(DataDir);
    const db::Dataset::Bookmark here = persons->bookmark();
    db::Field *number = persons->fieldByName("ITEM_187");
    db::Field *returned = persons->fieldByName("ITEM_188");
    persons->disableControls();
    QMap<QStringList, QVector<Person>> records;
    for (persons->first(); !persons->eof(); persons->next()) {
        const QStringList owner = personKey(persons);
        if (!key.isEmpty() && owner != key)
            continue;
        const bool numbered = !number->isNull();
        records[owner].append({persons->bookmark(),
                               numbered ? number->asFloat() : std::numeric_limits<double>::infinity(),
                               number->value(), returned->value(), gbk::trim(returned->asString()) == "1"});
    }
    QVector<Person> written;
    try {
        for (QVector<Person> &list : records) {
            std::stable_sort(list.begin(), list.end(),
                             [](const Person &a, const Person &b) { return a.number < b.number; });
            for (int place = 1; place <= list.size(); ++place) {
                const Person &p = list[place - 1];
                const bool renumber = p.number != place;
                const bool returnedWritten = !p.returnedKept && gbk::trim(p.oldReturned.toString()) != "0";
                if (!renumber && !returnedWritten)
                    continue;
                persons->gotoBookmark(p.row);
                persons->edit();
                number->setAsInteger(place);
                if (!p.returnedKept)
                    returned->setAsString("0");
                persons->post();
                written.append(p);
            }
        }
    } catch (...) {
        persons->cancel();
        for (const Person &p : written) {
            try {
                persons->gotoBookmark(p.row);
                persons->edit();
                number->setValue(p.oldNumber);
                returned->setValue(p.oldReturned);
                persons->post();
            } catch (...) {
                persons->cancel(); // the first error is the one to report
            }
        }
        persons->gotoBookmark(here);
        persons->enableControls();
        throw;
    }
    persons->gotoBookmark(here);
    persons->enableControls();
    transaction.commit();
}

TFpage12::TFpage12(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    DBGrid4->setColumns({{"ITEM_187", u("序号"), 40},
                         {"ITEM_180", u("姓名"), 70},
                         {"ITEM_182", u("出生年月"), 66},
                         {"V_181", u("性别"), 44},
                         {"V_183", u("技术职称"), 84},
                         {"V_184", u("文化程度"), 84},
                         {"V_188", u("是否留学归国"), 90},
                         {"ITEM_185", u("工作单位"), 150, true},
                         {"ITEM_186", u("对成果创造性贡献"), 150, true}});
    ui::connectGuarded(Button1, this, &TFpage12::Button1Click);
    ui::connectGuarded(Button2, this, &TFpage12::Button2Click);
    ui::connectGuarded(Button3, this, &TFpage12::Button3Click);
    ui::connectGuarded(Button4, this, &TFpage12::Button4Click);
    ui::connectGuarded(Button5, this, &TFpage12::Button5Click);
    ui::connectGuarded(quit01, this, &TFpage12::quit01Click);
}

void TFpage12::FormShow()
{
    ui::fixWindowSize(this, 800, 600);
    db::Table *persons = DM->TblCgwcr;
    m_filter = persons->filter();
    m_filtered = persons->filtered();
    persons->setFiltered(false);
    if (!persons->active())
        persons->open();
    DBGrid4->setDataSource(DM->DSTcgwcr);
    RenumberPersons(persons);
    persons->first();
}

void TFpage12::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

void TFpage12::FormClose()
{
    db::Table *persons = DM->TblCgwcr;
    DBGrid4->setDataSource(nullptr);
    if (persons->active()) {
        RenumberPersons(persons);
        persons->first();
    }
    // Whoever filtered the table finds it as they left it.
    persons->setFilter(m_filter);
    persons->setFiltered(m_filtered);
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
}

void TFpage12::Button1Click()
{
    db::Table *persons = DM->TblCgwcr;
    if (!persons->active() || persons->isEmpty())
        return;
    const QStringList key = personKey(persons);
    const int remembered = persons->fieldByName("ITEM_187")->asInteger();
    if (ui::messageBox(u("是否删除该项目？!"), u("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION) != ui::IDYES)
        return;
    db::Transaction transaction(DataDir);
    persons->deleteRecord();
    RenumberPersons(persons, key);
    transaction.commit();
    // The person of the same record who moved into the deleted one's place.
    const db::Dataset::Bookmark here = persons->bookmark();
    for (persons->first(); !persons->eof(); persons->next())
        if (personKey(persons) == key && persons->fieldByName("ITEM_187")->asInteger() == remembered)
            return;
    persons->gotoBookmark(here);
}

bool TFpage12::openCurrentRecordsPersons()
{
    db::Query *record = DM->Qrykjcg;
    if (!record->active() || record->isEmpty()) {
        ShowWarning(u("请先在主窗口选择一项成果！"));
        return false;
    }
    OpenChildRows(listSection("08"), record->fieldByName("ITEM_4")->asString(),
                  record->fieldByName("ITEM_DQDM")->asString());
    return true;
}

void TFpage12::showPersonDialog(const QString &caption)
{
    Finto8->setWindowTitle(caption);
    ui::showModal(Finto8);
    DM->TblCgwcr->refresh();
}

void TFpage12::Button2Click()
{
    if (openCurrentRecordsPersons())
        showPersonDialog(listSection("08").addCaption());
}

void TFpage12::Button3Click()
{
    db::Table *persons = DM->TblCgwcr;
    if (!persons->active() || persons->isEmpty()) {
        Button2Click();
        return;
    }
    // The person is changed in the record it belongs to.
    const ListSectionDef &def = listSection("08");
    const QStringList key = personKey(persons);
    OpenChildRows(def, key[0], key[1]);
    if (def.rows()->gotoBookmark(persons->bookmark()))
        showPersonDialog(def.modifyCaption());
}

void TFpage12::Button4Click()
{
    ShowSectionHelp();
}

void TFpage12::Button5Click()
{
    if (!openCurrentRecordsPersons())
        return;
    ui::showModal(FormWcr);
    DM->TblCgwcr->refresh();
}

void TFpage12::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFpage12::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void TFpage12::done(int result)
{
    QDialog::done(result);
    ui::guarded([this] { FormClose(); });
}
