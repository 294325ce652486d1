#include "WordAppraisal.h"

#include "UnitDM.h"
#include "WordOutput.h"

#include <iterator>

namespace {

using T = WordText;

// The lists carry no row numbers, return from abroad, committee member's sex
// or unit contact: the forms have no columns for them.
const WordRowColumn kUnitColumns[] = {{"item_170_", "ITEM_170"}, {"item_171_", "ITEM_171"}, {"item_172_", "ITEM_172"}};
const WordRowColumn kPersonColumns[] = {
    {"item_180_", "ITEM_180"}, {"item_181_", "V_181"},    {"item_182_", "ITEM_182"}, {"item_183_", "V_183"},
    {"item_184_", "V_184"},    {"item_185_", "ITEM_185"}, {"item_186_", "ITEM_186"},
};
const WordRowColumn kCommitteeColumns[] = {
    {"item_191_", "ITEM_191"}, {"item_192_", "ITEM_192"}, {"item_195_", "ITEM_195"},
    {"item_196_", "ITEM_196"}, {"item_197_", "ITEM_197"}, {"item_198_", "V_198"},
};

const WordRowList kUnits{&TDM::TblCgwcdw, 7, kUnitColumns, "合作完成单位", "个"};
const WordRowList kPersons{&TDM::TblCgwcr, 15, kPersonColumns, "成果完成人员名单", "人"};
const WordRowList kCommittee{&TDM::Tbljdwyhmd, 15, kCommitteeColumns, "评价委员会名单", "人"};

const WordFill kApplication[] = {
    {"item_3_1", T::Text, "item_3", 46},
    {"item_9", T::Text, nullptr, 46},
    {"item_130_1", T::Text, "item_130", 40},
    {"item_3_2", T::Text, "item_3"},
    {"item_8_1", T::PeriodStart, "item_8"},
    {"item_8_2", T::PeriodEnd, "item_8"},
    {"item_9_1", T::Text, "item_9"},
    {"item_63"},
    {"item_64"},
    {"item_64_1", T::Province, "item_64"},
    {"item_63_1", T::Ministry, "item_63"},
    {"item_62"},
    {"item_41"},
    {"item_38"},
    {"item_41_2"},
    {"item_37"},
    {"item_126"},
    {"item_126_2", T::ProjectSource},
    {"item_1_1", T::SecrecyMark},
    {"item_1_2", T::SecrecyLevel},
    {"item_13_1"},
    {"item_13_3"},
    {.bookmark = "", .text = T::Rows, .rows = &kPersons},
};

const WordFill kCertificate[] = {
    {"item_3", T::Text, nullptr, 46},
    {"item_9", T::Text, nullptr, 46},
    {"item_21", T::EvaluationForm},
    {"item_130", T::Text, nullptr, 46},
    {"item_34_y", T::DateYear, "item_34"},
    {"item_34_m", T::DateMonth, "item_34"},
    {"item_34_d", T::DateDay, "item_34"},
    {"item_302_y", T::DateYear, "item_302"},
    {"item_302_m", T::DateMonth, "item_302"},
    {"item_302_d", T::DateDay, "item_302"},
    {"item_13_1"},
    {"item_13_2"},
    {"item_13_3"},
    {"item_133"},
    {"item_303"},
    {"item_9_2", T::Text, "item_9"},
    {"item_38"},
    {"item_64"},
    {"item_37"},
    {"item_63", T::Ministry},
    {"item_62", T::UnitAttribute},
    {.bookmark = "", .text = T::Rows, .rows = &kUnits},
    {.bookmark = "", .text = T::Rows, .rows = &kPersons},
    {.bookmark = "", .text = T::Rows, .rows = &kCommittee},
    {"item_3_1", T::Text, "item_3"},
    {"item_8_1", T::PeriodStart, "item_8"},
    {"item_8_2", T::PeriodEnd, "item_8"},
    {"item_9_1", T::Text, "item_9"},
    {"item_63_1", T::Text, "item_63"},
    {"item_64_1", T::Text, "item_64"},
    {"item_64_2", T::Province, "item_64"},
    {"item_63_2", T::Ministry, "item_63"},
    {"item_62_1", T::Text, "item_62"},
    {"item_41"},
    {"item_38_1", T::Text, "item_38"},
    {"item_41_2"},
    {"item_37_1", T::Text, "item_37"},
    {"item_34_1", T::Text, "item_34"},
    {"item_302_1", T::Text, "item_302"},
    {"item_130_1", T::Text, "item_130"},
    {"item_1_1", T::SecrecyMark},
    {"item_1_2", T::SecrecyLevel},
    {"item_2"},
    {"item_126"},
    {"item_126_2", T::ProjectSource},
    {"item_125"},
    {"item_32_1", T::Text, "item_32"},
    {"item_32_1_1", T::Option, "item_32"},
    {"item_33"},
};

} // namespace

void AppraisalToWord(AppraisalDocument document)
{
    if (document == AppraisalDocument::application)
        ExportToWord({{QStringLiteral("科学技术成果鉴定申请表.dotx"), {std::begin(kApplication), std::end(kApplication)}}});
    else
        ExportToWord({{QStringLiteral("科学技术成果鉴定证书.dotx"), {std::begin(kCertificate), std::end(kCertificate)}}});
}
