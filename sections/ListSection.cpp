#include "ListSection.h"

#include "AppInfo.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/dataset/Query.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

#include <QVector>

namespace {

const QVector<ListSectionDef> &listSections()
{
    static const QVector<ListSectionDef> list = {
        {"05", u("合作完成单位情况"),
         {"select *  from  cgwcdw  where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order  by  item_176 "},
         {"select *  from  cgwcdw  where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order  by  item_176 "},
         "item_176", &TDM::QryCgwcdw, &TDM::DSQCgwcdw, u("记录已更改，是否保存后退出？"), {}, false},
        // The committee is re-read by rank: chair, vice-chairs, members.
        {"07", u("评价委员会名单"),
         {"select *  from  Jdwyhmd  where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order  by  item_190"},
         {"select *  from  Jdwyhmd where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order by  item_194 "},
         "item_190", &TDM::QryJdwyhmd, &TDM::DSQJdwyhmd, u("记录已更改，是否保存后退出？"), {}, true},
        {"08", u("成果完成人员名单"),
         {"select *  from  cgwcr  where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order  by  item_187 "},
         {"select *  from  cgwcr  where  item_4=:item_4", "and  item_dqdm=:item_dqdm", "order  by  item_187 "},
         "ITEM_187", &TDM::QryCgwcr, &TDM::DSQCgwcr, u("记录已更改,是否保存后退出？"), u("成果完成人员名单不能为空！"),
         true},
        // Not a section of the record: the unit's discipline leaders, chosen by
        // the table's filter on the unit's code.
        {"11", u("学科带头人名单"), {}, {}, "item_187", nullptr, &TDM::DSTexpert, u("记录已更改，是否保存后退出？"), {},
         false, &TDM::Tblexpert},
        // Not a section either: the patents of section 02's record, chosen
        // by the patent table's filter on the record's key.
        {"06", u("专利情况"), {}, {}, "item_no", nullptr, &TDM::DSTzlqk, u("记录已更改，是否保存后退出？"), {}, true,
         &TDM::tblzlqk},
    };
    return list;
}

} // namespace

db::Query *ListSectionDef::rows() const
{
    return query ? DM->*query : nullptr;
}

db::Dataset *ListSectionDef::list() const
{
    return table ? static_cast<db::Dataset *>(DM->*table) : DM->*query;
}

db::DataSource *ListSectionDef::dataSource() const
{
    return DM->*source;
}

QString ListSectionDef::addCaption() const
{
    return u("新增－－【") + title + u("】");
}

QString ListSectionDef::modifyCaption() const
{
    return u("修改－－【") + title + u("】");
}

const ListSectionDef &listSection(const QString &section)
{
    for (const ListSectionDef &def : listSections())
        if (def.section == section)
            return def;
    return listSections().first();
}

void OpenChildRows(const ListSectionDef &def, const QString &key, const QString &region)
{
    db::Query *rows = def.rows();
    rows->close();
    // Every change goes straight to its own record of the table: the record
    // is the row's identity, so a store, delete or renumbering can reach no
    // other row (not even one whose values are the same) and costs one write,
    // not a search of the whole table.
    rows->setCachedUpdates(false);

    rows->setSql(def.lines);
    rows->setParamString("item_4", key);
    rows->setParamString("item_dqdm", region);
    rows->open();
}

void RereadChildRows(const ListSectionDef &def)
{
    db::Query *rows = def.rows();
    rows->setSql(def.rereadLines); // closes; the key parameters stay
    rows->open();
}

QStringList ChildRowsKey(const ListSectionDef &def)
{
    db::Query *rows = def.rows();
    return {rows->param("item_4").toString(), rows->param("item_dqdm").toString()};
}

void RereadAndRenumber(const ListSectionDef &def)
{
    RereadChildRows(def);
    RenumberRows(def.rows(), def.sequenceField);
}

void RenumberList(const ListSectionDef &def)
{
    if (def.table)
        RenumberRows(def.list(), def.sequenceField);
    else
        RereadAndRenumber(def);
}

void ShowMessage(const QString &text)
{
    ui::messageBox(text, applicationTitle(), ui::MB_OK);
}

bool IsSequenceNumber(const QString &text)
{
    bool ok = false;
    gbk::trim(text).toInt(&ok);
    return ok;
}

void CheckSequenceText(const QString &text, const QString &emptyWarning)
{
    const QString number = gbk::trim(text);
    if (number.isEmpty()) {
        if (!emptyWarning.isEmpty())
            ShowWarning(emptyWarning);
        ui::abortAction();
    }
    if (!IsSequenceNumber(number)) {
        ShowMessage(QString::fromUtf8("输入序号必须为数字！"));
        ui::abortAction();
    }
}
