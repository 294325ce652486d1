// The Word layer on its own: templates built from descriptions, text put in
// after bookmarks, documents written as sound Office Open XML under new
// names and handed to the desktop, and the templates the data folder gets.
#include "AppFixture.h"
#include "TempDir.h"
#include "tst_word_docx.h"

#include "DataFolder.h"
#include "UnitDM.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"
#include "ui/Seam.h"
#include "word/Application.h"
#include "word/TemplateBuilder.h"
#include "word/WordError.h"

#include <QDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kForm = u"font 宋体 10.5\n"
                      "title 登记表\n"
                      "para 名称：{name}（全称）\n"
                      "table 30 60\n"
                      "row ^单位 | {unit}\n"
                      "rows 3 h=8 {person_#} | 第#人\n"
                      "end\n"
                      "para {a}{b}\n"_s;

QString writeTemplate(const TempDir &dir, const QString &name, const QString &description)
{
    dir.write(name, word::buildTemplate(description).toBytes());
    return dir.file(name);
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const word::WordError &e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestWord : public QObject
{
    Q_OBJECT

private slots:
    void templatesAreBuiltFromTheirDescription();
    void textGoesInAfterItsBookmark();
    void writtenDocumentsAreSoundAndReadBack();
    void shownDocumentsGetNewNamesAndOpen();
    void theDataFolderGetsEveryTemplateOnce();
};

void TestWord::templatesAreBuiltFromTheirDescription()
{
    TempDir dir;
    const word::Document form = word::Document::open(writeTemplate(dir, "form.dotx", kForm));
    QVERIFY(form.isTemplate());
    QCOMPARE(form.bookmarks(), QStringList({"name", "unit", "person_1", "person_2", "person_3", "a", "b"}));
    // Static text after a bookmark reads up to the end of its cell or the next bookmark.
    QCOMPARE(form.textAfter("NAME"), u"（全称）"_s);
    QCOMPARE(form.textAfter("person_2"), QString());
    QCOMPARE(form.textAfter("a"), QString());

    // A fault names its line.
    QCOMPARE(errorOf([] { word::buildTemplate("para {x}\npara {X}"); }), u"模板描述第 2 行：书签“X”重复"_s);
    QVERIFY(errorOf([] { word::buildTemplate("table 10 10\nrow a | b | c\nend"); }).contains(u"第 2 行"_s));
    QVERIFY(errorOf([] { word::buildTemplate("table 10 10\nrow a\nend"); }).contains(u"少于"_s));
    QVERIFY(errorOf([] { word::buildTemplate("table 10\nrow a"); }).contains(u"end"_s));
    QVERIFY(errorOf([] { word::buildTemplate("para {1x}"); }).contains(u"无效"_s));
    QVERIFY(errorOf([] { word::buildTemplate("picture x"); }).contains(u"picture"_s));
    QVERIFY(errorOf([] { word::buildTemplate("para {open"); }).contains(u"“{”"_s));

    // Files beside a description come in through include, values through set.
    dir.write("part.inc", "row ^$label | {$label}\n");
    dir.write("main.txt", "set label 姓名\ntable 20 20\ninclude part.inc\nend\n");
    QVERIFY(errorOf([&] { word::buildTemplateFile(dir.file("main.txt")); }).contains(u"姓名"_s));
    dir.write("main.txt", "set label person\ntable 20 20\ninclude part.inc\nend\n");
    QCOMPARE(word::Document(word::buildTemplateFile(dir.file("main.txt")), "main").bookmarks(), QStringList{"person"});

    // A file that is no Word document is refused with its name.
    dir.write("broken.dotx", "PK\x03\x04 not really");
    QVERIFY(errorOf([&] { word::Document::open(dir.file("broken.dotx")); }).contains("broken.dotx"));
    QVERIFY(errorOf([&] { word::Document::open(dir.file("absent.dotx")); }).contains("absent.dotx"));
}

void TestWord::textGoesInAfterItsBookmark()
{
    TempDir dir;
    word::Document doc = word::Document::open(writeTemplate(dir, "form.dotx", kForm));

    doc.insertAfter("name", u"稀土永磁电机"_s);
    QCOMPARE(doc.textAfter("name"), u"稀土永磁电机（全称）"_s);

    // A carriage return starts a new paragraph, which takes what followed;
    // CR LF counts once, tabs stay, other control characters cannot be stored.
    doc.insertAfter("unit", u"第一行\r\n第二行\t乙\x01\r"_s);
    QCOMPARE(doc.textAfter("unit"), u"第一行\r第二行\t乙\r"_s);
    doc.insertAfter("a", u"甲\r"_s);
    QCOMPARE(doc.textAfter("a"), u"甲\r"_s);
    QCOMPARE(doc.textAfter("b"), QString()); // still after the new paragraph's start
    doc.insertAfter("b", u"乙"_s);
    QCOMPARE(doc.textAfter("b"), u"乙"_s);

    // Empty texts are put in like any other and change nothing.
    doc.insertAfter("person_1", QString());
    QCOMPARE(doc.textAfter("person_1"), QString());
    doc.insertAfter("Person_3", u"  张三 "_s);
    QCOMPARE(doc.textAfter("person_3"), u"  张三 "_s);

    QCOMPARE(errorOf([&] { doc.insertAfter("item_999", "x"); }).contains("item_999"), true);
}

void TestWord::writtenDocumentsAreSoundAndReadBack()
{
    TempDir dir;
    word::Document doc = word::Document::open(writeTemplate(dir, "form.dotx", kForm));
    doc.insertAfter("name", u"名称 & <标记> \"引号\"\r"_s);
    doc.insertAfter("unit", u"单位\r\n地址"_s);
    doc.insertAfter("person_2", u"李四"_s);
    doc.insertAfter("person_3", u"  "_s);
    dir.write("out.docx", doc.toDocx());

    QCOMPARE(docx::problems(dir.file("out.docx")), QStringList());
    const word::Document back = word::Document::open(dir.file("out.docx"));
    QVERIFY(!back.isTemplate());
    QCOMPARE(back.bookmarks(), doc.bookmarks());
    QCOMPARE(back.textAfter("name"), u"名称 & <标记> \"引号\"\r（全称）"_s);
    QCOMPARE(back.textAfter("unit"), u"单位\r地址"_s);
    QCOMPARE(back.textAfter("person_2"), u"李四"_s);
    QCOMPARE(back.textAfter("person_3"), u"  "_s);
    // The inserted paragraph is of the bookmark's kind: still in the cell.
    QDomDocument xml;
    QVERIFY(xml.setContent(word::Package::read(dir.file("out.docx")).part("word/document.xml"), true));
    const QList<QDomElement> cells = docx::elements(xml, "tc");
    QCOMPARE(cells[1].elementsByTagNameNS(docx::W, "p").size(), 2);
}

void TestWord::shownDocumentsGetNewNamesAndOpen()
{
    TempDir dir;
    const QString templatePath = writeTemplate(dir, u"封面.dotx"_s, kForm);
    QStringList opened;
    bool openerWorks = true;
    ui::HandlerOverride<ui::DocumentOpener> opener(ui::setDocumentOpener, [&](const QString &path) {
        opened << path;
        return openerWorks;
    });
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, [] { return QDateTime(QDate(2006, 12, 30), QTime(9, 5, 7)); });
    ui::HandlerOverride<QString> folder(word::setDocumentFolder, dir.file(u"文档/Corvane"_s));

    // A hidden instance shows nothing.
    word::Application hidden;
    hidden.addDocument(templatePath);
    QVERIFY(hidden.show().isEmpty());
    QVERIFY(opened.isEmpty());

    word::Application app;
    app.setVisible(true);
    app.addDocument(templatePath).insertAfter("name", u"甲"_s);
    app.addDocument(templatePath).insertAfter("name", u"乙"_s);
    QCOMPARE(app.documentCount(), 2);
    QCOMPARE(app.document(2).textAfter("name"), u"乙（全称）"_s);
    // Documents share the parsed template only while its file stays as it is.
    writeTemplate(dir, u"封面.dotx"_s, QString(kForm).replace(u"（全称）"_s, u"（简称，见附件）"_s));
    QCOMPARE(hidden.addDocument(templatePath).textAfter("name"), u"（简称，见附件）"_s);
    QCOMPARE(app.document(1).textAfter("name"), u"甲（全称）"_s);
    writeTemplate(dir, u"封面.dotx"_s, kForm);
    const QList<word::Application::Shown> shown = app.show();
    const QString base = dir.file(u"文档/Corvane/封面 20061230-090507"_s);
    QCOMPARE(opened, QStringList({base + ".docx", base + " (2).docx"}));
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].opened);
    QCOMPARE(word::Document::open(opened[0]).textAfter("name"), u"甲（全称）"_s);
    QCOMPARE(word::Document::open(opened[1]).textAfter("name"), u"乙（全称）"_s);
    QCOMPARE(docx::problems(opened[1]), QStringList());

    // Shown again, nothing written before is replaced.
    openerWorks = false;
    const QList<word::Application::Shown> again = app.show();
    QCOMPARE(again[0].path, base + " (3).docx");
    QVERIFY(!again[0].opened);

    // A folder that cannot be made is an error, not a lost document.
    dir.write("blocked", "a file, not a folder");
    word::setDocumentFolder(dir.file("blocked/sub"));
    QVERIFY(errorOf([&] { app.show(); }).contains("blocked"));
    QVERIFY_THROWS_EXCEPTION(word::WordError, app.document(3));
}

