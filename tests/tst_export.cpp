#include "AppFixture.h"
#include "Captions.h"
#include "ExchangeTextWriter.h"
#include "ExportPackage.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitout.h"
#include "text/Gbk.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFileSystemModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <unistd.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

const QString kDone = u("你已打包成功!文件在");

struct Stored : db::Table
{
    explicit Stored(const QString &name) { setDatabaseName(DataDir), setTableName(name), open(); }
};

// The column of each child table that names its row.
const QList<QPair<QString, QString>> kChildren = {
    {"cgwcdw", "ITEM_170"}, {"cgwcr", "ITEM_180"}, {"jdwyhmd", "ITEM_191"}, {"zlqk", "PATENT_NAM"}};

void addRecordOf(const QString &key, const QString &region, const QString &title)
{
    db::Table *t = DM->Tblkjcg;
    t->append();
    for (const auto &[field, value] : {std::pair{"ITEM_4", key}, {"ITEM_DQDM", region}, {"ITEM_CGLB", QString("1")},
                                       {"ITEM_3", title}, {"ITEM_9", u("第一单位")}, {"ITEM_SJDC", QString("1")}})
        t->fieldByName(field)->setAsString(value);
    t->post();
}

// One row in each child table, named after its record.
void addChildren(const QString &key, const QString &region)
{
    for (const auto &[table, name] : kChildren) {
        Stored t(table);
        t.append();
        t.fieldByName("ITEM_4")->setAsString(key), t.fieldByName("ITEM_DQDM")->setAsString(region);
        t.fieldByName(name)->setAsString(key + "/" + region);
        t.post();
    }
}

// Four records: two of 2005 sharing a key in two regions, one more of 2005,
// one of 2004; each with a row in every child table. Values that must be
// quoted, memos with line breaks, Chinese everywhere; two units, an expert.
void fillTables()
{
    showWithRecords({});
    db::Table *unit = DM->Tblunit;
    unit->append(), unit->fieldByName("unitcode")->setAsString("9990001001");
    unit->fieldByName("item_9")->setAsString(u("二级\"单位\"")), unit->post();
    db::Table *expert = DM->Tblexpert;
    expert->append(), expert->fieldByName("unitcode")->setAsString("9990001000");
    expert->fieldByName("item_180")->setAsString(u("李\t四")), expert->fieldByName("item_124_1")->setAsString("07");
    expert->post();
    for (const auto &[key, region] : {std::pair{"2005000001", "A1"}, {"2005000001", "."}, {"2005000002", "."},
                                      {"2004000003", "."}}) {
        addRecordOf(key, region, u("成果") + key + region);
        addChildren(key, region);
    }
    setRecordField("2005000002", "ITEM_13", u("第一行\r\n第二行"));
    setRecordField("2005000002", "ITEM_14", u("\"引号开头"));
    setRecordField("2005000002", "ITEM_121", "2005-03-04");
}

// The lines of a package member, and the "key/region" each begins with.
QStringList keysOf(const QByteArray &member)
{
    QStringList keys;
    for (const QByteArray &line : member.split('\n'))
        if (line.contains('\t'))
            keys << QString::fromLatin1(line.split('\t').value(0)) + "/" + QString::fromLatin1(line.split('\t').value(1));
    return keys;
}

// keysOf for KJCG.TXT, whose key and region stand at positions 23 and 78;
// a record with a memo spans lines.
QStringList recordKeysOf(const QByteArray &member)
{
    QStringList keys;
    QByteArray record;
    for (const QByteArray &line : member.split('\n')) {
        record += line + '\n';
        if (record.count('\t') < 101)
            continue;
        const QList<QByteArray> f = record.split('\t');
        keys << QString::fromLatin1(f[22]) + "/" + QString::fromLatin1(f[77]);
        record.clear();
    }
    return keys;
}

