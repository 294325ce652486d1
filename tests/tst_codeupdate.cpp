#include "AppFixture.h"
#include "CodeManage.h"
#include "Records.h"
#include "TreePicks.h"
#include "Startup.h"
#include "TableSchemas.h"
#include "TreeRequests.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitPage1.h"
#include "Unittree.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"

#include <QDir>
#include <QProcess>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The file the open dialog hands over, for the duration of a test.
class ChosenFile
{
public:
    ChosenFile() { m_previous = ui::setFileChooser([this](const ui::FileRequest &) { return path; }); }
    ~ChosenFile() { ui::setFileChooser(m_previous); }
    QString path;

private:
    ui::FileChooser m_previous;
};

// An update archive packed by the real arj, as the authority sends it; the
// text file itself is not left beside it.
QString makeArchive(const TempDir &folder, const QString &archive, const QString &member, const QString &text)
{
    folder.write(member, gbk::encode(text));
    QProcess arj;
    arj.setWorkingDirectory(folder.path());
    arj.start("arj", {"a", "-y", archive, member});
    arj.waitForFinished(60000);
    QFile::remove(folder.file(member));
    return folder.file(archive);
}

// A ready table written by the engine, in the code page a .cpg names when
// one is given (as GDAL writes them).
QString makeTable(const TempDir &folder, const QString &name, const QVector<db::ColumnDef> &columns,
                  const QList<QStringList> &rows, const QByteArray &codePage = {})
{
    QFile::remove(folder.file(name));
    db::DbfFile::create(folder.path(), name, columns);
    if (!codePage.isEmpty())
        folder.write(QFileInfo(name).completeBaseName() + ".cpg", codePage);
    {
        const auto file = db::DbfFile::open(folder.path(), name);
        for (const QStringList &row : rows) {
            QByteArray raw = file->blankRecord();
            for (int i = 0; i < row.size(); ++i)
                file->encode(raw, i, db::Value::fromString(row[i]));
            file->appendRecord(raw);
        }
    }
    db::DbfFile::forget(folder.file(name));
    return folder.file(name);
}

QByteArray bytesOf(const QString &table)
{
    QFile f(db::DbfFile::findFile(DataDir, table));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The rows a dataset shows, values joined by "|".
QStringList rowsOf(db::Dataset *d)
{
    QStringList out;
    for (int r = 0; r < d->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < d->fieldCount(); ++c)
            cells << d->rowValue(r, c).toString();
        out << cells.join('|');
    }
    return out;
}

QStringList leftovers()
{
    return QDir(DataDir).entryList({"~*"}, QDir::Files);
}

const char *kTables[] = {"DFJHZDXX.DBF", "ztflh.dbf", "xkfl.dbf", "lsbw.dbf"};

} // namespace

class TestCodeUpdate : public QObject
{
    Q_OBJECT

private slots:
    // Archives from the real arj replace a table's rows, in any letter case
    // of their name; the text file stays beside the archive. A wrong name, a
    // missing member or a broken archive leaves the table as it was.
    void updatesFromArchives()
    {
        AppFixture app;
        TempDir source;
        ChosenFile chosen;

        chosen.path = makeArchive(source, "ztflb.arj", "ZTFL.TXT",
                                  u("1\tA\t马克思主义\r\n2\tA1\t马克思、恩格斯著作\r\n"));
        FcodeManage->Button6->click();
        QCOMPARE(app.boxes().last().text, u("导入更新成功！"));
        QCOMPARE(rowsOf(DM->Tztflh2), QStringList({u("1|A|马克思主义"), u("2|A1|马克思、恩格斯著作")}));
        QCOMPARE(FcodeManage->Edit3->text(), chosen.path);
        QVERIFY(QFile::exists(source.file("ZTFL.TXT")));

        chosen.path = makeArchive(source, "LSBWB.ARJ", "LSBW.TXT", u("001\t外交部\r\n002\t国防部\r\n"));
        FcodeManage->Button10->click();
        QCOMPARE(rowsOf(DM->tblLsbw), QStringList({u("001|外交部"), u("002|国防部")}));

        const QByteArray plan = bytesOf("DFJHZDXX.DBF");
        app.boxes().clear();
        chosen.path = makeArchive(source, "DFJHXX2.ARJ", "DFJHXX.TXT", "01\t01\tx\r\n");
        FcodeManage->Button4->click();
        QCOMPARE(app.boxes().last().text, u("请选择正确导入包,名字是DFJHXX.ARJ!"));
        QCOMPARE(app.boxes().last().caption, u("请注意！"));
        QCOMPARE(FcodeManage->Edit1->text(), chosen.path);

        chosen.path = makeArchive(source, "DFJHXX.ARJ", "OTHER.TXT", "01\t01\tx\r\n");
        FcodeManage->Button4->click();
        QVERIFY2(app.boxes().last().text.contains(u("没有文件 DFJHXX.TXT")), qPrintable(app.boxes().last().text));

        // The cause in the user's words; arj's own in the details.
        source.write("DFJHXX.ARJ", "not an archive");
        FcodeManage->Button4->click();
        QCOMPARE(app.boxes().last().text, u("文件 DFJHXX.ARJ 不是 ARJ 压缩文件。\n原有的表 DFJHZDXX.DBF 没有改动。"));
        QVERIFY(app.boxes().last().details.contains("not an ARJ archive"));
        QCOMPARE(app.boxes().count(), 3);
        QCOMPARE(bytesOf("DFJHZDXX.DBF"), plan);
        QVERIFY(DM->TblDFJHZDXX->active());
        QCOMPARE(leftovers(), QStringList());
    }

