#include "UnitCodeList.h"

#include "db/dataset/Table.h"
#include "text/Gbk.h"

const UnitCodeRow kUnitCodeRows[4] = {
    {"item_124_1", "edt_124_1_", "Panel6", "优势领域", 20, false},
    {"item_124_2", "edt_124_2_", "Panel4", "研究领域", 0, false},
    {"item_15_1", "edt_15_1_", "Panel5", "研究所属学科", 10, true},
    {"item_15", "edt_15_", "Panel7", "优势学科", 30, true},
};

QString unitCodeEntry(const QString &editText)
{
    const QString text = gbk::trim(editText);
    if (text.isEmpty())
        return {};
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return (blank < 0 ? text : text.left(blank)) + QStringLiteral(" ;");
}

QString unitCodeList(const QStringList &editTexts)
{
    QString list;
    for (const QString &text : editTexts)
        list += unitCodeEntry(text);
    return list;
}

QStringList unitCodes(const QString &stored)
{
    QStringList codes;
    for (const QString &entry : stored.split(QLatin1Char(';'))) {
        const QString code = gbk::trim(entry);
        if (!code.isEmpty())
            codes << code;
    }
    return codes;
}

QString unitCodeText(db::Table *classification, const QString &code)
{
    // "*" would make the filter match by prefix and show another class.
    if (!classification || code.contains(QLatin1Char('*')))
        return code;
    classification->close();
    classification->setFiltered(false);
    classification->setFilter(QStringLiteral("xxdm='") + QString(code).replace(QLatin1Char('\''), QStringLiteral("''"))
                              + QLatin1Char('\''));
    classification->setFiltered(true);
    classification->open();
    if (classification->isEmpty())
        return code;
    classification->first();
    return gbk::trim(classification->field(1)->asString()) + QStringLiteral("  ")
           + gbk::trim(classification->field(2)->asString());
}
