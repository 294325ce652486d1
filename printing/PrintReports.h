#pragma once
// The report forms of the print window and its three in-memory lists. Every
// report form is created on first use and kept, so its labels hold the values
// of its last preparation. The preparation routines work on the current
// record (DM->Qrykjcg) and the child tables filtered to it.
#include "ReportClasses.h"
#include "clientdata/ClientDataSet.h"
#include "report/DataView.h"
#include "report/Report.h"

#include <QSet>

#include <array>
#include <memory>

namespace db {
class Table;
}

class PrintReports
{
public:
    // The lists and the record's view need the data module.
    PrintReports();
    ~PrintReports();
    PrintReports(const PrintReports &) = delete;
    PrintReports &operator=(const PrintReports &) = delete;

    // Preparations per class, zero until the first.
    std::array<int, ReportClassCount> ReportCreateCount{};
    // Committee, completing persons and cooperating units of the record.
    clientdata::ClientDataSet ClientDataSet1;
    clientdata::ClientDataSet ClientDataSet2;
    clientdata::ClientDataSet ClientDataSet3;

    // The form of a class; nullptr until its first preparation.
    report::Report *form(ReportClass cls) const { return m_forms[reportIndex(cls)].get(); }

    // Creates the form on first use and counts the call; fills nothing.
    report::Report &CreateReport(ReportClass cls);
    // Creates the form once, then fills what its layout cannot show by itself.
    report::Report &PrepareReport(ReportClass cls);
    // The number of the page in the form (preview) or its place in the
    // printed set: QRPage of a data page, QRSysData1 ("6--") and QRpage ("6")
    // of a list. Other pages carry theirs as layout text.
    void SetPageLabel(ReportClass cls, const QString &number);

    // Prepares, labels and previews every page; no label when number is empty.
    void PreviewReport(ReportClass cls, const QString &number);
    // Prepares, labels and prints one section: a list one page per print
    // request, any other report whole.
    void PrintSection(ReportClass cls, const QString &number);
    // Every data page of the record's family in order: the cover, the data
    // pages numbered from 1, the two lists page by page.
    void PrintWholeForm(bool appliedTechnology);

    // Sends each page of a prepared report as a print request of its own, in order.
    void PrintPageByPage(ReportClass cls);

    // Rows the form has no room for are told once per visit of the print
    // window: a new visit tells them again.
    void ForgetToldRowsLeftOut() { m_toldRowsLeftOut.clear(); }

private:
    void PrintPrepared(ReportClass cls);
    QString PrintTitle(const QString &what) const;

    // Steps of the preparations.
    void PrepareCover(report::Report &r);
    void PrepareKeywords(report::Report &r);
    void PrepareApprovalDate(report::Report &r, const QString &dayLabel);
    void SetTrimmedTexts(report::Report &r, std::initializer_list<std::pair<const char *, const char *>> labels);
    void MarkFields(report::Report &r, std::initializer_list<const char *> fields);
    void MarkConversionFlag(report::Report &r);
    void FillPaddedList(ReportClass cls, report::Report &r);
    void FillUnitsList(int rows);
    void FillPatentSlots(report::Report &r);
    void TellRowsLeftOut(const QString &text);

    std::array<std::unique_ptr<report::Report>, ReportClassCount> m_forms;
    report::DatasetView m_record;
    report::ClientDataView m_list1, m_list2, m_list3;
    QSet<QString> m_toldRowsLeftOut;
};
