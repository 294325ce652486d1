// The name lists of the form: the record's child rows copied into the print
// window's in-memory lists, padded with empty rows to fill the last page or
// cut to the fixed rows of the form, and the four patent lines.
#include "PrintReports.h"

#include "UnitDM.h"
#include "text/Gbk.h"
#include "ui/MessageBox.h"

#include <QVarLengthArray>

#include <algorithm>
#include <span>

namespace {

struct CopiedField
{
    const char *target;
    const char *source; // a lookup field gives the code's name
};

const CopiedField kPersons[] = {
    {"ITEM_187", "ITEM_187"}, {"ITEM_180", "ITEM_180"}, {"ITEM_181", "V_181"},
    {"ITEM_182", "ITEM_182"}, {"ITEM_183", "V_183"},    {"ITEM_184", "V_184"},
    {"ITEM_188", "V_188"},    {"ITEM_185", "ITEM_185"}, {"ITEM_186", "ITEM_186"},
};

const CopiedField kCommittee[] = {
    {"ITEM_4", "ITEM_4"},     {"ITEM_DQDM", "ITEM_DQDM"}, {"ITEM_190", "ITEM_190"}, {"ITEM_191", "ITEM_191"},
    {"ITEM_192", "ITEM_192"}, {"ITEM_193", "V_193"},      {"ITEM_194", "ITEM_194"}, {"ITEM_195", "ITEM_195"},
    {"ITEM_196", "ITEM_196"}, {"ITEM_197", "ITEM_197"},   {"ITEM_198", "V_198"},    {"ITEM_199", "ITEM_199"},
};

const CopiedField kUnits[] = {
    {"ITEM_176", "ITEM_176"}, {"ITEM_170", "ITEM_170"}, {"ITEM_171", "ITEM_171"},
    {"ITEM_172", "ITEM_172"}, {"ITEM_173", "ITEM_173"},
};

// A padded list: R = ((n + a) div P + 1) × P − b rows, so the first page
// holds F = P − b rows and every further page P.
struct PaddedList
{
    ReportClass report;
    db::Table *TDM::*source;
    clientdata::ClientDataSet PrintReports::*list;
    int a, P, b;
    std::span<const CopiedField> fields;
    const char *keptAsStored; // copied untrimmed
};

const PaddedList kPaddedLists[] = {
    {ReportClass::TyyPrint10, &TDM::TblCgwcr, &PrintReports::ClientDataSet2, 3, 21, 4, kPersons, nullptr},
    {ReportClass::TyyPrint11, &TDM::Tbljdwyhmd, &PrintReports::ClientDataSet1, 7, 21, 8, kCommittee, "ITEM_199"},
    {ReportClass::TrjPrint08, &TDM::TblCgwcr, &PrintReports::ClientDataSet2, 4, 22, 5, kPersons, nullptr},
    {ReportClass::TrjPrint09, &TDM::Tbljdwyhmd, &PrintReports::ClientDataSet1, 6, 22, 7, kCommittee, nullptr},
};

// The main window's grids must not repaint for every row walked.
class ControlsSuspended
{
public:
    explicit ControlsSuspended(db::Dataset *d) : m_d(d) { m_d->disableControls(); }
    ~ControlsSuspended() { m_d->enableControls(); }

private:
    db::Dataset *m_d;
};

// rows rows into list: the source's rows from the first on, then empty ones.
void copyRows(db::Table *source, clientdata::ClientDataSet &list, int rows, std::span<const CopiedField> fields,
              const char *keptAsStored = nullptr)
{
    struct Copy
    {
        db::Field *from;
        int to;
        bool asStored;
    };
    QVarLengthArray<Copy, 16> copies; // the fields found once, not for every row
    for (const CopiedField &f : fields)
        copies.append({source->fieldByName(QString::fromLatin1(f.source)),
                       list.fieldIndex(QString::fromLatin1(f.target)),
                       keptAsStored && qstrcmp(f.target, keptAsStored) == 0});
    source->first();
    for (int i = 0; i < rows; ++i) {
        list.append();
        if (!source->eof())
            for (const Copy &c : copies) {
                const QString text = c.from->asString();
                list.setFieldText(c.to, c.asStored ? text : gbk::trim(text));
            }
        list.post();
        source->next();
    }
}

} // namespace

void PrintReports::TellRowsLeftOut(const QString &text)
{
    // The same record's rows, told again before every preview and print,
    // would only be clicked away.
    if (m_toldRowsLeftOut.contains(text))
        return;
    m_toldRowsLeftOut.insert(text);
    ui::messageBox(text, QStringLiteral("提示"), ui::MB_OK | ui::MB_ICONINFORMATION);
}

void PrintReports::FillPaddedList(ReportClass cls, report::Report &r)
{
    const auto it = std::find_if(std::begin(kPaddedLists), std::end(kPaddedLists),
                                 [cls](const PaddedList &l) { return l.report == cls; });
    const PaddedList &padded = *it;
    clientdata::ClientDataSet &list = this->*padded.list;
    db::Table *source = DM->*padded.source;

    list.emptyDataSet();
    ControlsSuspended suspended(source);
    source->first();
    const int n = source->recordCount();
    const int rows = ((n + padded.a) / padded.P + 1) * padded.P - padded.b;
    // A list over more than one page numbers its pages.
    const bool numbered = n > padded.P - padded.b;
    r.setEnabled(QStringLiteral("QRSysData1"), numbered);
    r.setEnabled(QStringLiteral("QRpage"), !numbered);
    copyRows(source, list, rows, padded.fields, padded.keptAsStored);
}

void PrintReports::FillUnitsList(int rows)
{
    db::Table *source = DM->TblCgwcdw;
    ClientDataSet3.emptyDataSet();
    ControlsSuspended suspended(source);
    const int n = source->recordCount();
    copyRows(source, ClientDataSet3, rows, kUnits);
    // The form has no room for more; say so rather than drop them unseen.
    if (n > rows)
        TellRowsLeftOut(QStringLiteral("“成果合作/协作完成单位情况”只能打印%1个单位，本成果有%2个，"
                                       "第%3个以后的%4个单位不能打印。")
                            .arg(rows)
                            .arg(n)
                            .arg(rows + 1)
                            .arg(n - rows));
}

void PrintReports::FillPatentSlots(report::Report &r)
{
    constexpr int kSlots = 4;
    db::Table *patents = DM->tblzlqk;
    patents->first();
    for (int slot = 1; slot <= kSlots; ++slot) {
        const QString number = QStringLiteral("QL_zlqk_zlh_%1").arg(slot);
        const QString name = QStringLiteral("QL_zlqk_zlm_%1").arg(slot);
        if (patents->eof()) {
            r.setCaption(number, QString());
            r.setCaption(name, QString());
            continue;
        }
        r.setCaption(number, patents->fieldByName(QStringLiteral("PaTent_No"))->asString());
        r.setCaption(name, patents->fieldByName(QStringLiteral("PaTent_Nam"))->asString());
        patents->next();
    }
    const int n = patents->recordCount();
    if (n > kSlots)
        TellRowsLeftOut(QStringLiteral("“已受理和已授权专利情况”只能打印%1项专利，本成果有%2项，"
                                       "第%3项以后的%4项专利不能打印。")
                            .arg(kSlots)
                            .arg(n)
                            .arg(kSlots + 1)
                            .arg(n - kSlots));
}
