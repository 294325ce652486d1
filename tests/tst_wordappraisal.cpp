// The appraisal application and certificate written into Word documents:
// every bookmark read back from the produced files for a full and a nearly
// empty record, the caps of the row lists, the secrecy mark and the
// trailing returns.
#include "AppFixture.h"
#include "Records.h"
#include "tst_word_docx.h"
#include "tst_word_fills.h"

#include "WordAppraisal.h"

#include <QDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace wordfills;

namespace {

const QString kKey = "2006000001";
const QString kApplication = u"科学技术成果鉴定申请表.dotx"_s;
const QString kCertificate = u"科学技术成果鉴定证书.dotx"_s;
const QString kTitle = u"稀土永磁同步电机高效节能控制技术研究与应用"_s; // 42 bytes
const QString kUnit = u"华东电机研究所"_s;
const QString kEvaluator = u"省科学技术厅"_s;
const QHash<QString, std::pair<QString, QString>> kEvaluationForm = {
    {"1", {"1", u"鉴定"_s}}, {"2", {"6", u"结题"_s}}, {"3", {"4", u"评审"_s}}};

void setFields(const Fields &fields)
{
    for (const auto &[field, value] : fields)
        setRecordField(kKey, field, value);
    selectRecord(kKey);
}

void addFullRecord(const QString &category)
{
    addRecord(kKey, category, kTitle);
    setFields({
        {"ITEM_9", kUnit}, {"ITEM_130", kEvaluator}, {"ITEM_8", u"2003.01   至2005.12"_s}, {"ITEM_63", "302"},
        {"ITEM_64", "31"}, {"ITEM_62", "3"}, {"ITEM_41_3", "01"}, {"ITEM_41", u"王五"_s}, {"ITEM_38", "200001"},
        {"ITEM_41_2", "13800000000"}, {"ITEM_37", u"上海市长宁路100号"_s}, {"ITEM_126", "01;19;"}, {"ITEM_140", "1"},
        {"ITEM_1", "3"}, {"ITEM_13_1", u"第一段说明。\r\n第二段：A&B <C>。"_s}, {"ITEM_13_2", u"推广前景"_s},
        {"ITEM_13_3", u"技术文件目录"_s}, {"ITEM_133", u"测试报告"_s}, {"ITEM_303", u"鉴定意见"_s},
        // Each category names its forms from its own list: 鉴定 (1) is applied
        // technology's, 结题 (6) and 评审 (4) are the others'.
        {"ITEM_21", kEvaluationForm.value(category).first}, {"ITEM_34", "2006.05.20"}, {"ITEM_302", "2006.06.18"},
        {"ITEM_2", "2"}, {"ITEM_125", "03;"}, {"ITEM_32", "2"}, {"ITEM_33", "2"},
    });
}

void addPersonRows(Texts &t, int n)
{
    for (int i = 1; i <= n; ++i)
        t.insert({{u"item_180_%1"_s.arg(i), u"完成人%1"_s.arg(i)}, {u"item_181_%1"_s.arg(i), u"女"_s},
                  {u"item_182_%1"_s.arg(i), "1970.05"}, {u"item_183_%1"_s.arg(i), u"副高"_s},
                  {u"item_184_%1"_s.arg(i), u"博士研究生"_s}, {u"item_185_%1"_s.arg(i), u"研究所"_s},
                  {u"item_186_%1"_s.arg(i), u"总体设计"_s}});
}

Texts expectedApplication(int persons)
{
    Texts t = {
        {"item_3_1", kTitle + "\r"}, {"item_9", kUnit + "\r"}, {"item_130_1", kEvaluator + "\r"}, {"item_3_2", kTitle},
        {"item_8_1", u"2003年01月"_s}, {"item_8_2", u"2005年12月"_s}, {"item_9_1", kUnit}, {"item_63", "302"},
        {"item_64", "31"}, {"item_64_1", u"上海市"_s}, {"item_63_1", u"国防部"_s}, {"item_62", "3"},
        {"item_41", u"王五"_s}, {"item_38", "200001"}, {"item_41_2", "13800000000"},
        {"item_37", u"上海市长宁路100号"_s}, {"item_126", "01;19;"}, {"item_126_2", u"国家科技计划(863计划);其他"_s},
        {"item_1_1", "1"}, {"item_1_2", "3"}, {"item_13_1", u"第一段说明。\r第二段：A&B <C>。"_s},
        {"item_13_3", u"技术文件目录"_s},
    };
    addPersonRows(t, persons);
    return t;
}

Texts expectedCertificate(const QString &category, int units, int persons, int committee)
{
    Texts t = {
        {"item_3", kTitle + "\r"}, {"item_9", kUnit + "\r"}, {"item_21", kEvaluationForm.value(category).second},
        {"item_130", kEvaluator + "\r"}, {"item_34_y", "2006"}, {"item_34_m", "05"}, {"item_34_d", "20"},
        {"item_302_y", "2006"}, {"item_302_m", "06"}, {"item_302_d", "18"},
        {"item_13_1", u"第一段说明。\r第二段：A&B <C>。"_s}, {"item_13_2", u"推广前景"_s},
        {"item_13_3", u"技术文件目录"_s}, {"item_133", u"测试报告"_s}, {"item_303", u"鉴定意见"_s}, {"item_9_2", kUnit},
        {"item_38", "200001"}, {"item_64", "31"}, {"item_37", u"上海市长宁路100号"_s}, {"item_63", u"国防部"_s},
        {"item_62", u"企业(国有企业)"_s}, {"item_3_1", kTitle}, {"item_8_1", u"2003年01月"_s},
        {"item_8_2", u"2005年12月"_s}, {"item_9_1", kUnit}, {"item_63_1", "302"}, {"item_64_1", "31"},
        {"item_64_2", u"上海市"_s}, {"item_63_2", u"国防部"_s}, {"item_62_1", "3"}, {"item_41", u"王五"_s},
        {"item_38_1", "200001"}, {"item_41_2", "13800000000"}, {"item_37_1", u"上海市长宁路100号"_s},
        {"item_34_1", "2006.05.20"}, {"item_302_1", "2006.06.18"}, {"item_130_1", kEvaluator}, {"item_1_1", "1"},
        {"item_1_2", "3"}, {"item_2", "2"}, {"item_126", "01;19;"}, {"item_126_2", u"国家科技计划(863计划);其他"_s},
        {"item_125", "03;"}, {"item_32_1", "2"}, {"item_32_1_1", u"应用后停用"_s}, {"item_33", "2"},
    };
    for (int i = 1; i <= units; ++i)
        t.insert({{u"item_170_%1"_s.arg(i), u"合作单位%1"_s.arg(i)}, {u"item_171_%1"_s.arg(i), u"地址%1"_s.arg(i)},
                  {u"item_172_%1"_s.arg(i), "100080"}});
    addPersonRows(t, persons);
    for (int i = 1; i <= committee; ++i)
        t.insert({{u"item_191_%1"_s.arg(i), u"委员"_s}, {u"item_192_%1"_s.arg(i), u"专家%1"_s.arg(i)},
                  {u"item_195_%1"_s.arg(i), u"大学"_s}, {u"item_196_%1"_s.arg(i), u"电机"_s},
                  {u"item_197_%1"_s.arg(i), u"控制"_s}, {u"item_198_%1"_s.arg(i), u"正高"_s}});
    return t;
}

// Runs one export on the current record and reads back the document it opened.
Texts exported(AppFixture &app, AppraisalDocument document)
{
    const qsizetype before = app.openedDocuments().size();
    AppraisalToWord(document);
    if (app.openedDocuments().size() != before + 1)
        return {{"<no document>", app.boxes().last().text}};
    const QString path = app.openedDocuments().last();
    const QStringList problems = docx::problems(path);
    if (!problems.isEmpty())
        return {{"<unsound document>", problems.join(", ")}};
    const QString templateName = document == AppraisalDocument::application ? kApplication : kCertificate;
    return readBack(path, QDir(app.dataDir()).filePath(templateName));
}

} // namespace

