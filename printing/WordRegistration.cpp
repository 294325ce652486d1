#include "WordRegistration.h"

#include "UnitDM.h"
#include "WordOutput.h"

namespace {

using T = WordText;

const WordRowColumn kPatentColumns[] = {{"patent_no_", "PATENT_NO"}, {"patent_nam_", "PATENT_NAM"}};
const WordRowColumn kUnitColumns[] = {
    {"item_176_", "ITEM_176"}, {"item_170_", "ITEM_170"}, {"item_171_", "ITEM_171"},
    {"item_172_", "ITEM_172"}, {"item_173_", "ITEM_173"},
};
const WordRowColumn kPersonColumns[] = {
    {"item_187_", "ITEM_187"}, {"item_180_", "ITEM_180"}, {"item_181_", "V_181"},
    {"item_182_", "ITEM_182"}, {"item_183_", "V_183"},    {"item_184_", "V_184"},
    {"item_188_", "V_188"},    {"item_185_", "ITEM_185"}, {"item_186_", "ITEM_186"},
};
const WordRowColumn kCommitteeColumns[] = {
    {"item_191_", "ITEM_191"}, {"item_192_", "ITEM_192"}, {"item_193_", "V_193"}, {"item_195_", "ITEM_195"},
    {"item_196_", "ITEM_196"}, {"item_197_", "ITEM_197"}, {"item_198_", "V_198"},
};

const WordRowList kPatents{&TDM::tblzlqk, 4, kPatentColumns, "已受理和已授权专利情况", "项"};
const WordRowList kUnitsYY{&TDM::TblCgwcdw, 8, kUnitColumns, "合作完成单位", "个"};
const WordRowList kUnitsRJ{&TDM::TblCgwcdw, 5, kUnitColumns, "合作完成单位", "个"};
const WordRowList kPersonsFull{&TDM::TblCgwcr, 34, kPersonColumns, "成果完成人员名单", "人"};
const WordRowList kPersonsBody{&TDM::TblCgwcr, 45, kPersonColumns, "成果完成人员名单", "人"};
const WordRowList kCommittee{&TDM::Tbljdwyhmd, 13, kCommitteeColumns, "评价委员会名单", "人"};

// The parts both bodies share.
const WordFill kTitleAndKeywords[] = {
    {"item_3"},
    {"item_14_1", T::Keyword1, "item_14"},
    {"item_14_2", T::Keyword2, "item_14"},
    {"item_14_3", T::Keyword3, "item_14"},
};
const WordFill kClassifications[] = {
    {"item_15", T::Discipline},
    {"item_15_1", T::Discipline},
    {"item_12", T::LibraryClass},
    {"item_12_1", T::LibraryClass},
};
const WordFill kProjectAndFunding[] = {
    {"item_127"},   {"item_127_1"}, {"item_149"}, {"item_141"}, {"item_148"},
    {"item_142"},   {"item_142_1"}, {"item_142_2"}, {"item_142_3"}, {"item_143"},
    {"item_144"},   {"item_243"},   {"item_244"},   {"item_145"},
};
const WordFill kEvaluation[] = {{"item_130"}, {"item_34"}, {"item_22"}};
const WordFill kFirstUnit[] = {
    {"item_9"},  {"item_420"}, {"item_37"}, {"item_38"}, {"item_39"}, {"item_40"}, {"item_60"},
    {"item_62", T::UnitAttribute},
    {"item_163", T::Conversion},
    {"item_64", T::Province},
    {"item_63", T::Ministry},
    {"item_41"}, {"item_41_2"}, {"item_61"}, {"item_13_1"},
};

const WordFill kBodyRJ[] = {
    {"item_210", T::Option},
    {"item_2", T::Option},
    {"item_201", T::Option},
};
const WordFill kSourcesRJ[] = {
    {"item_200", T::Pair},
    {"item_125", T::Pair},
    {"item_126", T::ProjectSource},
};
const WordFill kEvaluationFormRJ[] = {{.bookmark = "item_21", .text = T::Option, .code = "item_21_l"}};

const WordFill kBodyYY[] = {
    {"item_123", T::Option}, {"item_16", T::Option}, {"item_2", T::Option},
    {"item_33", T::Option},  {"item_201", T::Option},
};
const WordFill kSourcesYY[] = {
    {"item_124_1", T::Pair},
    {"item_125", T::Pair},
    {"item_126", T::ProjectSource},
    {"item_125_1", T::Option},
};
const WordFill kEvaluationFormYY[] = {{"item_21", T::Option}};
const WordFill kPropertyAndApplication[] = {
    {"item_51", T::Option}, {"item_51_1", T::Option},
    {"item_51_2"}, {"item_51_3"}, {"item_53"}, {"item_52"},
    {"item_32", T::Option},
    {"item_45"}, {"item_150"}, {"item_162"}, {"item_151_1"}, {"item_152_1"}, {"item_153"}, {"item_154"},
    {"item_46", T::Option}, {"item_47", T::Option},
    {"item_161", T::Pair},
    {"item_32_1", T::Reason},
};

void append(std::vector<WordFill> &fills, std::span<const WordFill> part)
{
    fills.insert(fills.end(), part.begin(), part.end());
}

WordFill rows(const WordRowList &list)
{
    return {.bookmark = "", .text = T::Rows, .rows = &list};
}

std::vector<WordFill> coverFills(WordFamily family, bool bodyText)
{
    std::vector<WordFill> fills = {
        {"item_3", T::Text, nullptr, family == WordFamily::yy ? 44 : 42},
        {"item_9", T::Text, nullptr, 38},
        {"item_8_1", T::PeriodStart, "item_8"},
        {"item_8_2", T::PeriodEnd, "item_8"},
        {"item_128", T::Text, nullptr, 42},
        {"item_120"},
    };
    if (bodyText)
        fills.push_back({"item_121", T::RegistrationDate});
    return fills;
}

std::vector<WordFill> bodyFills(WordFamily family, bool bodyText)
{
    std::vector<WordFill> fills;
    append(fills, kTitleAndKeywords);
    if (family == WordFamily::yy) {
        append(fills, kBodyYY);
        append(fills, kClassifications);
        append(fills, kSourcesYY);
        append(fills, kProjectAndFunding);
        append(fills, kEvaluationFormYY);
        append(fills, kEvaluation);
        append(fills, kPropertyAndApplication);
    } else {
        append(fills, kBodyRJ);
        append(fills, kClassifications);
        append(fills, kSourcesRJ);
        append(fills, kProjectAndFunding);
        append(fills, kEvaluationFormRJ);
        append(fills, kEvaluation);
    }
    append(fills, kFirstUnit);
    if (family == WordFamily::yy)
        fills.push_back(rows(kPatents));
    fills.push_back(rows(family == WordFamily::yy ? kUnitsYY : kUnitsRJ));
    fills.push_back(rows(bodyText ? kPersonsBody : kPersonsFull));
    fills.push_back(rows(kCommittee));
    return fills;
}

QString templateName(WordFamily family, const char *part, bool bodyText)
{
    return QString::fromUtf8(family == WordFamily::yy ? "应用技术" : "基础、软科学") + QString::fromUtf8(part)
           + (bodyText ? QStringLiteral("(正文)") : QString()) + QStringLiteral(".dotx");
}

} // namespace

void RegistrationToWord(WordFamily family, bool bodyText)
{
    ExportToWord({
        {templateName(family, "封面", bodyText), coverFills(family, bodyText)},
        {templateName(family, "登记表", bodyText), bodyFills(family, bodyText)},
    });
}