    // A bad line in the middle of an update file (a code wider than its
    // column) names the file and the record and leaves every byte of the
    // table as it was.
    void badLineLeavesTableWhole()
    {
        AppFixture app;
        TempDir source;
        ChosenFile chosen;
        const QByteArray before = bytesOf("ztflh.dbf");
        const int rows = DM->Tztflh2->recordCount();
        chosen.path = makeArchive(source, "ZTFLB.ARJ", "ZTFL.TXT",
                                  u("1\tA\t马克思主义\r\n2\tA1234567890123\t太长\r\n1\tB\t哲学\r\n"));
        FcodeManage->Button6->click();
        const QString message = app.boxes().last().text;
        QVERIFY2(message.contains(u("ZTFL.TXT 的第 2 条记录")) && message.contains("XXDM"), qPrintable(message));
        QCOMPARE(bytesOf("ztflh.dbf"), before);
        QCOMPARE(DM->Tztflh2->recordCount(), rows);
        QCOMPARE(leftovers(), QStringList());
    }

    // Ready tables of this engine replace the table whole, the source left
    // as it was; a wrong name, other columns or a file that is no table are
    // refused with the table unchanged.
    void updatesFromReadyTables()
    {
        AppFixture app;
        TempDir source;
        ChosenFile chosen;

        chosen.path = makeTable(source, "xkfl.dbf", tableSchema("xkfl")->columns,
                                {{"1", "110", u("数学")}, {"2", "1101410", u("演绎逻辑学")}});
        const QByteArray ready = source.read("xkfl.dbf");
        FcodeManage->Button9->click();
        QCOMPARE(app.boxes().last().text, u("更新“学科分类”菜单成功!"));
        QCOMPARE(rowsOf(DM->Txkfl2), QStringList({u("1|110|数学"), u("2|1101410|演绎逻辑学")}));
        QCOMPARE(bytesOf("xkfl.dbf"), ready);
        QCOMPARE(source.read("xkfl.dbf"), ready);

        const QByteArray ministries = bytesOf("lsbw.dbf");
        chosen.path = makeTable(source, "LSBW2.DBF", tableSchema("lsbw")->columns, {{"001", u("外交部")}});
        FcodeManage->Button11->click();
        QCOMPARE(app.boxes().last().text, u("请选择正确的文件（LSBW.DBF）！"));

        chosen.path = makeTable(source, "LSBW.DBF", {{"BWDM", 'C', 3}, {"BWMC", 'C', 80}}, {{"001", u("外交部")}});
        FcodeManage->Button11->click();
        QVERIFY2(app.boxes().last().text.contains(u("第 2 列是 BWMC C(80)，原表是 BWMC C(60)")),
                 qPrintable(app.boxes().last().text));
        QCOMPARE(bytesOf("lsbw.dbf"), ministries);
        QVERIFY(DM->tblLsbw->active());

        source.write("DFJHZDXX.DBF", "no table at all");
        chosen.path = source.file("DFJHZDXX.DBF");
        const QByteArray plan = bytesOf("DFJHZDXX.DBF");
        FcodeManage->Button2->click();
        QVERIFY2(app.boxes().last().text.contains(u("不是可用的表")), qPrintable(app.boxes().last().text));
        QCOMPARE(bytesOf("DFJHZDXX.DBF"), plan);
        QCOMPARE(leftovers(), QStringList());
    }