class TestWordAppraisal : public QObject
{
    Q_OBJECT

private slots:
    void fullRecordFillsEveryBookmark_data();
    void fullRecordFillsEveryBookmark();
    void nearlyEmptyRecordFillsEmptyTexts();
    void rowListsStopAtTheirCaps();
    void secrecyMarkFollowsTheLevel();
    void trailingReturnsCountGbkBytes();
};

void TestWordAppraisal::fullRecordFillsEveryBookmark_data()
{
    QTest::addColumn<QString>("category");
    QTest::newRow("applied technology") << "1";
    QTest::newRow("soft science") << "2";
    QTest::newRow("basic theory") << "3";
}

void TestWordAppraisal::fullRecordFillsEveryBookmark()
{
    QFETCH(QString, category);
    AppFixture app;
    addFullRecord(category);
    addChildRows(kKey, 3, 2, 2, 2);
    selectRecord(kKey);

    compareFills(exported(app, AppraisalDocument::application), expectedApplication(3), kApplication);
    QCOMPARE(docx::pageFaults(app.openedDocuments().last(), {u"三、简要技术说明"_s, u"五、主要研制人员"_s},
                              {"item_13_1", "item_13_3"}),
             QStringList());
    compareFills(exported(app, AppraisalDocument::certificate), expectedCertificate(category, 2, 3, 2),
                 kCertificate);
    QCOMPARE(docx::pageFaults(app.openedDocuments().last(),
                              {u"简要技术说明"_s, u"主要技术文件目录及来源"_s, u"鉴定意见"_s, u"完成单位情况"_s,
                               u"主要研制人员名单"_s, u"鉴定委员会名单"_s, u"成果登记信息"_s},
                              {"item_13_1", "item_13_2", "item_13_3", "item_133", "item_303"}),
             QStringList());
    // Each export asked once and had nothing more to say.
    QCOMPARE(app.boxes().texts(), QStringList(2, u"您确定输出word文档吗？\r\n"_s));
    QCOMPARE(app.boxes().last().caption, u"提示"_s);
    QCOMPARE(QFileInfo(app.openedDocuments()[1]).fileName().left(10), u"科学技术成果鉴定证书"_s);
    // The lists leave their tables filtered to the record.
    QCOMPARE(DM->Tbljdwyhmd->filter(), u"item_4='2006000001' and item_dqdm='.'"_s);
}

