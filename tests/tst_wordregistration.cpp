// The registration form written into Word documents from the templates in
// the data folder: every bookmark read back from the produced files, the row
// lists and their caps, the trailing returns, the text routines and
// composite texts, and every way an export can fail before it opens anything.
#include "AppFixture.h"
#include "Records.h"
#include "tst_word_docx.h"
#include "tst_word_fills.h"

#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "WordOutput.h"
#include "WordRegistration.h"
#include "WordText.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"
#include "ui/Seam.h"
#include "word/Application.h"
#include "word/TemplateBuilder.h"

#include <QDir>
#include <QtTest>
#include <functional>

using namespace Qt::StringLiterals;
using namespace wordfills;

namespace {

const QString kKey = "2006000001";

// The program with its documents going to a folder of the test and the
// desktop's opener recording what it would open.
class WordSession
{
public:
    WordSession()
        : m_opener(ui::setDocumentOpener, [this](const QString &path) { opened << path; return true; }),
          m_folder(word::setDocumentFolder, m_documents.path()),
          m_clock(ui::setClock, [] { return QDateTime(QDate(2006, 12, 30), QTime(10, 0)); })
    {
    }
    ui::ScriptedMessageBoxes &boxes() { return m_app.boxes(); }
    QString dataFile(const QString &name) const { return QDir(m_app.dataDir()).filePath(name); }
    QStringList written() const { return QDir(m_documents.path()).entryList(QDir::Files); }