    // Lines that would load shifted, and updates without rows, are refused
    // with the table unchanged to the byte.
    void refusedUpdatesLeaveTablesWhole()
    {
        AppFixture app;
        TempDir source;
        ChosenFile chosen;
        const QByteArray ministries = bytesOf("lsbw.dbf");
        const QStringList shown = rowsOf(DM->tblLsbw);
        const auto refused = [&](const QString &expected) {
            const QString text = app.boxes().last().text;
            QVERIFY2(text.contains(expected) && text.contains(u("没有改动")), qPrintable(text));
            QCOMPARE(bytesOf("lsbw.dbf"), ministries);
            QCOMPARE(rowsOf(DM->tblLsbw), shown);
            QCOMPARE(leftovers(), QStringList());
        };
        chosen.path = makeArchive(source, "LSBWB.ARJ", "LSBW.TXT", u("900\t外交部\r\n901\t探针部甲\t2024\r\n"));
        FcodeManage->Button10->click();
        refused(u("读取文件 LSBW.TXT 第 2 行时出错：这一行有 3 个值，表有 2 列"));
        chosen.path = makeArchive(source, "LSBWB.ARJ", "LSBW.TXT", u("900\r\n"));
        FcodeManage->Button10->click();
        refused(u("第 1 行时出错：这一行有 1 个值，表有 2 列"));
        for (const char *empty : {"", "\r\n\r\n  \r\n"}) {
            chosen.path = makeArchive(source, "LSBWB.ARJ", "LSBW.TXT", empty);
            FcodeManage->Button10->click();
            refused(u("LSBW.TXT 中没有任何记录，不能用来更新。"));
        }
        chosen.path = makeTable(source, "LSBW.DBF", tableSchema("lsbw")->columns, {});
        FcodeManage->Button11->click();
        refused(u("LSBW.DBF 中没有任何记录，不能用来更新。"));
    }

    // A ready table in UTF-8 (its .cpg says so) is read in UTF-8 and
    // installed in GBK; one holding what GBK cannot store, or one of a code
    // page the engine cannot read, is refused naming the code page.
    void readyTablesOfOtherCodePages()
    {
        AppFixture app;
        TempDir source;
        ChosenFile chosen;
        chosen.path = makeTable(source, "XKFL.DBF", tableSchema("xkfl")->columns,
                                {{"1", "110", u("数学")}, {"2", "1101410", u("演绎逻辑学")}}, "UTF-8");
        QVERIFY(source.read("XKFL.DBF").contains(u("演绎逻辑学").toUtf8()));
        FcodeManage->Button9->click();
        QCOMPARE(app.boxes().last().text, u("更新“学科分类”菜单成功!"));
        QCOMPARE(rowsOf(DM->Txkfl2), QStringList({u("1|110|数学"), u("2|1101410|演绎逻辑学")}));
        QVERIFY(bytesOf("xkfl.dbf").contains(gbk::encode(u("演绎逻辑学"))));
        QCOMPARE(QDir(DataDir).entryList({"*.cpg", "*.CPG"}), QStringList());
        const QByteArray installed = bytesOf("xkfl.dbf");

        // A character GBK has not: the row, the column and the code page named.
        makeTable(source, "XKFL.DBF", tableSchema("xkfl")->columns, {{"1", "110", "EMOJI"}}, "UTF-8");
        source.write("XKFL.DBF", source.read("XKFL.DBF").replace("EMOJI", "\xF0\x9F\x98\x80!"));
        FcodeManage->Button9->click();
        QVERIFY2(app.boxes().last().text.contains(u("XKFL.DBF 的第 1 条记录中，XXMC 列")) && app.boxes().last().text.contains("UTF-8"),
                 qPrintable(app.boxes().last().text));
        // Code page 1252 with a byte beyond ASCII.
        makeTable(source, "XKFL.DBF", tableSchema("xkfl")->columns, {{"1", "110", "cafX"}});
        source.write("XKFL.DBF", source.read("XKFL.DBF").replace("cafX", "caf\xE9"));
        source.write("XKFL.cpg", "1252");
        FcodeManage->Button9->click();
        QVERIFY2(app.boxes().last().text.contains("1252"), qPrintable(app.boxes().last().text));
        QCOMPARE(bytesOf("xkfl.dbf"), installed);
        QCOMPARE(leftovers(), QStringList());
    }

