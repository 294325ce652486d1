#include "WordText.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Gbk.h"

namespace {

QString midBytes(const QString &text, qsizetype pos, qsizetype len)
{
    return gbk::decode(gbk::encode(text).mid(pos, len));
}

// "2003.01" → "2003年01月"; a part without "." is taken as the month.
QString yearMonth(const QString &part)
{
    if (part.isEmpty())
        return {};
    const qsizetype dot = part.indexOf(QLatin1Char('.'));
    return (dot < 0 ? QString() : part.left(dot)) + QStringLiteral("年") + part.mid(dot + 1) + QStringLiteral("月");
}

void filterTo(db::Table *table, const QString &filter)
{
    table->setFiltered(false);
    table->setFilter(filter);
    table->setFiltered(true);
    if (!table->active())
        table->open();
    table->first();
}

} // namespace

std::pair<QString, QString> SplitPeriodText(const QString &period)
{
    const qsizetype to = period.indexOf(QStringLiteral("至"));
    const QString start = gbk::trim(to < 0 ? period : period.left(to));
    const QString end = to < 0 ? QString() : gbk::trim(period.mid(to + 1));
    return {yearMonth(start), yearMonth(end)};
}

std::array<QString, 3> SplitThree(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(';'));
    return {parts.value(0), parts.value(1), parts.value(2)};
}

QString CodeText(db::Table *dict, const QString &fieldCode, const QString &code)
{
    filterTo(dict, QStringLiteral("zddm =") + SqlLiteral(fieldCode) + QStringLiteral(" and xxdm =") + SqlLiteral(code));
    return dict->eof() ? QString() : dict->fieldByName(QStringLiteral("xxmc"))->asString();
}

QString LookupCodeName(db::Table *table, const QString &keyField, const QString &nameField, const QString &value)
{
    filterTo(table, keyField + QStringLiteral(" =") + SqlLiteral(value));
    if (table->eof())
        return {};
    const QString name = table->fieldByName(nameField)->asString();
    return name.isEmpty() ? QString() : table->fieldByName(keyField)->asString() + QLatin1Char(' ') + name;
}

QString CodePairText(db::Table *dict, const QString &fieldCode, const QString &value)
{
    if (value.isEmpty())
        return {};
    const qsizetype first = value.indexOf(QLatin1Char(';'));
    if (first < 0)
        return CodeText(dict, fieldCode, value);
    const QString rest = value.mid(first + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(';'));
    // An empty second code is looked up like any other and names nothing.
    const QString firstName = CodeText(dict, fieldCode, gbk::trim(value.left(first)));
    const QString secondName = CodeText(dict, fieldCode, second < 0 ? QString() : gbk::trim(rest.left(second)));
    return firstName + QLatin1Char(';') + secondName;
}

std::array<QString, 3> SplitDateText(const QString &date)
{
    if (date.isEmpty())
        return {};
    return {midBytes(date, 0, 4), midBytes(date, 5, 2), midBytes(date, 8, 2)};
}

QString WithTrailingReturn(const QString &text, int below)
{
    return gbk::byteLength(text) < below ? text + QLatin1Char('\r') : text;
}

QString RecordText(const QString &field)
{
    return DM->Qrykjcg->fieldByName(field)->asString();
}

QString ProjectSourceText()
{
    const QString sources = CodePairText(DM->Tblzdxx, QStringLiteral("item_126"), RecordText(QStringLiteral("item_126")));
    const QString plan = RecordText(QStringLiteral("item_140"));
    if (plan.isEmpty())
        return sources;
    const QString planName = CodeText(DM->Tblzdxx, QStringLiteral("item_140"), plan);
    const QString national = QStringLiteral("国家科技计划");
    const qsizetype at = sources.indexOf(national + QLatin1Char(';'));
    if (at < 0)
        return sources;
    return sources.left(at) + national + QLatin1Char('(') + planName + QStringLiteral(");")
           + sources.mid(at + national.size() + 1);
}

QString UnitAttributeText()
{
    QString text = CodeText(DM->Tblzdxx, QStringLiteral("item_62"), RecordText(QStringLiteral("item_62")));
    const QString ownership = RecordText(QStringLiteral("item_41_3"));
    if (!ownership.isEmpty())
        text += QLatin1Char('(') + CodeText(DM->Tblzdxx, QStringLiteral("item_41_3"), ownership) + QLatin1Char(')');
    return text;
}

QString ReasonText()
{
    QString text = CodePairText(DM->Tblzdxx, QStringLiteral("item_32_1"), RecordText(QStringLiteral("item_32_1")));
    const QString detail = CodeText(DM->Tblzdxx, QStringLiteral("item_160"), RecordText(QStringLiteral("item_160")));
    if (!detail.isEmpty())
        text += QLatin1Char('(') + detail + QLatin1Char(')');
    return text;
}

std::optional<QString> ConversionNote()
{
    if (RecordText(QStringLiteral("item_163")) == QLatin1String("1"))
        return QStringLiteral("(属于科研机构转制型企业)");
    return std::nullopt;
}

QString RegistrationDateText()
{
    // The engine gives a date field as yyyy-MM-dd, the program's short date
    // format, and an empty date as an empty text.
    return RecordText(QStringLiteral("item_121"));
}

std::pair<QString, std::optional<QString>> SecrecyMark()
{
    const QString level = RecordText(QStringLiteral("item_1"));
    if (level == QLatin1String("2") || level == QLatin1String("3") || level == QLatin1String("4"))
        return {QStringLiteral("1"), level};
    return {QStringLiteral("0"), std::nullopt};
}