    QStringList opened;

private:
    AppFixture m_app;
    TempDir m_documents;
    ui::HandlerOverride<ui::DocumentOpener> m_opener;
    ui::HandlerOverride<QString> m_folder;
    ui::HandlerOverride<ui::Clock> m_clock;
};

void setFields(const Fields &fields)
{
    for (const auto &[field, value] : fields)
        setRecordField(kKey, field, value);
}

// The record the print window works on: the list's current row.
void selectRecord()
{
    DM->OpenSql(DM->Qrykjcg, "select * from kjcg");
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", kKey));
}


const QString kTitle = u"稀土永磁同步电机高效节能控制技术研究与应用"_s; // 42 bytes
const QString kMemo = u"第一段说明。\r\n第二段：A&B <C>。"_s;

// A record with every field the documents show, and the texts they show.
void addFullRecord(const QString &category)
{
    addRecord(kKey, category, kTitle);
    setFields({
        {"ITEM_14", u"永磁电机;矢量控制;节能"_s}, {"ITEM_123", "1"}, {"ITEM_16", "3"}, {"ITEM_2", "2"}, {"ITEM_33", "2"},
        {"ITEM_201", "2"}, {"ITEM_210", "1"}, {"ITEM_200", "01;"}, {"ITEM_15", "110"}, {"ITEM_15_1", "11011"},
        {"ITEM_12", "A"}, {"ITEM_12_1", "A1"}, {"ITEM_124_1", "07;01;"}, {"ITEM_125", "03;"}, {"ITEM_126", "01;19;"},
        {"ITEM_140", "1"}, {"ITEM_125_1", "1"}, {"ITEM_127", "2005AA501110"}, {"ITEM_127_1", u"电机节能课题"_s},
        {"ITEM_149", "350.5"}, {"ITEM_141", "100"}, {"ITEM_148", "50"}, {"ITEM_142", "60"}, {"ITEM_142_1", "30"},
        {"ITEM_142_2", "20"}, {"ITEM_142_3", "10"}, {"ITEM_143", "40"}, {"ITEM_144", "80.5"}, {"ITEM_243", "10"},
        {"ITEM_244", "5"}, {"ITEM_145", "5"}, {"ITEM_21", category == "1" ? "1" : "4"}, {"ITEM_130", u"省科学技术厅"_s},
        {"ITEM_34", "2006.05.20"}, {"ITEM_22", u"鉴字[2006]第018号"_s}, {"ITEM_51", "1"}, {"ITEM_51_1", "3"},
        {"ITEM_51_2", "2"}, {"ITEM_51_3", "1"}, {"ITEM_53", "2006SR01234"}, {"ITEM_52", u"电机控制软件"_s},
        {"ITEM_32", "2"}, {"ITEM_45", "3"}, {"ITEM_150", "120"}, {"ITEM_162", "20"}, {"ITEM_151_1", "45.5"},
        {"ITEM_152_1", "12"}, {"ITEM_153", "8"}, {"ITEM_154", "30"}, {"ITEM_46", "03"}, {"ITEM_47", "02"},
        {"ITEM_161", "1;4;"}, {"ITEM_32_1", "2;"}, {"ITEM_160", "23"}, {"ITEM_9", u"华东电机研究所"_s},
        {"ITEM_420", "12345678-9"}, {"ITEM_37", u"上海市长宁路100号"_s}, {"ITEM_38", "200001"},
        {"ITEM_39", "021-12345678"}, {"ITEM_40", "021-12345679"}, {"ITEM_60", "www.example.cn"}, {"ITEM_62", "3"},
        {"ITEM_41_3", "01"}, {"ITEM_163", "1"}, {"ITEM_64", "31"}, {"ITEM_63", "302"}, {"ITEM_41", u"王五"_s},
        {"ITEM_41_2", "13800000000"}, {"ITEM_61", "wangwu@example.cn"}, {"ITEM_13_1", kMemo},
        {"ITEM_8", u"2003.01   至2005.12"_s}, {"ITEM_128", u"上海市科学技术委员会"_s}, {"ITEM_120", "S2006-001"},
        {"ITEM_121", "2006-12-30"},
    });
}

Texts expectedCover(bool applied, bool bodyText)
{
    // A title of 42 bytes is short only for the applied-technology cover.
    Texts t = {{"item_3", kTitle + (applied ? "\r" : "")}, {"item_9", u"华东电机研究所"_s + "\r"},
               {"item_8_1", u"2003年01月"_s}, {"item_8_2", u"2005年12月"_s},
               {"item_128", u"上海市科学技术委员会"_s + "\r"}, {"item_120", "S2006-001"}};
    if (bodyText)
        t["item_121"] = "2006-12-30";
    return t;
}

Texts expectedBody(bool applied, bool bodyText, int persons, int units, int patents, int committee)
{
    Texts t = {
        {"item_3", kTitle}, {"item_14_1", u"永磁电机"_s}, {"item_14_2", u"矢量控制"_s}, {"item_14_3", u"节能"_s},
        {"item_2", u"国际先进"_s}, {"item_201", u"与企业合作"_s}, {"item_15", u"110 数学"_s},
        {"item_15_1", u"11011 数学史"_s}, {"item_12", u"A 马克思主义、列宁主义、毛泽东思想、邓小平理论"_s},
        {"item_12_1", u"A1 马克思、恩格斯著作"_s}, {"item_125", u"制造业;"_s},
        {"item_126", u"国家科技计划(863计划);其他"_s}, {"item_127", "2005AA501110"}, {"item_127_1", u"电机节能课题"_s},
        {"item_149", "350.5"}, {"item_141", "100"}, {"item_148", "50"}, {"item_142", "60"}, {"item_142_1", "30"},
        {"item_142_2", "20"}, {"item_142_3", "10"}, {"item_143", "40"}, {"item_144", "80.5"}, {"item_243", "10"},
        {"item_244", "5"}, {"item_145", "5"}, {"item_130", u"省科学技术厅"_s}, {"item_34", "2006.05.20"},
        {"item_22", u"鉴字[2006]第018号"_s}, {"item_9", u"华东电机研究所"_s}, {"item_420", "12345678-9"},
        {"item_37", u"上海市长宁路100号"_s}, {"item_38", "200001"}, {"item_39", "021-12345678"},
        {"item_40", "021-12345679"}, {"item_60", "www.example.cn"}, {"item_62", u"企业(国有企业)"_s},
        {"item_163", u"(属于科研机构转制型企业)"_s}, {"item_64", u"上海市"_s}, {"item_63", u"国防部"_s},
        {"item_41", u"王五"_s}, {"item_41_2", "13800000000"}, {"item_61", "wangwu@example.cn"},
        {"item_13_1", u"第一段说明。\r第二段：A&B <C>。"_s},
    };
    if (applied) {
        t.insert({{"item_123", u"新技术"_s}, {"item_16", u"成熟应用阶段"_s}, {"item_33", u"限国内转让"_s},
                  {"item_124_1", u"新能源与高效节能;电子信息"_s}, {"item_125_1", u"原始性创新"_s}, {"item_21", u"鉴定"_s},
                  {"item_51", u"发明专利"_s}, {"item_51_1", u"已授权专利"_s}, {"item_51_2", "2"}, {"item_51_3", "1"},
                  {"item_53", "2006SR01234"}, {"item_52", u"电机控制软件"_s}, {"item_32", u"应用后停用"_s},
                  {"item_45", "3"}, {"item_150", "120"}, {"item_162", "20"}, {"item_151_1", "45.5"},
                  {"item_152_1", "12"}, {"item_153", "8"}, {"item_154", "30"}, {"item_46", u"100～500"_s},
                  {"item_47", u"10～50"_s}, {"item_161", u"产权转让;合作开发"_s}, {"item_32_1", u"技术问题;(成套性差)"_s}});
        for (int i = 1; i <= qMin(patents, 4); ++i) {
            t[u"patent_no_%1"_s.arg(i)] = QString("ZL2005100%1").arg(i);
            t[u"patent_nam_%1"_s.arg(i)] = u"专利%1"_s.arg(i);
        }
    } else {
        t.insert({{"item_210", u"论文"_s}, {"item_200", u"陆地、海洋和大气的开发与评价;"_s}, {"item_21", u"评审"_s}});
    }
    for (int i = 1; i <= qMin(units, applied ? 8 : 5); ++i)
        t.insert({{u"item_176_%1"_s.arg(i), QString::number(i)}, {u"item_170_%1"_s.arg(i), u"合作单位%1"_s.arg(i)},
                  {u"item_171_%1"_s.arg(i), u"地址%1"_s.arg(i)}, {u"item_172_%1"_s.arg(i), "100080"},
                  {u"item_173_%1"_s.arg(i), u"联系人%1"_s.arg(i)}});
    for (int i = 1; i <= qMin(persons, bodyText ? 45 : 34); ++i)
        t.insert({{u"item_187_%1"_s.arg(i), QString::number(i)}, {u"item_180_%1"_s.arg(i), u"完成人%1"_s.arg(i)},
                  {u"item_181_%1"_s.arg(i), u"女"_s}, {u"item_182_%1"_s.arg(i), "1970.05"},
                  {u"item_183_%1"_s.arg(i), u"副高"_s}, {u"item_184_%1"_s.arg(i), u"博士研究生"_s},
                  {u"item_188_%1"_s.arg(i), u"是"_s}, {u"item_185_%1"_s.arg(i), u"研究所"_s},
                  {u"item_186_%1"_s.arg(i), u"总体设计"_s}});
    for (int i = 1; i <= qMin(committee, 13); ++i)
        t.insert({{u"item_191_%1"_s.arg(i), u"委员"_s}, {u"item_192_%1"_s.arg(i), u"专家%1"_s.arg(i)},
                  {u"item_193_%1"_s.arg(i), u"男"_s}, {u"item_195_%1"_s.arg(i), u"大学"_s},
                  {u"item_196_%1"_s.arg(i), u"电机"_s}, {u"item_197_%1"_s.arg(i), u"控制"_s},
                  {u"item_198_%1"_s.arg(i), u"正高"_s}});
    return t;
}

QString templateFor(bool applied, const char *part, bool bodyText)
{
    return (applied ? u"应用技术"_s : u"基础、软科学"_s) + QString::fromUtf8(part) + (bodyText ? "(正文)" : "") + ".dotx";
}

WordFamily familyOf(bool applied)
{
    return applied ? WordFamily::yy : WordFamily::rj;
}

} // namespace

