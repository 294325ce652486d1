#include "QueryBuilder.h"

#include "SharedRoutines.h"
#include "db/dataset/Dataset.h"
#include "db/sql/SqlParser.h"
#include "db/file/Value.h"
#include "text/Gbk.h"

#include <cmath>

const QString kContainsOperator = QStringLiteral("包含");

namespace {

const QChar kLikeEscape = QLatin1Char('\\');

// The value inside a like pattern, its wildcards made plain characters.
QString likeText(const QString &value, bool *escaped)
{
    QString out;
    *escaped = false;
    for (const QChar c : value) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == kLikeEscape) {
            out += kLikeEscape;
            *escaped = true;
        }
        out += c;
    }
    return out;
}

} // namespace

QString QueryComparison(const QString &column, const QString &op, const QString &value)
{
    if (op == kContainsOperator) {
        bool escaped = false;
        const QString pattern = QLatin1Char('%') + likeText(value, &escaped) + QLatin1Char('%');
        // The escape clause only where it is needed, so the usual condition
        // reads as plainly as the user built it.
        return QLatin1Char(' ') + column + QStringLiteral(" like ") + SqlLiteral(pattern)
               + (escaped ? QStringLiteral(" escape ") + SqlLiteral(kLikeEscape) : QString());
    }
    return QLatin1Char(' ') + column + QLatin1Char(' ') + op + SqlLiteral(value);
}

QString QueryValueProblem(const QString &fieldName, char type, const QString &op, const QString &value)
{
    // Contains looks into the value's text; an empty value means an empty field.
    const QString v = gbk::trim(value);
    if (op == kContainsOperator || v.isEmpty())
        return {};
    if (type == 'N' || type == 'F') {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return QStringLiteral("“%1”的查询值'%2'不是数字格式！").arg(fieldName, value);
    } else if (type == 'D' && !db::parseDate(v).isValid()) {
        return QStringLiteral("“%1”的查询值'%2'不是日期格式，请按2006-05-18的格式输入！").arg(fieldName, value);
    }
    return {};
}

QString ClassificationCode(const QString &text)
{
    return gbk::trim(text.left(text.indexOf(QStringLiteral("  ")))); // left(-1) is the whole text
}

bool QueryParenthesesInOrder(const QString &condition)
{
    // Quoted values blanked out: their parentheses are text, not structure.
    QString t;
    bool quoted = false;
    for (const QChar c : condition) {
        if (c == QLatin1Char('\''))
            quoted = !quoted; // a doubled quote leaves and enters again
        t += quoted || c == QLatin1Char('\'') ? QLatin1Char(' ') : c;
    }
    for (;;) {
        const qsizetype open = t.indexOf(QLatin1Char('('));
        const qsizetype close = t.indexOf(QLatin1Char(')'));
        if (open < 0 || close < 0)
            return true;
        if (open > close)
            return false;
        t = t.mid(close + 1);
    }
}

void CheckQueryCondition(const QString &condition)
{
    db::sql::parseCondition(condition);
}

QStringList QueryStatement(const QString &condition, int categoryIndex, const QString &yearText)
{
    const QString year = yearText.left(4).trimmed();
    return {QStringLiteral("select * from kjcg"), QStringLiteral(" where  ("), gbk::trim(condition),
            QStringLiteral(" ) and (item_cglb='%1' and item_4 like %2)")
                .arg(categoryIndex + 1)
                .arg(SqlLiteral(year + QLatin1Char('%')))};
}

bool LocateQueryField(db::Dataset *fields, int listIndex)
{
    if (listIndex < 0)
        return false;
    int named = 0;
    for (fields->first(); !fields->eof(); fields->next())
        if (!fields->fieldByName(QStringLiteral("Name"))->isNull() && named++ == listIndex)
            return true;
    return false;
}
