#pragma once
// The texts the Word documents show: stored codes turned into their names,
// formatted texts split into their parts, and the composite texts built
// from several fields of the current record (DM->Qrykjcg). Lookups leave
// their table filtered on what they looked up.
#include <QString>
#include <array>
#include <optional>
#include <utility>

namespace db {
class Table;
}

// Start and end of a period text ("2003.01   至2005.12"), each as year, "年",
// month, "月": 2003年01月 and 2005年12月. An empty period or part gives empty texts.
std::pair<QString, QString> SplitPeriodText(const QString &period);
// Up to three parts cut at ";" from the left; anything after a third ";" is dropped.
std::array<QString, 3> SplitThree(const QString &text);
// The option name of code among the dictionary rows of fieldCode; empty when none.
QString CodeText(db::Table *dict, const QString &fieldCode, const QString &code);
// "code name" of the row whose keyField equals value; empty when it has no name.
QString LookupCodeName(db::Table *table, const QString &keyField, const QString &nameField, const QString &value);
// The option names of a choice value: "01" gives the name of 01, "01;" that
// name and ";", "01;07;" the two names joined by ";". A third code is ignored.
QString CodePairText(db::Table *dict, const QString &fieldCode, const QString &value);
// Year, month and day of a date text by position (bytes 1–4, 6–7, 9–10).
std::array<QString, 3> SplitDateText(const QString &date);
// text with one carriage return after it when it is shorter than below GBK bytes.
QString WithTrailingReturn(const QString &text, int below);

// The current record's field as text; empty when null.
QString RecordText(const QString &field);

// Composite texts of the current record.
// The project sources named, the national plan's name in parentheses after "国家科技计划".
QString ProjectSourceText();
// The unit's attribute, its kind of ownership in parentheses when it has one.
QString UnitAttributeText();
// The reasons for no or stopped application, their details in parentheses.
QString ReasonText();
// "(属于科研机构转制型企业)" for a converted research institute; nothing otherwise.
std::optional<QString> ConversionNote();
// The registration date in the short date format; empty without a date.
QString RegistrationDateText();
// The secrecy mark ("1" for levels 2, 3 and 4, else "0") and, only with the
// mark "1", the level itself.
std::pair<QString, std::optional<QString>> SecrecyMark();