class TestWordRegistration : public QObject
{
    Q_OBJECT

private slots:
    void everyBookmarkHoldsItsText_data();
    void everyBookmarkHoldsItsText();
    void rowListsStopAtTheirCaps();
    void trailingReturnsCountGbkBytes();
    void textRoutinesAndCompositeTexts();
    void failuresOpenNothing();
    void numbersInPlainDecimals();
};

void TestWordRegistration::everyBookmarkHoldsItsText_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<bool>("bodyText");
    QTest::newRow("applied technology") << "1" << false;
    QTest::newRow("applied technology, body text") << "1" << true;
    QTest::newRow("soft science") << "2" << false;
    QTest::newRow("basic theory, body text") << "3" << true;
}

void TestWordRegistration::everyBookmarkHoldsItsText()
{
    QFETCH(QString, category);
    QFETCH(bool, bodyText);
    const bool applied = category == "1";
    WordSession s;
    addFullRecord(category);
    addChildRows(kKey, 3, 2, 2, 2);
    selectRecord();

    RegistrationToWord(familyOf(applied), bodyText);

    QCOMPARE(s.boxes().count(), 1);
    QCOMPARE(s.boxes().last().text, u"您确定输出word文档吗？\r\n"_s);
    QCOMPARE(s.boxes().last().caption, u"提示"_s);
    QCOMPARE(s.boxes().last().buttonSet(), ui::MB_OKCANCEL);
    QCOMPARE(s.opened.size(), 2);
    for (const QString &path : s.opened)
        QCOMPARE(docx::problems(path), QStringList());
    const QString cover = templateFor(applied, "封面", bodyText), body = templateFor(applied, "登记表", bodyText);
    QCOMPARE(QFileInfo(s.opened[0]).fileName(), QFileInfo(cover).completeBaseName() + " 20061230-100000.docx");
    compareFills(readBack(s.opened[0], s.dataFile(cover)), expectedCover(applied, bodyText), cover);
    compareFills(readBack(s.opened[1], s.dataFile(body)), expectedBody(applied, bodyText, 3, 2, 2, 2), body);
    // Each part starts its page with its heading; the description runs on.
    QCOMPARE(docx::pageFaults(s.opened[1], {u"成果简介（简要技术说明与应用前景）"_s, u"批准登记单位意见"_s,
                                            u"成果完成人员名单"_s, u"评价委员会名单"_s},
                              {"item_13_1"}),
             QStringList());

    // The exports leave the child tables filtered to the record.
    QCOMPARE(DM->TblCgwcr->filter(), u"item_4='2006000001' and item_dqdm='.'"_s);
    QCOMPARE(DM->Tbljdwyhmd->recordCount(), 2);
}