// The package unpacked by the real arj, in a folder of its own.
QMap<QString, QByteArray> unpack(const QString &package)
{
    TempDir out;
    QFile::copy(package, out.file("CGSBQY.ARJ"));
    QProcess arj;
    arj.setWorkingDirectory(out.path());
    arj.start("arj", {"e", "-y", "CGSBQY.ARJ"});
    arj.waitForFinished(60000);
    if (arj.exitCode() != 0)
        qWarning("%s", arj.readAll().constData());
    QMap<QString, QByteArray> members;
    for (const QString &name : QDir(out.path()).entryList(QDir::Files))
        if (name != "CGSBQY.ARJ")
            members.insert(name, out.read(name));
    return members;
}

// What the writer makes of a whole table.
QByteArray written(db::Dataset &table, TextMember member)
{
    TempDir dir;
    ExportTableText(table, dir.file("x.txt"), member);
    return dir.read("x.txt");
}

QStringList marks()
{
    QStringList out;
    Stored t("kjcg");
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName("ITEM_4")->asString() + "/" + t.fieldByName("ITEM_DQDM")->asString() + "="
                   + t.fieldByName("ITEM_SJDC")->asString();
    return out;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Opens the window through the main window's button and works it.
void inWindow(AppFixture &app, const QString &folder, std::function<void()> script)
{
    app.modals().then([folder, script](QDialog *) {
        Formout->SelectFolder(folder);
        script();
    });
    ui::guarded(BitBtn2Click);
}

void chooseYear(const QString &year)
{
    Formout->RadioButton7->click();
    Formout->ComboBox2->setCurrentText(year);
    emit Formout->ComboBox2->activated(Formout->ComboBox2->currentIndex());
}

// Rows picked by hand, by their titles.
void pick(const QStringList &titles)
{
    Formout->RadioButton5->click();
    QAbstractItemView *grid = Formout->DBGrid1;
    grid->clearSelection();
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        if (titles.contains(grid->model()->index(row, 0).data().toString()))
            grid->selectionModel()->select(grid->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// arj on PATH before the real one: a script that may call the real one, $REAL.
class FakeArj
{
public:
    explicit FakeArj(const QByteArray &script) : m_path(qgetenv("PATH"))
    {
        const QByteArray real = QStandardPaths::findExecutable("arj").toLocal8Bit();
        m_bin.write("arj", "#!/bin/sh\nREAL=" + real + "\n" + script);
        QFile(m_bin.file("arj")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        qputenv("PATH", m_bin.path().toLocal8Bit() + ":" + m_path);
    }
    ~FakeArj() { qputenv("PATH", m_path); }

private:
    TempDir m_bin;
    QByteArray m_path;
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void exportsChosenRecords();
    void failuresKeepWhatWasThere();
    void readOnlyFolder();
};

void TestExport::exportsChosenRecords()
{
    AppFixture app;
    fillTables();
    const QString folder = QDir(app.dataDir()).filePath(u("导出 包"));
    QDir().mkpath(folder);
    const QString package = QDir(folder).filePath("cgsbqy.arj");

    // All records: each member as the writer makes it of the whole table.
    inWindow(app, folder, [&] {
        QCOMPARE(Formout->Edit1->text(), folder);
        QVERIFY(!Formout->Button2->isEnabled());
        QCOMPARE(Formout->DBGrid1->model()->rowCount(), 0);
        QVERIFY(Formout->ComboBox2->isHidden());
        QCOMPARE(Formout->ComboBox2->itemText(0), QString("2005"));
        Formout->RadioButton5->click();
        QCOMPARE(Formout->Label1->text(), u("选择了4记录！"));
        Formout->Button2->click();
        QCOMPARE(app.boxes().last().text, kDone + package);
        QVERIFY(Formout->isVisible());
    });
    QCOMPARE(marks(), QStringList({"2005000001/A1=1", "2005000001/.=1", "2005000002/.=1", "2004000003/.=1"}));
    QCOMPARE(entries(folder), QStringList({"cgsbqy.arj"}));
    QMap<QString, QByteArray> members = unpack(package);
    QCOMPARE(members.keys(), QStringList({"CGWCDW.TXT", "CGWCR.TXT", "EXPERT.TXT", "JDWYHMD.TXT", "KJCG.TXT",
                                          "UNIT.TXT", "ZLQK.TXT"}));
    {
        Stored kjcg("kjcg");
        QCOMPARE(members["KJCG.TXT"], written(kjcg, TextMember::Kjcg));
        QCOMPARE(members["UNIT.TXT"], written(*DM->Tblunit, TextMember::Unit));
        QCOMPARE(members["EXPERT.TXT"], written(*DM->Tblexpert, TextMember::Expert));
        for (const auto &[table, name] : kChildren) {
            Stored child(table);
            QCOMPARE(members[table.toUpper() + ".TXT"], written(child, TextMember::Child));
        }
    }
    // The memo travels quoted over two lines; the mark in the package is "0".
    QVERIFY(members["KJCG.TXT"].contains(gbk::encode(u("\t\"第一行\r\n第二行\"\t"))));
    QCOMPARE(members["KJCG.TXT"].split('\n')[0].split('\t')[76], QByteArray("0"));
    QCOMPARE(members["UNIT.TXT"].count("\r\n"), 2);

    // Opening again sets every mark back; rows picked by hand go with their
    // own child rows only, not those of the same key in another region.
    inWindow(app, folder, [&] {
        QCOMPARE(marks(), QStringList({"2005000001/A1=0", "2005000001/.=0", "2005000002/.=0", "2004000003/.=0"}));
        pick({u("成果2005000001."), u("成果2004000003.")});
        QCOMPARE(Formout->Label1->text(), u("选择了2记录！"));
        app.boxes().answer(ui::IDYES); // the package there is replaced
        Formout->Button2->click();
        QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).caption, u("提示信息"));
        QCOMPARE(app.boxes().last().text, kDone + package);
    });
    members = unpack(package);
    QCOMPARE(recordKeysOf(members["KJCG.TXT"]), QStringList({"2005000001/.", "2004000003/."}));
    for (const auto &[table, name] : kChildren)
        QCOMPARE(keysOf(members[table.toUpper() + ".TXT"]), QStringList({"2005000001/.", "2004000003/."}));
    QCOMPARE(marks(), QStringList({"2005000001/A1=0", "2005000001/.=1", "2005000002/.=0", "2004000003/.=1"}));

    // A year: both regions of its shared key, each with its own rows.
    inWindow(app, folder, [&] {
        chooseYear("2005");
        QCOMPARE(Formout->SelectedRows().size(), 3);
        Formout->Button2->click();
    });
    members = unpack(package);
    QCOMPARE(recordKeysOf(members["KJCG.TXT"]), QStringList({"2005000001/A1", "2005000001/.", "2005000002/."}));
    QCOMPARE(keysOf(members["CGWCR.TXT"]), QStringList({"2005000001/A1", "2005000001/.", "2005000002/."}));

    // 年份 without a year picked: asked, and Yes exports every record.
    inWindow(app, folder, [&] {
        Formout->RadioButton7->click();
        app.boxes().answer({ui::IDYES, ui::IDYES});
        Formout->Button2->click();
        QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).text, u("请选择您要导出的项目，是否全部选择？"));
        QVERIFY(Formout->RadioButton5->isChecked());
        QCOMPARE(Formout->RadioButton5->toolTip(), u("再次选择全部项目请双击"));
    });
    QCOMPARE(recordKeysOf(unpack(package)["KJCG.TXT"]).size(), 4);

    // The window as it looks, captions whole.
    Formout->show();
    Formout->SelectFolder(folder);
    chooseYear("2005");
    QCOMPARE(describeClippedCaptions(Formout), QStringList());
    if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty()) {
        QDir().mkpath(shots);
        Formout->grab().save(QDir(shots).filePath("TFormout.png"));
    }
    Formout->Button1->click();
    QVERIFY(!Formout->isVisible());
}