void TestWordAppraisal::nearlyEmptyRecordFillsEmptyTexts()
{
    AppFixture app;
    addRecord(kKey, "2", u"成果"_s); // a title and a first unit, nothing else
    selectRecord(kKey);

    // Empty texts are filled like any other: the short ones with their return.
    compareFills(exported(app, AppraisalDocument::application),
                 {{"item_3_1", u"成果\r"_s}, {"item_9", u"第一完成单位\r"_s}, {"item_130_1", "\r"},
                  {"item_3_2", u"成果"_s}, {"item_9_1", u"第一完成单位"_s}, {"item_1_1", "0"}},
                 kApplication);
    compareFills(exported(app, AppraisalDocument::certificate),
                 {{"item_3", u"成果\r"_s}, {"item_9", u"第一完成单位\r"_s}, {"item_130", "\r"},
                  {"item_9_2", u"第一完成单位"_s}, {"item_3_1", u"成果"_s}, {"item_9_1", u"第一完成单位"_s},
                  {"item_1_1", "0"}},
                 kCertificate);
    QCOMPARE(app.boxes().count(), 2);
}

void TestWordAppraisal::rowListsStopAtTheirCaps()
{
    AppFixture app;
    addFullRecord("1");
    addChildRows(kKey, 20, 9, 3, 20);
    selectRecord(kKey);

    compareFills(exported(app, AppraisalDocument::application), expectedApplication(15), kApplication);
    QCOMPARE(app.boxes().last().text, u"“成果完成人员名单”只能写入15人，本成果有20人，其余5人没有写入。"_s);

    const Texts certificate = exported(app, AppraisalDocument::certificate);
    compareFills(certificate, expectedCertificate("1", 7, 15, 15), kCertificate);
    QVERIFY(!certificate.contains("item_170_8") && !certificate.contains("item_180_16")
            && !certificate.contains("item_191_16"));
    QCOMPARE(app.boxes().last().text, u"“合作完成单位”只能写入7个，本成果有9个，其余2个没有写入。\r\n"
                                      "“成果完成人员名单”只能写入15人，本成果有20人，其余5人没有写入。\r\n"
                                      "“评价委员会名单”只能写入15人，本成果有20人，其余5人没有写入。"_s);
}