void TestWordRegistration::rowListsStopAtTheirCaps()
{
    WordSession s;
    addFullRecord("1");
    addChildRows(kKey, 40, 9, 5, 14);
    selectRecord();

    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.opened.size(), 2);
    compareFills(readBack(s.opened[1], s.dataFile(u"应用技术登记表.dotx"_s)), expectedBody(true, false, 40, 9, 5, 14),
                 "full");
    // One box tells of every list that did not fit, with its counts.
    QCOMPARE(s.boxes().count(), 2);
    QCOMPARE(s.boxes().last().text,
             u"“已受理和已授权专利情况”只能写入4项，本成果有5项，其余1项没有写入。\r\n"
             "“合作完成单位”只能写入8个，本成果有9个，其余1个没有写入。\r\n"
             "“成果完成人员名单”只能写入34人，本成果有40人，其余6人没有写入。\r\n"
             "“评价委员会名单”只能写入13人，本成果有14人，其余1人没有写入。"_s);

    // The body text has room for all 40 persons.
    s.opened.clear();
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, true);
    const Texts body = readBack(s.opened[1], s.dataFile(u"应用技术登记表(正文).dotx"_s));
    compareFills(body, expectedBody(true, true, 40, 9, 5, 14), "body text");
    QCOMPARE(body.value("item_180_40"), u"完成人40"_s);
    QCOMPARE(body.value("item_180_41"), QString());
    QVERIFY(!s.boxes().last().text.contains(u"成果完成人员名单"_s));

    // The other family has room for five units.
    s.opened.clear();
    RegistrationToWord(WordFamily::rj, false);
    const Texts rj = readBack(s.opened[1], s.dataFile(u"基础、软科学登记表.dotx"_s));
    QCOMPARE(rj.value("item_170_5"), u"合作单位5"_s);
    QVERIFY(!rj.contains("item_170_6") && !rj.contains("patent_no_1"));
    QVERIFY(s.boxes().last().text.contains(u"“合作完成单位”只能写入5个，本成果有9个，其余4个没有写入。"_s));

    // A record of another key has no rows: no row bookmark is filled, nothing is said.
    addRecord("2006000002", "1", u"另一成果"_s);
    DM->OpenSql(DM->Qrykjcg, "select * from kjcg");
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2006000002"));
    s.opened.clear();
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.boxes().count(), 1);
    const Texts none = readBack(s.opened[1], s.dataFile(u"应用技术登记表.dotx"_s));
    for (const char *b : {"item_180_1", "item_170_1", "patent_no_1", "item_192_1"})
        QCOMPARE(none.value(b), QString());
}

