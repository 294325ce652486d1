#include "UnitBasicData.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

void fillUnitTypes(QComboBox *combo)
{
    FillComboFromDict(DM->Tblzdxx, QStringLiteral("item_62"), combo, 1);
}

void fillProvinces(QComboBox *combo)
{
    FillComboCodeName(DM->tblProvince, combo, QStringLiteral("Province_i"), QStringLiteral("Province_n"), 1);
}

// The ministry may stay open: the list ends with the blank item.
void fillMinistries(QComboBox *combo)
{
    FillComboCodeName(DM->tblLsbw, combo, QStringLiteral("Bwdm"), QStringLiteral("Bwmc"), 0);
}

bool blank(const QString &text)
{
    return gbk::trim(text).isEmpty();
}

} // namespace

FieldBindings unitDataBindings(const UnitDataControls &c, const QString &table)
{
    FieldBindings out;
    for (const auto &[column, edit] :
         {std::pair{"item_9", c.name}, {"item_420", c.legalCode}, {"item_37", c.address}, {"item_38", c.postcode},
          {"item_39", c.phone}, {"item_40", c.fax}, {"item_60", c.website}, {"item_41", c.contact},
          {"item_41_2", c.contactPhone}, {"item_61", c.email}})
        out.push_back(textBinding(QString::fromLatin1(column), edit, table));
    out.push_back(codeBinding(QStringLiteral("item_62"), c.type, 3, fillUnitTypes));
    out.push_back(codeBinding(QStringLiteral("item_41_3"), c.ownership, 3, fillOwnerships));
    out.push_back(codeBinding(QStringLiteral("item_64"), c.province, 3, fillProvinces));
    out.push_back(codeBinding(QStringLiteral("item_63"), c.ministry, 3, fillMinistries));
    return out;
}

void fillOwnerships(QComboBox *combo)
{
    FillComboFromDict(DM->Tblzdxx, QStringLiteral("item_41_3"), combo, 1);
}

bool isEnterpriseType(const QComboBox *type)
{
    return type->currentText().contains(u("企业"));
}

void unitTypeChanged(const UnitDataControls &c)
{
    fillOwnerships(c.ownership);
    const bool enterprise = isEnterpriseType(c.type);
    if (!enterprise) {
        c.converted->setChecked(false);
        c.ownership->clear();
    }
    c.converted->setEnabled(enterprise);
    c.ownership->setEnabled(enterprise);
}

void checkUnitData(const UnitDataControls &c)
{
    const bool enterprise = isEnterpriseType(c.type);
    const std::pair<bool, const char *> required[] = {
        {blank(c.name->text()), "\"单位名称\"不能为空！"},
        {blank(c.address->text()), "\"通讯地址\"不能为空！"},
        {blank(c.postcode->text()), "\"邮政编码\"不能为空！"},
        {blank(c.type->currentText()), "\"单位属性\"不能为空！"},
        {enterprise && blank(c.ownership->currentText()), "\"企业所有制属性\"不能为空！"},
        {blank(c.province->currentText()), "\"单位所在省市\"不能为空！"},
        {blank(c.contact->text()), "\"联系人\"不能为空！"},
        {blank(c.contactPhone->text()), "\"联系人电话\"不能为空！"},
    };
    for (const auto &[missing, message] : required) {
        if (missing)
            Refuse(u(message));
    }
}
