// The record list of the main window: listing by category and year, the
// numbers in NO, the section marks, the navigation lock, and the delete of
// records (new and modify are the dialog's, in UnitNew.cpp).
#include "RecordRoutines.h"
#include "Sections.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QCloseEvent>
#include <QSignalBlocker>

QString ListSql;

namespace {

// The required sections of a record of this category, in the order the
// close question looks at them.
QStringList requiredSections(const QString &category)
{
    if (category == "1")
        return {"01", "02", "03", "04", "08"};
    return {"01", "03", "04", "08"};
}

QString currentCategory()
{
    if (!DM->Qrykjcg->active() || DM->Qrykjcg->isEmpty())
        return {};
    return DM->Qrykjcg->fieldByName("item_cglb")->asString().trimmed();
}

} // namespace

ui::BitBtn *TMainForm::SectionButton(const QString &section) const
{
    const SectionInfo *s = sectionByCode(section);
    return s ? Panel8->findChild<ui::BitBtn *>(s->buttonName) : nullptr;
}

void TMainForm::SetSectionState(const QString &section, bool complete)
{
    ui::BitBtn *b = SectionButton(section);
    if (!b)
        return;
    b->setKind(complete ? ui::BitBtn::bkYes : ui::BitBtn::bkHelp);
    b->setText(sectionByCode(section)->caption);
}

void TMainForm::RefreshRecordList()
{
    const int category = ComboBox1->currentIndex();
    if (category < 0)
        return;
    const QString year = cbYear->currentText().left(4).trimmed();
    btn_page02->setVisible(category == 0);
    const QString sql = QString("select * from kjcg where item_cglb='%1' and item_4 like %2")
                            .arg(category + 1)
                            .arg(SqlLiteral(year + "%"));
    DM->Qrykjcg->close();
    DM->Qrykjcg->setSql(sql);
    DM->Qrykjcg->open();
    ListSql = DM->Qrykjcg->sql();
}

void TMainForm::RenumberList()
{
    db::Query *list = DM->Qrykjcg;
    DBGrid1->setDataSource(DM->DS_null);
    RenumberRows(list, "NO");
    DBGrid1->setDataSource(DM->DSQkjcg);
    list->first();
}

void TMainForm::SetAllSectionKinds(ui::BitBtn::Kind kind)
{
    for (ui::BitBtn *b : Panel8->findChildren<ui::BitBtn *>()) {
        const QString caption = b->text();
        b->setKind(kind);
        b->setText(caption);
    }
}

void TMainForm::MarkSectionStatus()
{
    SetAllSectionKinds(ui::BitBtn::bkYes);
    db::Query *list = DM->Qrykjcg;
    if (!list->active() || list->isEmpty())
        return;
    const QString filter = ComboBox1->currentIndex() == 0 ? "lb='a' or lb='1'" : "lb='a' or lb='2'";
    DM->QryCheckUp->close();
    DM->QryCheckUp->setSql(QStringList{"select * from checkup where ", filter});
    DM->QryCheckUp->open();
    // The required fields mark sections 01 to 04 only: 08 goes by its
    // persons, and 05, 07 and 09 are never marked incomplete here.
    static const QStringList checkedSections = {"01", "02", "03", "04"};
    for (DM->QryCheckUp->first(); !DM->QryCheckUp->eof(); DM->QryCheckUp->next()) {
        const QString id = DM->QryCheckUp->fieldByName("id")->asString().trimmed();
        const QString section = DM->QryCheckUp->fieldByName("button")->asString().trimmed();
        if (list->fieldByName(id)->isNull() && checkedSections.contains(section))
            SetSectionState(section, false);
    }

    db::Table *persons = DM->TblCgwcr;
    persons->close();
    persons->setFilter("item_4=" + SqlLiteral(list->fieldByName("ITEM_4")->asString()) + " and item_dqdm="
                       + SqlLiteral(list->fieldByName("ITEM_DQDM")->asString()));
    persons->setFiltered(true);
    persons->open();
    if (persons->isEmpty())
        SetSectionState("08", false);
}

bool TMainForm::UpdateNavigationLock()
{
    bool complete = true;
    for (const QString &s : requiredSections(currentCategory()))
        complete = complete && SectionButton(s)->kind() == ui::BitBtn::bkYes;
    for (QWidget *w : QList<QWidget *>{DBGrid1, ComboBox1, cbYear, SpeedButton16, SpeedButton26, Button1, Button5,
                                       BitBtn1, BitBtn2, BitBtn4})
        w->setEnabled(complete);
    return complete;
}