void TestWord::theDataFolderGetsEveryTemplateOnce()
{
    AppFixture app;
    const QStringList expected = {
        u"基础、软科学封面(正文).dotx"_s, u"基础、软科学封面.dotx"_s, u"基础、软科学登记表(正文).dotx"_s,
        u"基础、软科学登记表.dotx"_s,     u"应用技术封面(正文).dotx"_s, u"应用技术封面.dotx"_s,
        u"应用技术登记表(正文).dotx"_s,   u"应用技术登记表.dotx"_s,     u"科学技术成果鉴定申请表.dotx"_s,
        u"科学技术成果鉴定证书.dotx"_s,
    };
    QStringList found = QDir(app.dataDir()).entryList({"*.dotx"}, QDir::Files);
    found.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(found, sortedExpected);
    for (const QString &name : expected) {
        const word::Document t = word::Document::open(QDir(app.dataDir()).filePath(name));
        QVERIFY2(t.isTemplate(), qPrintable(name));
        QVERIFY2(t.bookmarks().size() >= 6, qPrintable(name));
    }
    // The row bookmarks reach their caps and stop there.
    const word::Document full = word::Document::open(QDir(app.dataDir()).filePath(u"应用技术登记表.dotx"_s));
    const word::Document body = word::Document::open(QDir(app.dataDir()).filePath(u"应用技术登记表(正文).dotx"_s));
    QVERIFY(full.hasBookmark("item_186_34") && !full.hasBookmark("item_186_35"));
    QVERIFY(body.hasBookmark("item_186_45") && !body.hasBookmark("item_186_46"));
    QVERIFY(full.hasBookmark("item_173_8") && full.hasBookmark("patent_nam_4") && full.hasBookmark("item_198_13"));
    QVERIFY(!word::Document::open(QDir(app.dataDir()).filePath(u"应用技术封面.dotx"_s)).hasBookmark("item_121"));
    QVERIFY(word::Document::open(QDir(app.dataDir()).filePath(u"应用技术封面(正文).dotx"_s)).hasBookmark("item_121"));

    // One the user changed stays; one removed comes back; a new copy is writable.
    const QString changed = QDir(app.dataDir()).filePath(expected[0]);
    const QString removed = QDir(app.dataDir()).filePath(expected[1]);
    QFile f(changed);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("mine");
    f.close();
    QVERIFY(QFile::remove(removed));
    deliverTemplates(app.dataDir());
    QCOMPARE(QFile(changed).size(), 4);
    QVERIFY(QFileInfo(removed).isWritable());
    QVERIFY(word::Document::open(removed).isTemplate());
}

QTEST_MAIN(TestWord)
#include "tst_word.moc"