void TestWordRegistration::trailingReturnsCountGbkBytes()
{
    WordSession s;
    addFullRecord("1");
    selectRecord();
    // Each cover field against its threshold: N - 1 bytes get a return, N bytes none.
    struct Case
    {
        QString title, unit, recommending;
        bool titleReturnYY, titleReturnRJ, unitReturn, recommendingReturn;
    };
    const QString twenty = u"一二三四五六七八九十一二三四五六七八九十"_s; // 40 bytes
    const QString eighteen = twenty.left(18);                               // 36 bytes
    const QList<Case> cases = {
        {twenty + "A", eighteen + "A", twenty + "A", true, true, true, true},                          // 41, 37, 41
        {twenty + u"一"_s, eighteen + u"一"_s, twenty + u"一"_s, true, false, false, false},          // 42, 38, 42
        {twenty + u"一"_s + "A", eighteen + u"一"_s + "A", QString(), true, false, false, true},       // 43, 39, 0
        {twenty + u"一二"_s, QString(), twenty + u"一二"_s, false, false, true, false},                // 44, 0, 44
    };
    for (const Case &c : cases) {
        setFields({{"ITEM_3", c.title}, {"ITEM_9", c.unit}, {"ITEM_128", c.recommending}});
        selectRecord();
        for (const bool applied : {true, false}) {
            s.opened.clear();
            RegistrationToWord(familyOf(applied), false);
            const Texts cover = readBack(s.opened[0], s.dataFile(templateFor(applied, "封面", false)));
            const bool titleReturn = applied ? c.titleReturnYY : c.titleReturnRJ;
            QCOMPARE(cover.value("item_3"), c.title + (titleReturn ? "\r" : ""));
            // Below 38 and 42 bytes, empty texts included.
            QCOMPARE(cover.value("item_9"), c.unit + (c.unitReturn ? "\r" : ""));
            QCOMPARE(cover.value("item_128"), c.recommending + (c.recommendingReturn ? "\r" : ""));
            // The body's title never gets one.
            QCOMPARE(readBack(s.opened[1], s.dataFile(templateFor(applied, "登记表", false))).value("item_3"), c.title);
        }
    }
}

