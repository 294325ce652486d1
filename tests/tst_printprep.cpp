// Preparing the registration form's reports from a record and its child rows
// on real tables: check marks, split texts, looked-up names, the padded and
// fixed lists, page labels, the page-by-page loop and both full prints.
#include "AppFixture.h"
#include "Records.h"

#include "PrintReports.h"
#include "ReportRoutines.h"
#include "UnitDM.h"
#include "report/PagePainter.h"
#include "report/Printing.h"
#include "text/Utf8.h"
#include "ui/Seam.h"

#include <QtTest>
#include <functional>

namespace {

const QString kMark = QStringLiteral("√");
const QString kKey = "2006000001";

void setFields(const QString &key, const QList<std::pair<const char *, const char *>> &fields)
{
    for (const auto &[field, value] : fields)
        setRecordField(key, field, u(value));
}

// n rows of a child table for key, numbered from `from`.
void addRows(const char *table, const QString &key, int n, const std::function<void(db::Table &, int)> &fill,
             int from = 1)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    for (int i = from; i < from + n; ++i) {
        t.append();
        t.fieldByName("ITEM_4")->setAsString(key);
        t.fieldByName("ITEM_DQDM")->setAsString(".");
        fill(t, i);
        t.post();
    }
}

void addPersons(const QString &key, int n, int from = 1)
{
    addRows("cgwcr", key, n, [](db::Table &t, int i) {
        t.fieldByName("ITEM_187")->setAsInteger(i);
        t.fieldByName("ITEM_180")->setAsString(u("  完成人%1").arg(i));
        t.fieldByName("ITEM_181")->setAsString("0");
        t.fieldByName("ITEM_183")->setAsString("2");
        t.fieldByName("ITEM_184")->setAsString("3");
        t.fieldByName("ITEM_188")->setAsString("1");
        t.fieldByName("ITEM_186")->setAsString(u("总体设计"));
    }, from);
}

void addCommittee(const QString &key, int n, int from = 1)
{
    addRows("jdwyhmd", key, n, [](db::Table &t, int i) {
        t.fieldByName("ITEM_190")->setAsInteger(i);
        t.fieldByName("ITEM_191")->setAsString(u("委员"));
        t.fieldByName("ITEM_192")->setAsString(u("专家%1").arg(i));
        t.fieldByName("ITEM_193")->setAsString("1");
        t.fieldByName("ITEM_198")->setAsString("3");
        t.fieldByName("ITEM_199")->setAsString(u("  备注"));
    }, from);
}

void addUnits(const QString &key, int n)
{
    addRows("cgwcdw", key, n, [](db::Table &t, int i) {
        t.fieldByName("ITEM_176")->setAsInteger(i);
        t.fieldByName("ITEM_170")->setAsString(u("合作单位%1 ").arg(i));
        t.fieldByName("ITEM_174")->setAsString(u("不印"));
    });
}

void addPatents(const QString &key, int n)
{
    addRows("zlqk", key, n, [](db::Table &t, int i) {
        t.fieldByName("ITEM_NO")->setAsInteger(i);
        t.fieldByName("PATENT_NO")->setAsString(QString("ZL2005%1").arg(i));
        t.fieldByName("PATENT_NAM")->setAsString(u("专利%1").arg(i));
    });
}

// Names of the items of a page whose text is the check mark.
QStringList marked(const report::Page &page)
{
    QStringList out;
    for (const report::PageItem &i : page.items)
        if (i.text() == kMark)
            out << i.name;
    out.sort();
    return out;
}

QStringList marked(report::Report &r)
{
    QStringList out;
    for (const report::Page &p : r.run())
        out += marked(p);
    out.sort();
    return out;
}

QString caption(PrintReports &p, ReportClass cls, const char *label)
{
    return p.form(cls)->caption(QString::fromLatin1(label));
}

QStringList column(const clientdata::ClientDataSet &list, const char *field)
{
    QStringList out;
    for (int r = 0; r < list.recordCount(); ++r)
        out << list.value(r, QString::fromLatin1(field));
    return out;
}

