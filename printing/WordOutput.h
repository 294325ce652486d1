#pragma once
// One export of the current record (DM->Qrykjcg) into Word documents made
// from templates in the data folder, each described by a table of fills:
// which bookmark gets which text, in order, with the row lists of the child
// tables standing at their place among them.
#include <QString>
#include <span>
#include <vector>

namespace db {
class Table;
}
class TDM;

// What a bookmark receives; field is the record's field it is made from.
enum class WordText {
    Text,             // the field's text
    Option,           // CodeText of the field (field code: code, or the field's name)
    Pair,             // CodePairText of the field, the same way
    Discipline,       // LookupCodeName in the discipline classification (xkfl)
    LibraryClass,     // LookupCodeName in the library classification (ztflh)
    Province,         // LookupName of the province
    Ministry,         // LookupName of the ministry
    Keyword1,         // the parts of SplitThree
    Keyword2,
    Keyword3,
    PeriodStart,      // the parts of SplitPeriodText
    PeriodEnd,
    DateYear,         // the parts of SplitDateText
    DateMonth,
    DateDay,
    ProjectSource,    // the composite texts
    UnitAttribute,
    Reason,
    Conversion,       // no fill at all unless the unit is a converted institute
    RegistrationDate,
    SecrecyMark,
    SecrecyLevel,     // filled only together with the mark "1"
    EvaluationForm,   // CodeText of the field from the evaluation forms of the record's category
    Rows,             // a row list: rows
};

// One column of a row list: the bookmarks prefix + row number get the field.
struct WordRowColumn
{
    const char *prefix;
    const char *field;
};

// The rows of a child table, filtered to the record, at most cap of them.
struct WordRowList
{
    db::Table *TDM::*table;
    int cap;
    std::span<const WordRowColumn> columns;
    const char *title; // the list as the user knows it, for rows left out
    const char *unit;  // what one row counts as ("人", "个", "项")
};

struct WordFill
{
    const char *bookmark;
    WordText text = WordText::Text;
    const char *field = nullptr;     // nullptr: the field the bookmark is named after
    int returnBelow = 0;             // a carriage return after a text shorter than this many GBK bytes
    const char *code = nullptr;      // dictionary field code when it is not the field's name
    const WordRowList *rows = nullptr;
};

struct WordDocumentFills
{
    QString templateName; // file name in the data folder
    std::vector<WordFill> fills;
};

// The template's path in the data folder, matched without regard to case;
// empty when there is none.
QString WordTemplatePath(const QString &templateName);

// The whole export: asks for confirmation, checks the templates, the tables
// and the bookmarks before anything is written, fills every document, writes
// and opens them, and tells of rows the documents have no room for. Every
// failure is shown to the user; nothing half-filled is opened.
void ExportToWord(const std::vector<WordDocumentFills> &documents);
