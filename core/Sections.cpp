#include "Sections.h"

const QVector<SectionInfo> &sections()
{
    static const QVector<SectionInfo> list = {
        {"01", "btn_page01", QString::fromUtf8("成果概况"), QString::fromUtf8("成果概况没有填完,是否以后再填写该项目？")},
        {"02", "btn_page02", QString::fromUtf8("知识产权，成果应用情况"),
         QString::fromUtf8("知识产权，成果应用情况没有填完,是否以后再填写该项目？")},
        {"03", "btn_page03", QString::fromUtf8("课题立项，评价情况"),
         QString::fromUtf8("课题立项，评价没有填完,是否以后再填写该项目？")},
        {"04", "btn_page04", QString::fromUtf8("第一完成单位情况"),
         QString::fromUtf8("第一完成单位情况没有填完,是否以后再填写该项目？")},
        {"05", "btn_page05", QString::fromUtf8("合作完成单位情况"), {}},
        {"07", "btn_page07", QString::fromUtf8("评价委员会名单"), {}},
        {"08", "btn_page08", QString::fromUtf8("成果完成人员名单"),
         QString::fromUtf8("成果完成人员名单没有填完,是否以后再填写该项目？？")},
        {"09", "btn_page09", QString::fromUtf8("鉴定证书内容"), {}},
    };
    return list;
}

const SectionInfo *sectionByCode(const QString &code)
{
    for (const SectionInfo &s : sections())
        if (s.code == code)
            return &s;
    return nullptr;
}