void TestWordAppraisal::secrecyMarkFollowsTheLevel()
{
    AppFixture app;
    addFullRecord("2");
    // Only the secret levels carry their code; the place stays as the
    // template has it otherwise.
    const QList<std::tuple<QString, QString, QString>> cases = {
        {"", "0", ""}, {"1", "0", ""}, {"2", "1", "2"}, {"3", "1", "3"}, {"4", "1", "4"}, {"9", "0", ""},
    };
    for (const auto &[level, mark, shown] : cases) {
        setFields({{"ITEM_1", level}});
        for (const AppraisalDocument document : {AppraisalDocument::application, AppraisalDocument::certificate}) {
            const Texts t = exported(app, document);
            QVERIFY2(t.value("item_1_1") == mark && t.value("item_1_2") == shown,
                     qPrintable(level + ": " + t.value("item_1_1") + "/" + t.value("item_1_2")));
        }
    }
}

void TestWordAppraisal::trailingReturnsCountGbkBytes()
{
    AppFixture app;
    addFullRecord("1");
    const QString twenty = u"一二三四五六七八九十一二三四五六七八九十"_s; // 40 bytes
    const QString twentyTwo = twenty + u"一二"_s;                           // 44 bytes
    // The title and the unit below 46 bytes on both; the evaluating unit
    // below 40 on the application, below 46 on the certificate.
    struct Case
    {
        QString title, unit, evaluator;
        bool titleReturn, unitReturn, evaluatorReturnApplication, evaluatorReturnCertificate;
    };
    const QList<Case> cases = {
        {twentyTwo + "A", twentyTwo + u"一"_s, twenty.left(19) + "A", true, false, true, true}, // 45, 46, 39
        {twentyTwo + u"一"_s, twentyTwo + "A", twenty, false, true, false, true},                // 46, 45, 40
        {twentyTwo + u"一"_s + "A", twentyTwo + "A", twentyTwo + "AB", false, true, false, false}, // 47, 45, 46
    };
    const auto withReturn = [](const QString &text, bool on) { return on ? text + "\r" : text; };
    for (const Case &c : cases) {
        setFields({{"ITEM_3", c.title}, {"ITEM_9", c.unit}, {"ITEM_130", c.evaluator}});
        const Texts application = exported(app, AppraisalDocument::application);
        QCOMPARE(application.value("item_3_1"), withReturn(c.title, c.titleReturn));
        QCOMPARE(application.value("item_9"), withReturn(c.unit, c.unitReturn));
        QCOMPARE(application.value("item_130_1"), withReturn(c.evaluator, c.evaluatorReturnApplication));
        QCOMPARE(application.value("item_3_2"), c.title);
        const Texts certificate = exported(app, AppraisalDocument::certificate);
        QCOMPARE(certificate.value("item_3"), withReturn(c.title, c.titleReturn));
        QCOMPARE(certificate.value("item_9"), withReturn(c.unit, c.unitReturn));
        QCOMPARE(certificate.value("item_130"), withReturn(c.evaluator, c.evaluatorReturnCertificate));
        // Their second places never get one.
        QCOMPARE(certificate.value("item_3_1"), c.title);
        QCOMPARE(certificate.value("item_130_1"), c.evaluator);
    }
}

QTEST_MAIN(TestWordAppraisal)
#include "tst_wordappraisal.moc"