class TestPrintPrep : public QObject
{
    Q_OBJECT

private slots:
    void everyLayoutLoadsAndPrepares();
    void checkMarksFollowTheRecordAndAreClearedBetweenRecords();
    void keywordsPeriodsAndDatesSplitIntoTheirLabels();
    void codeTextsNamesAndPatentSlots();
    void paddedListsFillWholePages();
    void unitsListsHaveTheirFixedRows();
    void listsPrintOnePageAPerRequest();
    void fullPrintsSendTheFormInOrder();
};

void TestPrintPrep::everyLayoutLoadsAndPrepares()
{
    AppFixture app;
    addRecord(kKey, "1", u("纳米复合涂层"));
    QString memo;
    while (memo.size() < 4000)
        memo += u("本成果针对高温高压环境研制了纳米复合涂层材料，");
    setRecordField(kKey, "ITEM_13_1", memo);
    setFields(kKey, {{"ITEM_8", "2004.01   至2006.12"}, {"ITEM_121", "2006-12-30"}, {"ITEM_14", "纳米;涂层;高温"},
                     {"ITEM_2", "2"}, {"ITEM_125", "03;"}, {"ITEM_126", "02;"}, {"ITEM_140", "1"},
                     {"ITEM_149", "120.5"}, {"ITEM_62", "9"}, {"ITEM_163", "0"}, {"ITEM_64", "11"}});
    addPersons(kKey, 3);
    addCommittee(kKey, 2);
    addUnits(kKey, 2);
    addPatents(kKey, 2);
    selectRecord(kKey);
    PrintReports p;
    const QByteArray png = qgetenv("CORVANE_PAGE_PNG");
    for (int i = 0; i < ReportClassCount; ++i) {
        const auto cls = ReportClass(i);
        QCOMPARE(int(reportClassInfo(cls).cls), i);
        report::Report &r = p.PrepareReport(cls);
        QCOMPARE(r.name(), ReportClassName(cls));
        QCOMPARE(p.ReportCreateCount[i], 1);
        const QVector<report::Page> pages = r.run();
        QVERIFY2(!pages.isEmpty(), qPrintable(r.name()));
        for (int n = 0; n < pages.size() && !png.isEmpty(); ++n)
            report::renderPage(pages[n], 110).save(QString("%1/%2-%3.png").arg(QString::fromLocal8Bit(png), r.name()).arg(n + 1));
    }
    // A form is created once and kept; its preparations are counted.
    report::Report *first = p.form(ReportClass::TyyPrint09);
    p.PrepareReport(ReportClass::TyyPrint09);
    QCOMPARE(p.form(ReportClass::TyyPrint09), first);
    QCOMPARE(p.ReportCreateCount[reportIndex(ReportClass::TyyPrint09)], 2);

    // The summary runs on to a second page, its page label after its end.
    const QVector<report::Page> pages = first->run();
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].text("QRPage"), QString());
    QCOMPARE(pages[1].text("QRPage"), QString("9"));
    QString printed;
    for (const report::Page &page : pages)
        printed += page.item("DB_ITEM_13_1")->lines.join(QString());
    QCOMPARE(printed, memo);
}

