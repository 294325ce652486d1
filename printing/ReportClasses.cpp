#include "ReportClasses.h"

namespace {

using RC = ReportClass;
using PL = PageLabelKind;

const ReportClassInfo kClasses[ReportClassCount] = {
    {RC::Tyyfm1, "Tyyfm1", "封面", PL::None},
    {RC::Tyyfm2, "Tyyfm2", "封面填写说明", PL::None},
    {RC::TyyPrint01, "TyyPrint01", "填报说明", PL::None},
    {RC::TyyPrint02, "TyyPrint02", "成果概况、立项情况填写说明", PL::None},
    {RC::TyyPrint03, "TyyPrint03", "成果概况，立项情况", PL::PageLabel},
    {RC::TyyPrint04, "TyyPrint04", "评价情况、知识产权状况、成果应用情况填写说明", PL::None},
    {RC::TyyPrint05, "TyyPrint05", "评价情况，知识产权状况，成果应用情况", PL::PageLabel},
    {RC::TyyPrint06, "TyyPrint06", "成果完成单位情况填写说明", PL::None},
    {RC::TyyPrint07, "TyyPrint07", "成果完成单位情况", PL::PageLabel},
    {RC::TyyPrint08, "TyyPrint08", "批准登记单位意见", PL::PageLabel},
    {RC::TyyPrint09, "TyyPrint09", "成果简介", PL::PageLabel},
    {RC::TyyPrint10, "TyyPrint10", "成果完成人员名单", PL::ListLabel},
    {RC::TyyPrint11, "TyyPrint11", "评价委员会名单", PL::ListLabel},
    {RC::TyyPrint12, "TyyPrint12", "附件三、附件四", PL::None},
    {RC::TyyPrint14, "TyyPrint14", "附件四（续）、附件五", PL::None},
    {RC::Trjfm1, "Trjfm1", "封面", PL::None},
    {RC::Trjfm2, "Trjfm2", "封面填写说明", PL::None},
    {RC::TrjPrint01, "TrjPrint01", "填报说明", PL::None},
    {RC::TrjPrint02, "TrjPrint02", "成果概况、立项情况填写说明", PL::None},
    {RC::TrjPrint03, "TrjPrint03", "成果概况，立项情况", PL::PageLabel},
    {RC::TrjPrint04, "TrjPrint04", "评价情况、成果完成单位情况填写说明", PL::None},
    {RC::TrjPrint05, "TrjPrint05", "评价情况，成果完成单位情况", PL::PageLabel},
    {RC::TrjPrint06, "TrjPrint06", "批准登记单位意见", PL::PageLabel},
    {RC::TrjPrint07, "TrjPrint07", "成果简介", PL::PageLabel},
    {RC::TrjPrint08, "TrjPrint08", "成果完成人员名单", PL::ListLabel},
    {RC::TrjPrint09, "TrjPrint09", "评价委员会名单", PL::ListLabel},
    {RC::TrjPrint10, "TrjPrint10", "附件三：社会经济目标", PL::None},
    {RC::TrjPrint11, "TrjPrint11", "附件四：国民经济行业分类", PL::None},
};

} // namespace

const ReportClassInfo &reportClassInfo(ReportClass cls)
{
    return kClasses[reportIndex(cls)];
}

QString ReportClassName(ReportClass cls)
{
    return QString::fromLatin1(reportClassInfo(cls).name);
}

QString ReportTitle(ReportClass cls)
{
    return QString::fromUtf8(reportClassInfo(cls).title);
}

QString ReportLayoutPath(ReportClass cls)
{
    return QStringLiteral(":/reports/%1.layout").arg(ReportClassName(cls));
}
