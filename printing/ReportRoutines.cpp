#include "ReportRoutines.h"

#include "SharedRoutines.h"
#include "db/dataset/Field.h"
#include "db/dataset/Table.h"
#include "report/Report.h"
#include "text/Gbk.h"

namespace {

const QString kCheckMark = QStringLiteral("√");
constexpr int kPrefixLength = 3; // "QL_"

} // namespace

void SetCodeLabel(db::Table *dict, const QString &fieldCode, const QString &value, report::Report &report,
                  const QString &label)
{
    dict->setFiltered(false);
    dict->setFilter(QStringLiteral("zddm =") + SqlLiteral(fieldCode));
    dict->setFiltered(true);
    dict->open();
    QString caption;
    for (dict->first(); !dict->eof(); dict->next())
        if (dict->fieldByName(QStringLiteral("xxdm"))->asString() == value)
            caption = dict->fieldByName(QStringLiteral("xxmc"))->asString();
    report.setCaption(label, caption);
}

void ClearCheckLabels(report::Report &report)
{
    for (const QString &name : report.elementNames())
        if (report.kind(name) == report::Element::Label && name.indexOf(QLatin1String("ITEM")) >= kPrefixLength)
            report.setCaption(name, QString());
}

void MarkCheckLabel(report::Report &report, const QString &field, const QString &code)
{
    if (code.isEmpty())
        return;
    const qsizetype length = field.size();
    for (const QString &name : report.elementNames()) {
        // The character between field and code is not compared.
        if (report.kind(name) == report::Element::Label && name.mid(kPrefixLength, length) == field
            && name.mid(kPrefixLength + length + 1) == code)
            report.setCaption(name, kCheckMark);
    }
}

void MarkCheckField(report::Report &report, const db::Field *field)
{
    const QString value = field->asString();
    if (value.isEmpty())
        return;
    const QString name = field->fieldName().toUpper();
    const qsizetype first = value.indexOf(QLatin1Char(';'));
    if (first < 0) {
        MarkCheckLabel(report, name, value);
        return;
    }
    const QString rest = value.mid(first + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(';'));
    MarkCheckLabel(report, name, gbk::trim(value.left(first)));
    MarkCheckLabel(report, name, second < 0 ? QString() : gbk::trim(rest.left(second)));
}

QString LookupName(db::Table *table, const QString &keyField, const QString &nameField, const QString &value)
{
    table->close();
    table->setFiltered(false);
    table->setFilter(keyField + QStringLiteral(" =") + SqlLiteral(value));
    table->setFiltered(true);
    table->open();
    table->first();
    return table->eof() ? QString() : table->fieldByName(nameField)->asString();
}