void TestPrintPrep::checkMarksFollowTheRecordAndAreClearedBetweenRecords()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    setFields(kKey, {{"ITEM_2", "3"},
                     {"ITEM_126", "02;09;"},
                     {"ITEM_124_1", "07"},
                     {"ITEM_123", "A"},
                     {"ITEM_125", "03;05"}, // no final ";": the second code is not read
                     {"ITEM_140", "6"},
                     {"ITEM_16", "2"},
                     {"ITEM_163", "0"},
                     {"ITEM_62", "9"},
                     {"ITEM_41_3", "07"},
                     {"ITEM_32", "3"},
                     {"ITEM_32_1", "2"},
                     {"ITEM_160", "22"},
                     {"ITEM_21", "4"}});
    addRecord("2006000002", "1", u("乙"));
    setFields("2006000002", {{"ITEM_2", "1"}, {"ITEM_126", "02;05;09;"}, {"ITEM_163", "1"}, {"ITEM_21", "1"}});
    addRecord("2006000003", "2", u("丙"));
    setFields("2006000003", {{"ITEM_200", "13"}, {"ITEM_210", "9"}, {"ITEM_21", "4"}, {"ITEM_163", "0"}});
    PrintReports p;

    selectRecord(kKey);
    report::Report &page3 = p.PrepareReport(ReportClass::TyyPrint03);
    QCOMPARE(marked(page3), QStringList({"QL_ITEM_123_A", "QL_ITEM_124_1_07", "QL_ITEM_125_03", "QL_ITEM_126_02",
                                         "QL_ITEM_126_09", "QL_ITEM_140_6", "QL_ITEM_16_2", "QL_ITEM_2_3"}));
    // A stored "0" is a "no": 否 is marked, not nothing.
    QCOMPARE(marked(p.PrepareReport(ReportClass::TyyPrint07)),
             QStringList({"QL_ITEM_163_2", "QL_ITEM_41_3_07", "QL_ITEM_62_9"}));
    // Not applied, for a technical reason: not mature enough.
    QCOMPARE(marked(p.PrepareReport(ReportClass::TyyPrint05)),
             QStringList({"QL_ITEM_160_22", "QL_ITEM_32_1_2", "QL_ITEM_32_3"}));

    // The next record: nothing of the first survives; a third code is ignored.
    selectRecord("2006000002");
    QCOMPARE(marked(p.PrepareReport(ReportClass::TyyPrint03)),
             QStringList({"QL_ITEM_126_02", "QL_ITEM_126_05", "QL_ITEM_2_1"}));
    QCOMPARE(marked(p.PrepareReport(ReportClass::TyyPrint07)), QStringList({"QL_ITEM_163_1"}));
    QCOMPARE(marked(p.PrepareReport(ReportClass::TyyPrint05)), QStringList({"QL_ITEM_21_1"}));

    // The other family has its own options: 评审 is 4 there, 1 is none of them.
    QCOMPARE(marked(p.PrepareReport(ReportClass::TrjPrint05)), QStringList({"QL_ITEM_163_1"}));
    selectRecord("2006000003");
    QCOMPARE(marked(p.PrepareReport(ReportClass::TrjPrint03)), QStringList({"QL_ITEM_200_13", "QL_ITEM_210_9"}));
    QCOMPARE(marked(p.PrepareReport(ReportClass::TrjPrint05)), QStringList({"QL_ITEM_163_2", "QL_ITEM_21_4"}));
    QCOMPARE(caption(p, ReportClass::TrjPrint05, "QL_ITEM_21_4"), kMark);

    // The routines on their own: an empty code marks nothing.
    report::Report &r = *p.form(ReportClass::TyyPrint03);
    ClearCheckLabels(r);
    MarkCheckLabel(r, "ITEM_2", "");
    MarkCheckLabel(r, "ITEM_124_1", "01");
    QCOMPARE(marked(r), QStringList({"QL_ITEM_124_1_01"}));
}