void TMainForm::DeleteKjcgRecord(db::Query *query, const QString &column, const QString &value)
{
    query->close();
    query->setSql("DELETE FROM kjcg WHERE " + column + "=" + SqlLiteral(value));
    query->execSql();
    RefreshRecordList();
}

void TMainForm::ComboBox1Change()
{
    RefreshRecordList();
    MarkSectionStatus();
    RenumberList();
    UpdateNavigationLock();
}

void TMainForm::DBGrid1CellClick()
{
    if (!DM->Qrykjcg->active() || DM->Qrykjcg->isEmpty())
        return;
    MarkSectionStatus();
    UpdateNavigationLock();
    if (!DBGrid1->isEnabled())
        ui::messageBox(QString::fromUtf8("当前项目有未完成栏目，请您填写完毕!"), QString::fromUtf8("提示信息"),
                       ui::MB_OK | ui::MB_ICONINFORMATION);
}

bool TMainForm::FormCloseQuery()
{
    for (const QString &s : requiredSections(currentCategory())) {
        if (SectionButton(s)->kind() == ui::BitBtn::bkYes)
            continue;
        return ui::messageBox(sectionByCode(s)->closeQuestion, QString::fromUtf8("提示信息"),
                              ui::MB_OKCANCEL | ui::MB_ICONINFORMATION)
               == ui::IDOK;
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent *e)
{
    bool allowed = true;
    if (!ui::guarded([&] { allowed = FormCloseQuery(); }))
        allowed = true; // an error while asking must not trap the user
    if (allowed)
        e->accept();
    else
        e->ignore();
}

void TMainForm::FormShowList()
{
    Edit2->hide();
    ComboBox5->hide();
    ComboBox6->hide();
    const QSignalBlocker blockYear(cbYear), blockCategory(ComboBox1), blockField(ComboBox2);
    FillComboDistinct(DM->tblzdxx1, ComboBox2, "Name");
    ReopenQuery(DM->tempquery, "select item_4 from kjcg order by item_4 desc");
    FillYearCombo(DM->tempquery, cbYear);
    ComboBox1->setCurrentIndex(0);
    if (cbYear->count() > 0)
        cbYear->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(ComboBox2->count() > 0 ? 0 : -1);
    if (ComboBox2->currentIndex() >= 0) {
        DM->tblzdxx1->first();
        DM->tblzdxx1->moveBy(ComboBox2->currentIndex());
        FillComboFromDict(DM->Tblzdxx, DM->tblzdxx1->field(1)->asString().trimmed(), Combobox3, 0);
    }
    Combobox3->setCurrentIndex(Combobox3->count() > 0 ? 0 : -1);
    ComboBox4->setCurrentIndex(0);
}

void TMainForm::Button4Click()
{
    db::Query *list = DM->Qrykjcg;
    if (!list->active() || list->isEmpty())
        return;
    const QString title = list->fieldByName("item_3")->asString();
    if (ui::messageBox(QString::fromUtf8("是否删除'") + title + "'" + QString::fromUtf8("项目?"),
                       QString::fromUtf8("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION)
        != ui::IDYES)
        return;
    const int number = gbk::trim(list->fieldByName("no")->asString()).toInt();
    const QString key = gbk::trim(list->fieldByName("item_4")->asString());
    const QString region = gbk::trim(list->fieldByName("item_dqdm")->asString());

    // The child rows, then the record, as one: a crash or an error leaves
    // the record whole. A record of another region with the same key stays.
    try {
        db::Transaction transaction(DataDir);
        KeepRecordRows(transaction, key, region, RecordChange::Deletion);
        DeleteChildRows(key, region);
        db::Query *statement = DM->tempquery;
        statement->close();
        statement->setSql("DELETE FROM kjcg WHERE item_4=" + SqlLiteral(key) + " and item_dqdm=" + SqlLiteral(region));
        statement->execSql();
        transaction.commit();
    } catch (...) {
        // Taken back (or left for the next start): the list shows what is
        // stored. The first error is the one to report.
        try {
            RefreshRecordList();
        } catch (...) {
        }
        throw;
    }
    AfterStored(QString::fromUtf8("项目已经删除"), [&] {
        RefreshRecordList();
        MarkSectionStatus();
        UpdateNavigationLock();
        RenumberList();
        // The record that took the deleted one's number, or the first.
        if (!list->locate("no", QString::number(number), true))
            list->first();
    });
}