void TestWordRegistration::textRoutinesAndCompositeTexts()
{
    WordSession s;
    QCOMPARE(SplitPeriodText(u"2003.01   至2005.12"_s), std::make_pair(u"2003年01月"_s, u"2005年12月"_s));
    QCOMPARE(SplitPeriodText(QString()), std::make_pair(QString(), QString()));
    QCOMPARE(SplitPeriodText(u"2003   至2005.1"_s), std::make_pair(u"年2003月"_s, u"2005年1月"_s));
    QCOMPARE(SplitThree(u"甲;乙"_s), (std::array<QString, 3>{u"甲"_s, u"乙"_s, QString()}));
    QCOMPARE(SplitThree(u"甲;乙;丙;丁"_s), (std::array<QString, 3>{u"甲"_s, u"乙"_s, u"丙"_s}));
    QCOMPARE(SplitDateText("2006.05.20"), (std::array<QString, 3>{"2006", "05", "20"}));
    QCOMPARE(SplitDateText(QString()), (std::array<QString, 3>{}));

    db::Table *dict = DM->Tblzdxx;
    QCOMPARE(CodeText(dict, "item_2", "9"), QString());
    QCOMPARE(CodeText(dict, "item_2", "1"), u"国际领先"_s);
    QCOMPARE(CodeText(dict, "item_2", "1' or '1'='1"), QString()); // a value stays a value
    QCOMPARE(CodePairText(dict, "item_126", "01"), u"国家科技计划"_s);
    QCOMPARE(CodePairText(dict, "item_126", "01;"), u"国家科技计划;"_s);
    QCOMPARE(CodePairText(dict, "item_126", "01;07;"), u"国家科技计划;国际合作"_s);
    QCOMPARE(CodePairText(dict, "item_126", "01;07"), u"国家科技计划;"_s);
    QCOMPARE(CodePairText(dict, "item_126", QString()), QString());
    QCOMPARE(LookupCodeName(DM->Txkfl2, "xxdm", "xxmc", "110"), u"110 数学"_s);
    QCOMPARE(LookupCodeName(DM->Txkfl2, "xxdm", "xxmc", "999"), QString());
    QCOMPARE(WithTrailingReturn(u"中文"_s, 5), u"中文\r"_s);
    QCOMPARE(WithTrailingReturn(u"中文"_s, 4), u"中文"_s);

    // Composite texts of the current record.
    addRecord(kKey, "1", u"成果"_s);
    const auto composite = [](const Fields &fields, const std::function<QString()> &text) {
        setFields(fields);
        selectRecord();
        return text();
    };
    QCOMPARE(composite({{"ITEM_126", "01;"}, {"ITEM_140", "6"}}, ProjectSourceText),
             u"国家科技计划(国家科技基础条件平台计划);"_s);
    QCOMPARE(composite({{"ITEM_126", "02;07;"}, {"ITEM_140", "6"}}, ProjectSourceText), u"部门计划;国际合作"_s);
    QCOMPARE(composite({{"ITEM_126", "01"}, {"ITEM_140", "1"}}, ProjectSourceText), u"国家科技计划"_s);
    QCOMPARE(composite({{"ITEM_126", "01;"}, {"ITEM_140", ""}}, ProjectSourceText), u"国家科技计划;"_s);
    QCOMPARE(composite({{"ITEM_62", "1"}, {"ITEM_41_3", ""}}, UnitAttributeText), u"独立科研机构"_s);
    QCOMPARE(composite({{"ITEM_62", "3"}, {"ITEM_41_3", "07"}}, UnitAttributeText), u"企业(私营企业)"_s);
    QCOMPARE(composite({{"ITEM_32_1", "1;3;"}, {"ITEM_160", ""}}, ReasonText), u"资金问题;市场问题"_s);
    QCOMPARE(composite({{"ITEM_32_1", "3;"}, {"ITEM_160", "33"}}, ReasonText), u"市场问题;(与市场要求不吻合)"_s);
    for (const char *value : {"0", ""}) {
        setFields({{"ITEM_163", value}});
        selectRecord();
        QVERIFY(!ConversionNote());
    }
    QCOMPARE(composite({{"ITEM_121", ""}}, RegistrationDateText), QString());
    QCOMPARE(composite({{"ITEM_121", "2007-01-05"}}, RegistrationDateText), u"2007-01-05"_s);
    for (const char *level : {"2", "3", "4"}) {
        setFields({{"ITEM_1", level}});
        selectRecord();
        QCOMPARE(SecrecyMark(), std::make_pair(u"1"_s, std::optional<QString>(level)));
    }
    for (const char *level : {"1", ""}) {
        setFields({{"ITEM_1", level}});
        selectRecord();
        QCOMPARE(SecrecyMark(), std::make_pair(u"0"_s, std::optional<QString>()));
    }

    // Written into the documents: a unit that is no converted institute
    // leaves the note's place as the template has it, an empty registration
    // date writes an empty text.
    setFields({{"ITEM_163", "0"}, {"ITEM_121", ""}});
    selectRecord();
    RegistrationToWord(WordFamily::yy, true);
    QCOMPARE(readBack(s.opened[0], s.dataFile(u"应用技术封面(正文).dotx"_s)).value("item_121"), QString());
    QCOMPARE(readBack(s.opened[1], s.dataFile(u"应用技术登记表(正文).dotx"_s)).value("item_163"), QString());
}