void TestPrintPrep::keywordsPeriodsAndDatesSplitIntoTheirLabels()
{
    AppFixture app;
    addRecord(kKey, "1", u("纳米复合涂层"));
    setFields(kKey, {{"ITEM_14", " 纳米 "}, {"ITEM_8", "2004.01   至2006.12"}, {"ITEM_121", "2006-12-30"}});
    addRecord("2006000002", "2", u("软科学"));
    setFields("2006000002", {{"ITEM_14", "纳米 ; 涂层"}, {"ITEM_15", " 520.10 "}, {"ITEM_127_1", "课题名称  "}});
    addRecord("2006000003", "1", u("四个关键词"));
    setFields("2006000003", {{"ITEM_14", "甲;乙;丙;丁"}});
    PrintReports p;
    using RC = ReportClass;
    auto labels = [&](RC cls, std::initializer_list<const char *> names) {
        QStringList out;
        for (const char *n : names)
            out << caption(p, cls, n);
        return out;
    };
    const std::initializer_list<const char *> keywords = {"item_14_1", "item_14_2", "item_14_3"};
    const std::initializer_list<const char *> cover = {"item_8_1",   "item_8_2",   "item_8_3",  "item_8_4",
                                                       "item_121_1", "item_121_2", "item_121_3"};

    selectRecord(kKey);
    p.PrepareReport(RC::TyyPrint03);
    QCOMPARE(labels(RC::TyyPrint03, keywords), QStringList({u("纳米"), "", ""}));
    for (RC c : {RC::Tyyfm1, RC::Trjfm1}) {
        report::Report &r = p.PrepareReport(c);
        QCOMPARE(labels(c, cover), QStringList({"2004", "01", "2006", "12", "2006", "12", "30"}));
        QCOMPARE(r.run()[0].text("DB_ITEM_3"), u("纳米复合涂层"));
    }
    p.PrepareReport(RC::TyyPrint08);
    QCOMPARE(labels(RC::TyyPrint08, {"QRLabel_year", "QRLabel_M", "QRLabel_d"}), QStringList({"2006", "12", "30"}));
    p.PrepareReport(RC::TrjPrint06);
    QCOMPARE(labels(RC::TrjPrint06, {"QRLabel_year", "QRLabel_M", "QRLabel_D"}), QStringList({"2006", "12", "30"}));

    // Two keywords fill two labels of the page being prepared; a record
    // without period and date empties what the last one left.
    selectRecord("2006000002");
    p.PrepareReport(RC::TrjPrint03);
    QCOMPARE(labels(RC::TrjPrint03, keywords), QStringList({u("纳米"), u(" 涂层"), ""}));
    QCOMPARE(labels(RC::TrjPrint03, {"QR_item_15", "QR_item_127_1", "QR_item_12"}),
             QStringList({"520.10", u("课题名称"), ""}));
    QCOMPARE(labels(RC::TyyPrint03, keywords), QStringList({u("纳米"), "", ""})); // not prepared again
    p.PrepareReport(RC::Tyyfm1);
    QCOMPARE(labels(RC::Tyyfm1, cover), QStringList({"", "", "", "", "", "", ""}));
    p.PrepareReport(RC::TyyPrint08);
    QCOMPARE(labels(RC::TyyPrint08, {"QRLabel_year", "QRLabel_M", "QRLabel_d"}), QStringList({"", "", ""}));

    // Four keywords: the third and fourth share the third label.
    selectRecord("2006000003");
    p.PrepareReport(RC::TyyPrint03);
    QCOMPARE(labels(RC::TyyPrint03, keywords), QStringList({u("甲"), u("乙"), u("丙;丁")}));
}

