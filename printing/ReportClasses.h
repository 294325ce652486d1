#pragma once
// The 28 report classes of the registration form: the applied-technology
// family (yy) and the basic-theory and soft-science family (rj). Each class is
// its layout, resources/reports/<class>.layout.
#include <QString>

enum class ReportClass {
    Tyyfm1, Tyyfm2, TyyPrint01, TyyPrint02, TyyPrint03, TyyPrint04, TyyPrint05, TyyPrint06,
    TyyPrint07, TyyPrint08, TyyPrint09, TyyPrint10, TyyPrint11, TyyPrint12, TyyPrint14,
    Trjfm1, Trjfm2, TrjPrint01, TrjPrint02, TrjPrint03, TrjPrint04, TrjPrint05, TrjPrint06,
    TrjPrint07, TrjPrint08, TrjPrint09, TrjPrint10, TrjPrint11,
};
constexpr int ReportClassCount = 28;

// Where a page shows the number the print window gives it.
enum class PageLabelKind {
    None,     // covers, notes and appendices print their number as layout text
    PageLabel, // the label QRPage
    ListLabel, // the page-number field QRSysData1 and the label QRpage of a list
};

struct ReportClassInfo
{
    ReportClass cls;
    const char *name;  // "TyyPrint03"
    const char *title; // the section of the form it prints
    PageLabelKind label;
};

const ReportClassInfo &reportClassInfo(ReportClass cls);
inline int reportIndex(ReportClass cls) { return int(cls); }
QString ReportClassName(ReportClass cls);
QString ReportTitle(ReportClass cls);
// The resource the class's layout is read from.
QString ReportLayoutPath(ReportClass cls);