void TestWordRegistration::failuresOpenNothing()
{
    WordSession s;
    addFullRecord("1");
    addChildRows(kKey, 2, 1, 1, 1);
    selectRecord();

    // Cancel at the confirmation: nothing else happens.
    s.boxes().answer(ui::IDCANCEL);
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.boxes().count(), 1);
    QVERIFY(s.opened.isEmpty() && s.written().isEmpty());

    // A missing body template is named; not even the cover is opened.
    const QString body = s.dataFile(u"应用技术登记表.dotx"_s);
    QVERIFY(QFile::rename(body, body + ".away"));
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.boxes().count(), 2);
    QCOMPARE(s.boxes().last().text, u"您的电脑上没有相应的报表\r\n"_s + QDir::toNativeSeparators(body));
    QCOMPARE(s.boxes().last().icon(), ui::MB_ICONSTOP);
    QVERIFY(s.opened.isEmpty() && s.written().isEmpty());

    // A template without one bookmark is named with it.
    const QStringList bookmarks = word::Document::open(body + ".away").bookmarks();
    QString description;
    for (const QString &b : bookmarks)
        if (b != "item_62")
            description += "para {" + b + "}\n";
    QFile out(body);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(word::buildTemplate(description).toBytes());
    out.close();
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.boxes().last().text,
             u"模板 %1 中没有书签 item_62，无法输出Word文档。"_s.arg(QDir::toNativeSeparators(body)));
    QVERIFY(s.opened.isEmpty() && s.written().isEmpty());
    QVERIFY(QFile::remove(body));
    QVERIFY(QFile::rename(body + ".away", body));

    // A missing classification the record's codes need is named; without
    // codes to look up the export does not need it.
    QVERIFY(QFile::remove(db::DbfFile::findFile(DataDir, "xkfl.dbf")));
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.boxes().last().text, u"数据目录中没有学科分类表 xkfl.dbf，无法写出学科分类名称。"_s);
    QVERIFY(s.opened.isEmpty());
    setFields({{"ITEM_15", ""}, {"ITEM_15_1", ""}});
    selectRecord();
    RegistrationToWord(WordFamily::yy, false);
    QCOMPARE(s.opened.size(), 2);

    // A documents folder that cannot be made is reported; nothing opens.
    s.opened.clear();
    const QString blocked = s.dataFile("blocked");
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ui::HandlerOverride<QString> folder(word::setDocumentFolder, blocked + "/sub");
    s.boxes().clear();
    RegistrationToWord(WordFamily::yy, false);
    QVERIFY(s.boxes().last().text.contains(QDir::toNativeSeparators(blocked)));
    QVERIFY(s.opened.isEmpty());
}

// The amounts at the edges of what their columns hold reach the document as
// the plain decimals they are stored as.
void TestWordRegistration::numbersInPlainDecimals()
{
    WordSession s;
    addFullRecord("1");
    setFields({{"ITEM_145", "0.000001"}, {"ITEM_150", "123456789012345"}, {"ITEM_149", "-999999999999999"},
               {"ITEM_141", "12345678901.123456"}, {"ITEM_153", "0.1234567"}});
    selectRecord();
    RegistrationToWord(WordFamily::yy, true);
    const Texts body = readBack(s.opened[1], s.dataFile(templateFor(true, "登记表", true)));
    QCOMPARE(QStringList({body["item_145"], body["item_150"], body["item_149"], body["item_141"], body["item_153"]}),
             QStringList({"0.000001", "123456789012345", "-999999999999999", "12345678901.1235", "0.123457"}));
}

QTEST_MAIN(TestWordRegistration)
#include "tst_wordregistration.moc"