void TestPrintPrep::codeTextsNamesAndPatentSlots()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    setFields(kKey, {{"ITEM_46", "03"}, {"ITEM_47", "01"}, {"ITEM_34", "2005.06.01"}, {"ITEM_64", "11"},
                     {"ITEM_63", "301"}});
    addPatents(kKey, 5);
    addRecord("2006000002", "1", u("乙"));
    setFields("2006000002", {{"ITEM_47", "09"}, {"ITEM_64", "1'"}});
    addPatents("2006000002", 2);
    PrintReports p;
    using RC = ReportClass;
    app.boxes().clear();

    selectRecord(kKey);
    report::Report &r = p.PrepareReport(RC::TyyPrint05);
    QCOMPARE(caption(p, RC::TyyPrint05, "QRLabel44"), u("100～500"));
    QCOMPARE(caption(p, RC::TyyPrint05, "QR_ITEM_34"), QString("2005.06.01"));
    QStringList filled;
    for (int i = 1; i <= 4; ++i)
        filled << r.caption(QString("QL_zlqk_zlh_%1").arg(i)) + "/" + r.caption(QString("QL_zlqk_zlm_%1").arg(i));
    QCOMPARE(filled, QStringList({u("ZL20051/专利1"), u("ZL20052/专利2"), u("ZL20053/专利3"), u("ZL20054/专利4")}));
    // The fifth has no line on the form: the user hears of it once.
    QCOMPARE(app.boxes().count(), 1);
    QVERIFY(app.boxes().last().text.contains(u("本成果有5项")));
    QVERIFY(app.boxes().last().text.contains(u("1项专利不能打印")));
    p.PrepareReport(RC::TyyPrint07);
    QCOMPARE(caption(p, RC::TyyPrint07, "QRLabel_64"), u("北京市"));
    QCOMPARE(caption(p, RC::TyyPrint07, "QRLabel_63"), u("外交部"));

    // The dictionary's later row of a code wins; codes and names not found
    // leave empty labels, a quote in a stored code breaks nothing.
    db::Table *dict = DM->Tblzdxx;
    dict->setFiltered(false);
    dict->append();
    dict->fieldByName("ZDDM")->setAsString("item_47");
    dict->fieldByName("XXDM")->setAsString("01");
    dict->fieldByName("XXMC")->setAsString(u("后加的名称"));
    dict->post();
    selectRecord(kKey);
    p.PrepareReport(RC::TyyPrint05);
    QCOMPARE(caption(p, RC::TyyPrint05, "QRLabel45"), u("后加的名称"));
    app.boxes().clear();
    selectRecord("2006000002");
    p.PrepareReport(RC::TyyPrint05);
    QCOMPARE(caption(p, RC::TyyPrint05, "QRLabel44"), QString());
    QCOMPARE(caption(p, RC::TyyPrint05, "QRLabel45"), QString());
    QCOMPARE(caption(p, RC::TyyPrint05, "QR_ITEM_34"), QString());
    QCOMPARE(caption(p, RC::TyyPrint05, "QL_zlqk_zlh_2"), QString("ZL20052"));
    QCOMPARE(caption(p, RC::TyyPrint05, "QL_zlqk_zlh_3"), QString());
    QCOMPARE(caption(p, RC::TyyPrint05, "QL_zlqk_zlm_4"), QString());
    QCOMPARE(app.boxes().count(), 0);
    p.PrepareReport(RC::TrjPrint05);
    QCOMPARE(caption(p, RC::TrjPrint05, "QR_item_64"), QString());
    QCOMPARE(caption(p, RC::TrjPrint05, "QR_item_9"), u("第一完成单位"));
    QCOMPARE(LookupName(DM->tblLsbw, "Bwdm", "Bwmc", "302"), u("国防部"));
    QCOMPARE(DM->tblLsbw->recordCount(), 1); // left filtered to the row found
}