void TestExport::failuresKeepWhatWasThere()
{
    AppFixture app;
    TempDir out;
    const auto exportAll = [&](std::initializer_list<int> answers, std::function<void()> check) {
        inWindow(app, out.path(), [&] {
            Formout->RadioButton5->click();
            app.boxes().clear();
            app.boxes().answer(answers);
            Formout->Button2->click();
            check();
        });
    };

    // No records at all: said so, nothing written.
    exportAll({}, [&] { QCOMPARE(app.boxes().last().text, u("没有可导出的项目！")); });
    QCOMPARE(entries(out.path()), QStringList());

    fillTables();
    out.write("cgsbqy.arj", "old package");
    // Opening the window sets every mark to "0".
    const QStringList before = marks().replaceInStrings("=1", "=0");

    // No to the question about the package there: nothing happens.
    exportAll({ui::IDNO}, [&] { QCOMPARE(app.boxes().count(), 1); });

    // The archiver fails: its own words are shown; the old package, the
    // folder and the marks stay as they were.
    {
        FakeArj arj("echo 'Disk full: KJCG.TXT' >&2; exit 3\n");
        exportAll({}, [&] {
            QVERIFY(app.boxes().last().text.contains("Disk full: KJCG.TXT"));
            QVERIFY(!app.boxes().texts().join("").contains(kDone));
        });
    }
    QCOMPARE(out.read("cgsbqy.arj"), QByteArray("old package"));
    QCOMPARE(entries(out.path()), QStringList({"cgsbqy.arj"}));
    QCOMPARE(marks(), before);

    // It ends well but leaves a member out: no success either.
    {
        FakeArj arj("[ \"$1\" = a ] && set -- $(printf '%s\\n' \"$@\" | grep -v EXPERT)\nexec \"$REAL\" \"$@\"\n");
        exportAll({}, [&] { QVERIFY(app.boxes().last().text.contains(u("缺少 EXPERT.TXT"))); });
    }
    QCOMPARE(out.read("cgsbqy.arj"), QByteArray("old package"));
    QCOMPARE(entries(out.path()), QStringList({"cgsbqy.arj"}));
    QCOMPARE(marks(), before);

    // While the archiver runs the window stays, however it is asked to close.
    {
        FakeArj arj("sleep 1\nexec \"$REAL\" \"$@\"\n");
        bool triedWhilePacking = false;
        QTimer::singleShot(300, Formout, [&] {
            triedWhilePacking = Formout->Packing();
            Formout->close();
            Formout->reject();
            QVERIFY(Formout->isVisible());
        });
        exportAll({}, [&] {
            QVERIFY(app.boxes().last().text.startsWith(kDone));
            QVERIFY(Formout->isVisible());
        });
        QVERIFY(triedWhilePacking);
    }
    QVERIFY(out.read("cgsbqy.arj").startsWith("\x60\xEA"));
    QVERIFY(marks() != before);
}

// A folder that cannot be written: the message, and nothing changes.
void TestExport::readOnlyFolder()
{
    AppFixture app;
    fillTables();
    TempDir out;
    out.write("cgsbqy.arj", "old package");
    QFile(out.path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // Root writes anywhere; the immutable flag stops it too.
    const bool root = geteuid() == 0;
    if (root && QProcess::execute("chattr", {"+i", out.path()}) != 0)
        QSKIP("no way to make a folder read-only for root here");
    // Opening the window sets every mark to "0".
    const QStringList before = marks().replaceInStrings("=1", "=0");
    inWindow(app, out.path(), [&] {
        Formout->RadioButton5->click();
        Formout->Button2->click();
    });
    if (root)
        QProcess::execute("chattr", {"-i", out.path()});
    QFile(out.path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(app.boxes().last().text.contains(QDir::toNativeSeparators(out.path())));
    QCOMPARE(out.read("cgsbqy.arj"), QByteArray("old package"));
    QCOMPARE(entries(out.path()), QStringList({"cgsbqy.arj"}));
    QCOMPARE(marks(), before);
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
