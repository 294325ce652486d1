// Previewing and printing the prepared reports: one section, a list page by
// page, or the whole form of the record's family.
#include "PrintReports.h"

#include "report/Printing.h"

#include <span>

namespace {

bool isList(ReportClass cls)
{
    return reportClassInfo(cls).label == PageLabelKind::ListLabel;
}

struct PrintStep
{
    ReportClass report;
    const char *place; // the page's place in the printed set
};

const PrintStep kAppliedTechnologyForm[] = {
    {ReportClass::Tyyfm1, ""},      {ReportClass::TyyPrint03, "1"}, {ReportClass::TyyPrint05, "2"},
    {ReportClass::TyyPrint07, "3"}, {ReportClass::TyyPrint08, "4"}, {ReportClass::TyyPrint09, "5"},
    {ReportClass::TyyPrint10, "6"}, {ReportClass::TyyPrint11, "7"},
};

const PrintStep kBasicTheoryForm[] = {
    {ReportClass::Trjfm1, ""},      {ReportClass::TrjPrint03, "1"}, {ReportClass::TrjPrint05, "2"},
    {ReportClass::TrjPrint06, "3"}, {ReportClass::TrjPrint07, "4"}, {ReportClass::TrjPrint08, "5"},
    {ReportClass::TrjPrint09, "6"},
};

} // namespace

void PrintReports::PreviewReport(ReportClass cls, const QString &number)
{
    report::Report &r = PrepareReport(cls);
    if (!number.isEmpty())
        SetPageLabel(cls, number);
    report::preview(r, PrintTitle(ReportTitle(cls)));
}

void PrintReports::PrintSection(ReportClass cls, const QString &number)
{
    report::PrintBatch batch(PrintTitle(ReportTitle(cls)));
    PrepareReport(cls);
    if (!number.isEmpty())
        SetPageLabel(cls, number);
    PrintPrepared(cls);
}

void PrintReports::PrintWholeForm(bool appliedTechnology)
{
    report::PrintBatch batch(PrintTitle(QStringLiteral("科技成果登记表")));
    const std::span<const PrintStep> steps = appliedTechnology ? std::span<const PrintStep>(kAppliedTechnologyForm)
                                                               : std::span<const PrintStep>(kBasicTheoryForm);
    for (const PrintStep &step : steps) {
        PrepareReport(step.report);
        if (*step.place)
            SetPageLabel(step.report, QString::fromLatin1(step.place));
        PrintPrepared(step.report);
    }
}

void PrintReports::PrintPrepared(ReportClass cls)
{
    if (isList(cls))
        PrintPageByPage(cls);
    else
        report::print(*form(cls));
}

void PrintReports::PrintPageByPage(ReportClass cls)
{
    report::Report *r = form(cls);
    if (!r)
        return;
    // Produced once; each page then goes out as a request of its own and
    // keeps the running page number of the whole list.
    const QVector<report::Page> pages = r->run();
    for (int i = 1; i <= pages.size(); ++i)
        report::send({r->name(), i, i, {pages[i - 1]}});
}