void TestPrintPrep::paddedListsFillWholePages()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    PrintReports p;
    using RC = ReportClass;
    struct Case
    {
        RC report;
        bool persons;
        int n, rows, pages;
    };
    // Counts at the boundaries, in rising order per list: rows are added as we go.
    const Case cases[] = {
        {RC::TyyPrint10, true, 0, 17, 1},   {RC::TrjPrint08, true, 0, 17, 1},  {RC::TyyPrint10, true, 17, 17, 1},
        {RC::TrjPrint08, true, 17, 17, 1},  {RC::TyyPrint10, true, 18, 38, 2}, {RC::TrjPrint08, true, 18, 39, 2},
        {RC::TyyPrint10, true, 38, 38, 2},  {RC::TyyPrint10, true, 39, 59, 3}, {RC::TrjPrint08, true, 40, 61, 3},
        {RC::TyyPrint11, false, 13, 13, 1}, {RC::TrjPrint09, false, 15, 15, 1}, {RC::TyyPrint11, false, 14, 34, 2},
        {RC::TrjPrint09, false, 16, 37, 2}, {RC::TrjPrint09, false, 38, 59, 3},
    };
    int persons = 0, members = 0;
    for (const Case &c : cases) {
        int &have = c.persons ? persons : members;
        c.persons ? addPersons(kKey, c.n - have, have + 1) : addCommittee(kKey, c.n - have, have + 1);
        have = c.n;
        selectRecord(kKey);
        report::Report &r = p.PrepareReport(c.report);
        const clientdata::ClientDataSet &list = c.persons ? p.ClientDataSet2 : p.ClientDataSet1;
        const QString what = QString("%1 with %2").arg(r.name()).arg(c.n);
        QVERIFY2(list.recordCount() == c.rows, qPrintable(what));
        p.SetPageLabel(c.report, "10");
        const QVector<report::Page> pages = r.run();
        QVERIFY2(pages.size() == c.pages, qPrintable(what + QString(": %1 pages").arg(pages.size())));
        // Every row is a ruled row of the page; the last page ends the list.
        int printed = 0;
        for (const report::Page &page : pages)
            printed += int(page.all(c.persons ? "DB_ITEM_180" : "DB_ITEM_192").size());
        QVERIFY2(printed == c.rows, qPrintable(what));
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(pages[i].text("QRSysData1"), c.pages > 1 ? QString("10--%1").arg(i + 1) : QString());
            QCOMPARE(pages[i].text("QRpage"), c.pages > 1 ? QString() : QString("10"));
        }
    }
    // Codes print as their names, texts trimmed; the applied-technology
    // committee list keeps the remark as stored.
    selectRecord(kKey);
    p.PrepareReport(RC::TyyPrint10);
    const clientdata::ClientDataSet &people = p.ClientDataSet2;
    QCOMPARE(column(people, "ITEM_180").first(), u("完成人1"));
    QCOMPARE(people.value(0, "ITEM_187"), QString("1"));
    QCOMPARE(people.value(0, "ITEM_181") + people.value(0, "ITEM_183") + people.value(0, "ITEM_184")
                 + people.value(0, "ITEM_188"),
             u("男正高硕士研究生是"));
    QCOMPARE(people.value(0, "ITEM_4"), QString());
    QCOMPARE(column(people, "ITEM_180").last(), QString()); // padding
    QCOMPARE(people.recordCount(), 59);
    p.PrepareReport(RC::TyyPrint11);
    QCOMPARE(p.ClientDataSet1.value(0, "ITEM_193") + p.ClientDataSet1.value(0, "ITEM_198"), u("女副高"));
    QCOMPARE(p.ClientDataSet1.value(0, "ITEM_199"), u("  备注"));
    QCOMPARE(p.ClientDataSet1.value(0, "ITEM_4"), kKey);
    p.PrepareReport(RC::TrjPrint09);
    QCOMPARE(p.ClientDataSet1.value(0, "ITEM_199"), u("备注"));
    QVERIFY(DM->TblCgwcr->eof() && !DM->TblCgwcr->controlsDisabled());
}

void TestPrintPrep::unitsListsHaveTheirFixedRows()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    addRecord("2006000002", "1", u("乙"));
    addUnits("2006000002", 30);
    PrintReports p;
    using RC = ReportClass;

    selectRecord(kKey);
    for (auto [cls, rows] : {std::pair{RC::TyyPrint07, 23}, std::pair{RC::TrjPrint05, 13}}) {
        report::Report &r = p.PrepareReport(cls);
        QCOMPARE(p.ClientDataSet3.recordCount(), rows);
        QCOMPARE(column(p.ClientDataSet3, "ITEM_170"), QStringList(rows, QString()));
        const QVector<report::Page> pages = r.run();
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].all("DB_ITEM_170").size(), rows);
    }
    QCOMPARE(app.boxes().count(), 0);

    selectRecord("2006000002");
    for (auto [cls, rows] : {std::pair{RC::TyyPrint07, 23}, std::pair{RC::TrjPrint05, 13}}) {
        app.boxes().clear();
        report::Report &r = p.PrepareReport(cls);
        QCOMPARE(p.ClientDataSet3.recordCount(), rows);
        QCOMPARE(p.ClientDataSet3.value(0, "ITEM_170"), u("合作单位1"));
        QCOMPARE(p.ClientDataSet3.value(rows - 1, "ITEM_176"), QString::number(rows));
        QCOMPARE(p.ClientDataSet3.value(0, "ITEM_174"), QString());
        QCOMPARE(r.run().size(), 1);
        QCOMPARE(app.boxes().count(), 1);
        QVERIFY(app.boxes().last().text.contains(u("本成果有30个")));
        QVERIFY(app.boxes().last().text.contains(QString::number(30 - rows) + u("个单位不能打印")));
    }
}

