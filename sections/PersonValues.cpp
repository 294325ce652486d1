#include "PersonValues.h"

#include "ListSection.h"
#include "SharedRoutines.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QRegularExpression>

namespace {

struct PersonCode
{
    const char *code;
    const char *name;
    bool offered = true; // in the grid's pick list
};

struct CodedColumn
{
    const char *field;
    QVector<PersonCode> codes;
};

const QVector<CodedColumn> &codedColumns()
{
    static const QVector<CodedColumn> columns = {
        {"item_181", {{"0", "男"}, {"1", "女"}}},
        {"item_183",
         {{"1", "院士"}, {"2", "正高"}, {"3", "副高"}, {"4", "中级"}, {"5", "初级"}, {"9", "其他"}, {"a", "两院院士"},
          {"b", "中科院院士"}, {"c", "工程院院士"}}},
        {"item_184", {{"2", "博士研究生"}, {"3", "硕士研究生"}, {"4", "大本"}, {"5", "大专"}, {"6", "中专"}, {"9", "其他"}}},
        // No is the dictionary's "0", which the dialog stores too; "2" is
        // the no an older grid stored, shown but no longer offered.
        {"item_188", {{"1", "是"}, {"0", "否"}, {"2", "否", false}}},
    };
    return columns;
}

const CodedColumn *codedColumn(const QString &field)
{
    for (const CodedColumn &column : codedColumns())
        if (field.compare(QLatin1String(column.field), Qt::CaseInsensitive) == 0)
            return &column;
    return nullptr;
}

bool isColumn(const QString &field, const char *name)
{
    return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

} // namespace

const QHash<QString, QString> &PersonCodeNames(const QString &field)
{
    // Built once: the grid asks for every coded cell it paints.
    static const QHash<QString, QHash<QString, QString>> names = [] {
        QHash<QString, QHash<QString, QString>> all;
        for (const CodedColumn &column : codedColumns())
            for (const PersonCode &c : column.codes)
                all[QLatin1String(column.field)].insert(QLatin1String(c.code), u(c.name));
        return all;
    }();
    static const QHash<QString, QString> none;
    const auto it = names.constFind(field.toLower());
    return it == names.cend() ? none : *it;
}

QVector<ui::PickItem> PersonPickList(const QString &field)
{
    QVector<ui::PickItem> items;
    if (const CodedColumn *column = codedColumn(field))
        for (const PersonCode &c : column->codes)
            if (c.offered)
                items.append({QLatin1String(c.code), QLatin1String(c.code) + QLatin1Char(' ') + u(c.name)});
    return items;
}

QDate BirthMonthDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})\\.(\\d{2})$"));
    const QRegularExpressionMatch m = form.match(text);
    return m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), 1) : QDate();
}

void CheckPersonValue(const QString &field, const QString &value)
{
    static const std::pair<const char *, const char *> required[] = {{"item_180", "姓名不能为空！"},
                                                                     {"item_181", "性别不能为空！"},
                                                                     {"item_183", "技术职称不能为空！"},
                                                                     {"item_184", "文化程度不能为空！"}};
    for (const auto &[column, message] : required)
        if (isColumn(field, column))
            RequireText(value, u(message));
    if (isColumn(field, "item_187"))
        CheckSequenceText(value, u("序号不能为空！"));
    const QString month = gbk::trim(value);
    if (isColumn(field, "item_182") && !month.isEmpty() && !BirthMonthDate(month).isValid())
        Refuse(month + u("不是正确的出生年月格式！"));
}