    // Cancelled dialogs change nothing and say nothing; the window opens from
    // the main window and every way of leaving it closes it.
    void cancelAndLeave()
    {
        AppFixture app;
        ChosenFile chosen;
        QList<QByteArray> before;
        for (const char *t : kTables)
            before << bytesOf(t);
        for (QPushButton *b : {FcodeManage->Button4, FcodeManage->Button6, FcodeManage->Button8, FcodeManage->Button10,
                               FcodeManage->Button2, FcodeManage->Button7, FcodeManage->Button9, FcodeManage->Button11})
            b->click();
        QCOMPARE(app.boxes().count(), 0);
        for (int i = 0; i < int(std::size(kTables)); ++i)
            QCOMPARE(bytesOf(kTables[i]), before[i]);
        QVERIFY(DM->Tztflh2->active() && DM->Txkfl2->active() && DM->tblLsbw->active() && DM->TblDFJHZDXX->active());

        showWithRecords({});
        const int shownBefore = int(app.modals().shown().size());
        // 退出, then Enter (which does nothing) and Escape, then the close box.
        const auto leaves = [](std::function<void(QDialog *)> how) {
            return [how](QDialog *d) {
                how(d);
                QVERIFY(!d->isVisible());
            };
        };
        app.modals().then(leaves([](QDialog *) { FcodeManage->Button3->click(); }));
        app.modals().then(leaves([](QDialog *d) {
            QTest::keyClick(d, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QTest::keyClick(d, Qt::Key_Escape);
        }));
        app.modals().then(leaves([](QDialog *d) { d->close(); }));
        for (int i = 0; i < 3; ++i)
            MainForm->BitBtn3->click();
        QCOMPARE(app.modals().shown().mid(shownBefore), QStringList(3, "TFcodeManage"));
        QCOMPARE(app.boxes().count(), 0);
    }

    // A classification copied into a folder that had none is at once what
    // the pickers of section 01 offer.
    void pickersAfterCopyingClassification()
    {
        AppFixture app;
        destroyApplication();
        QVERIFY(QFile::remove(db::DbfFile::findFile(app.dataDir(), "ztflh.dbf")));
        createApplication(app.dataDir());
        QVERIFY(!HasZtflh);

        TempDir source;
        ChosenFile chosen;
        chosen.path = makeTable(source, "ZTFLH.DBF", tableSchema("ztflh")->columns,
                                {{"1", "A", u("马克思主义")}, {"2", "A1", u("马克思著作")}});
        FcodeManage->Button7->click();
        QCOMPARE(app.boxes().last().text, u("更新“中图分类号”菜单成功!"));
        QVERIFY(HasZtflh && DM->Tztflh2->active());

        showWithRecords({{"2005000001", "1", u("新型材料")}});
        app.modals().then([](QDialog *) {
            QVERIFY(Fpage1->CB_12->isVisibleTo(Fpage1));
            QVERIFY(Fpage1->edt_12->isReadOnly());
            QCOMPARE(pickTreeCode(TreeOwner::Page1, 2), int(QDialog::Accepted));
            QCOMPARE(Fpage1->edt_12->text(), u("A1  马克思著作"));
        });
        app.modals().then(choose(u("A1  马克思著作")));
        const int shownBefore = int(app.modals().shown().size());
        MainForm->btn_page01->click();
        QCOMPARE(app.modals().shown().mid(shownBefore, 2), QStringList({"TFpage1", "TFormTree"}));
    }
};

QTEST_MAIN(TestCodeUpdate)
#include "tst_codeupdate.moc"