void TestPrintPrep::listsPrintOnePageAPerRequest()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    addPersons(kKey, 18);
    addRecord("2006000002", "1", u("乙"));
    addPersons("2006000002", 17);
    PrintReports p;
    using RC = ReportClass;
    QList<report::PrintRequest> sent;
    ui::HandlerOverride<report::PrintHandler> printer(report::setPrintHandler,
                                                      [&](const report::PrintRequest &q) { sent << q; });

    selectRecord(kKey);
    p.PrintSection(RC::TyyPrint10, "6");
    QCOMPARE(sent.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(sent[i].report, QString("TyyPrint10"));
        QCOMPARE(std::pair(sent[i].firstPage, sent[i].lastPage), std::pair(i + 1, i + 1));
        QCOMPARE(sent[i].pages.size(), 1);
        QCOMPARE(sent[i].pages[0].text("QRSysData1"), QString("6--%1").arg(i + 1));
    }
    sent.clear();
    selectRecord("2006000002");
    p.PrintSection(RC::TyyPrint10, "6");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].pages[0].text("QRpage"), QString("6"));

    // A preview shows the page's number in the form, a section print its place.
    sent.clear();
    p.PreviewReport(RC::TyyPrint03, "3");
    QCOMPARE(app.modals().shown(), QStringList({"PrintPreview"}));
    QCOMPARE(p.form(RC::TyyPrint03)->lastRun()[0].text("QRPage"), QString("3"));
    p.PrintSection(RC::TyyPrint03, "1");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(std::pair(sent[0].firstPage, sent[0].lastPage), std::pair(0, 0));
    QCOMPARE(sent[0].pages[0].text("QRPage"), QString("1"));
    QVERIFY(sent.size() == 1 && app.boxes().count() == 0);
}

void TestPrintPrep::fullPrintsSendTheFormInOrder()
{
    AppFixture app;
    addRecord(kKey, "1", u("甲"));
    addPersons(kKey, 18);
    addCommittee(kKey, 3);
    addRecord("2006000002", "3", u("乙"));
    addCommittee("2006000002", 16);
    PrintReports p;
    QStringList sent;
    ui::HandlerOverride<report::PrintHandler> printer(report::setPrintHandler, [&](const report::PrintRequest &q) {
        QString label;
        for (const char *name : {"QRPage", "QRSysData1", "QRpage"})
            label += q.pages[0].text(name);
        sent << QString("%1 %2-%3 %4").arg(q.report).arg(q.firstPage).arg(q.lastPage).arg(label).trimmed();
    });

    selectRecord(kKey);
    p.PrintWholeForm(true);
    QCOMPARE(sent, QStringList({"Tyyfm1 0-0", "TyyPrint03 0-0 1", "TyyPrint05 0-0 2", "TyyPrint07 0-0 3",
                                "TyyPrint08 0-0 4", "TyyPrint09 0-0 5", "TyyPrint10 1-1 6--1", "TyyPrint10 2-2 6--2",
                                "TyyPrint11 1-1 7"}));
    sent.clear();
    selectRecord("2006000002");
    p.PrintWholeForm(false);
    QCOMPARE(sent, QStringList({"Trjfm1 0-0", "TrjPrint03 0-0 1", "TrjPrint05 0-0 2", "TrjPrint06 0-0 3",
                                "TrjPrint07 0-0 4", "TrjPrint08 1-1 5", "TrjPrint09 1-1 6--1", "TrjPrint09 2-2 6--2"}));
    QCOMPARE(p.ReportCreateCount[reportIndex(ReportClass::TyyPrint10)], 1);
    QCOMPARE(p.ReportCreateCount[reportIndex(ReportClass::TyyPrint01)], 0);
}

} // namespace

QTEST_MAIN(TestPrintPrep)
#include "tst_printprep.moc"
