#include "AppFixture.h"
#include "Captions.h"
#include "ExchangeTextWriter.h"
#include "Records.h"
#include "RecordAssembly.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitout.h"
#include "db/file/DbError.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <unistd.h>

namespace {

const QString kDone = u("你已打包成功!文件在");
const QStringList kChildren = {"cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};
const QStringList kAll = {"2005000001/A1", "2005000001/.", "2005000002/.", "2004000003/."};

struct Stored : db::Table
{
    explicit Stored(const QString &name) { setDatabaseName(DataDir), setTableName(name), open(); }
};

void append(db::Table &t, const QList<std::pair<const char *, QString>> &values)
{
    t.append();
    for (const auto &[field, value] : values)
        t.fieldByName(field)->setAsString(value);
    t.post();
}

// Four records, two of them sharing a key in two regions, each with a row in
// every child table; a memo over two lines, a value beginning with a quote;
// two units, a discipline leader whose name holds a TAB.
void fillTables()
{
    showWithRecords({});
    append(*DM->Tblunit, {{"unitcode", "9990001001"}, {"item_9", u("二级\"单位\"")}});
    append(*DM->Tblexpert, {{"unitcode", "9990001000"}, {"item_180", u("李\t四")}, {"item_124_1", "07"}});
    for (const QString &record : kAll) {
        const QString key = record.section('/', 0, 0), region = record.section('/', 1);
        append(*DM->Tblkjcg, {{"ITEM_4", key}, {"ITEM_DQDM", region}, {"ITEM_CGLB", "1"},
                              {"ITEM_3", u("成果") + record}, {"ITEM_SJDC", "1"}});
        for (const QString &child : kChildren) {
            Stored t(child);
            append(t, {{"ITEM_4", key}, {"ITEM_DQDM", region}});
        }
    }
    setRecordField("2005000002", "ITEM_13", u("第一行\r\n第二行"));
    setRecordField("2005000002", "ITEM_14", u("\"引号开头"));
}

// "key/region" of every record of a member, whose key and region stand at
// the positions given (from 0).
QStringList keysOf(QByteArray member, int keyAt = 0, int regionAt = 1)
{
    QBuffer device(&member);
    device.open(QIODevice::ReadOnly);
    RecordAssembler records(device);
    QStringList keys;
    for (QByteArray record; records.next(record);)
        keys << record.split('\t')[keyAt] + "/" + record.split('\t')[regionAt];
    return keys;
}

QStringList recordKeysOf(const QByteArray &kjcg) { return keysOf(kjcg, 22, 77); }

// The package unpacked by the real arj, in a folder of its own.
QMap<QString, QByteArray> unpack(const QString &package)
{
    TempDir out;
    QFile::copy(package, out.file("CGSBQY.ARJ"));
    QProcess arj;
    arj.setWorkingDirectory(out.path());
    arj.start("arj", {"e", "-y", "CGSBQY.ARJ"});
    arj.waitForFinished(60000);
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

QStringList marked(const QStringList &exported)
{
    QStringList out;
    for (const QString &record : kAll)
        out << record + (exported.contains(record) ? "=1" : "=0");
    return out;
}

QStringList entries(const QString &folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

// Opens the window with the main window's 导出 and works it on folder.
void inWindow(AppFixture &app, const QString &folder, std::function<void()> script)
{
    app.modals().then([folder, script](QDialog *) { Formout->SelectFolder(folder), script(); });
    MainForm->BitBtn2->setEnabled(true); // as the navigation lock opens it
    MainForm->BitBtn2->click();
    QCOMPARE(app.modals().shown().last(), QString("TFormout"));
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

// An arj first on PATH: a script that may call the real one, $REAL.
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
    void numbersTravelInPlainDecimals();
};

void TestExport::exportsChosenRecords()
{
    AppFixture app;
    fillTables();
    const QString folder = QDir(app.dataDir()).filePath(u("导出 包"));
    QDir().mkpath(folder);
    const QString package = QDir(folder).filePath("cgsbqy.arj");

    // All records: unpacked by arj, each member is what the writer makes of its whole table.
    inWindow(app, folder, [&] {
        QCOMPARE(Formout->Edit1->text(), folder);
        QVERIFY(!Formout->Button2->isEnabled() && Formout->ComboBox2->isHidden());
        QCOMPARE(Formout->DBGrid1->model()->rowCount(), 0);
        Formout->RadioButton5->click();
        QCOMPARE(Formout->Label1->text(), u("选择了4记录！"));
        Formout->Button2->click();
        QCOMPARE(app.boxes().last().text, kDone + package);
    });
    QCOMPARE(marks(), marked(kAll));
    QCOMPARE(entries(folder), QStringList({"cgsbqy.arj"}));
    QMap<QString, QByteArray> members = unpack(package);
    QCOMPARE(members.keys(), QStringList({"CGWCDW.TXT", "CGWCR.TXT", "EXPERT.TXT", "JDWYHMD.TXT", "KJCG.TXT",
                                          "UNIT.TXT", "ZLQK.TXT"}));
    {
        Stored kjcg("kjcg");
        QCOMPARE(members["KJCG.TXT"], written(kjcg, TextMember::Kjcg));
        QCOMPARE(members["UNIT.TXT"], written(*DM->Tblunit, TextMember::Unit));
        QCOMPARE(members["EXPERT.TXT"], written(*DM->Tblexpert, TextMember::Expert));
        for (const QString &table : kChildren) {
            Stored child(table);
            QCOMPARE(members[table.toUpper() + ".TXT"], written(child, TextMember::Child));
        }
    }
    QVERIFY(members["KJCG.TXT"].contains(gbk::encode(u("\t\"第一行\r\n第二行\"\t"))));
    QCOMPARE(recordKeysOf(members["KJCG.TXT"]), kAll);
    QCOMPARE(keysOf(members["KJCG.TXT"], 76, 77).first(), QString("0/A1")); // ITEM_SJDC
    QCOMPARE(members["UNIT.TXT"].count("\r\n"), 2);

    // Opening again sets every mark back; rows picked by hand go with their
    // own child rows only, not with those of their key in another region.
    inWindow(app, folder, [&] {
        QCOMPARE(marks(), marked({}));
        pick({u("成果2005000001/."), u("成果2004000003/.")});
        QCOMPARE(Formout->Label1->text(), u("选择了2记录！"));
        app.boxes().answer(ui::IDYES); // the package there is replaced
        Formout->Button2->click();
        QCOMPARE(app.boxes().last().text, kDone + package);
    });
    members = unpack(package);
    const QStringList picked = {"2005000001/.", "2004000003/."};
    QCOMPARE(recordKeysOf(members["KJCG.TXT"]), picked);
    for (const QString &table : kChildren)
        QCOMPARE(keysOf(members[table.toUpper() + ".TXT"]), picked);
    QCOMPARE(marks(), marked(picked));

    // A year: both regions of its shared key, each with its own rows.
    inWindow(app, folder, [&] {
        chooseYear("2005");
        Formout->Button2->click();
    });
    members = unpack(package);
    QCOMPARE(recordKeysOf(members["KJCG.TXT"]), kAll.mid(0, 3));
    QCOMPARE(keysOf(members["CGWCR.TXT"]), kAll.mid(0, 3));

    // 年份 without a year picked: asked, and Yes exports every record.
    inWindow(app, folder, [&] {
        Formout->RadioButton7->click();
        Formout->Button2->click();
        QVERIFY(app.boxes().texts().contains(u("请选择您要导出的项目，是否全部选择？")));
        QCOMPARE(Formout->RadioButton5->toolTip(), u("再次选择全部项目请双击"));
    });
    QCOMPARE(recordKeysOf(unpack(package)["KJCG.TXT"]), kAll);

    // The window as it looks, captions whole.
    Formout->show();
    Formout->SelectFolder(folder);
    chooseYear("2005");
    QCOMPARE(describeClippedCaptions(Formout), QStringList());
    if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty())
        QDir().mkpath(shots), Formout->grab().save(QDir(shots).filePath("TFormout.png"));
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
    const auto unchanged = [&] {
        QCOMPARE(out.read("cgsbqy.arj"), QByteArray("old package"));
        QCOMPARE(entries(out.path()), QStringList({"cgsbqy.arj"}));
        QCOMPARE(marks(), marked({}));
    };

    // No records at all: said so, nothing written.
    exportAll({}, [&] { QCOMPARE(app.boxes().last().text, u("没有可导出的项目！")); });
    QCOMPARE(entries(out.path()), QStringList());

    fillTables();
    out.write("cgsbqy.arj", "old package");
    // No to the question about the package there: nothing happens.
    exportAll({ui::IDNO}, [&] { QCOMPARE(app.boxes().count(), 1); });
    unchanged();

    // The archiver fails, or ends well but leaves a member out: its own words
    // or the missing member are shown, and nothing changes.
    {
        FakeArj arj("echo 'Disk full: KJCG.TXT' >&2; exit 3\n");
        exportAll({}, [&] { QVERIFY(app.boxes().last().details.contains("Disk full: KJCG.TXT")); });
    }
    unchanged();
    {
        FakeArj arj("[ \"$1\" = a ] && set -- $(printf '%s\\n' \"$@\" | grep -v EXPERT)\nexec \"$REAL\" \"$@\"\n");
        exportAll({}, [&] { QVERIFY(app.boxes().last().text.contains(u("缺少 EXPERT.TXT"))); });
    }
    unchanged();

    // A folder that cannot be written; root is stopped by the immutable flag.
    QFile(out.path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool immutable = geteuid() == 0 && QProcess::execute("chattr", {"+i", out.path()}) == 0;
    if (geteuid() != 0 || immutable) {
        exportAll({}, [&] { QVERIFY(app.boxes().last().text.contains(out.path())); });
        unchanged();
    }
    if (immutable)
        QProcess::execute("chattr", {"-i", out.path()});
    QFile(out.path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // While the archiver runs the window stays, however it is asked to close.
    FakeArj slow("sleep 1\nexec \"$REAL\" \"$@\"\n");
    bool triedWhilePacking = false;
    QTimer knock;
    QObject::connect(&knock, &QTimer::timeout, [&] {
        if (Formout->Packing() && !triedWhilePacking)
            triedWhilePacking = true, Formout->close(), Formout->reject();
    });
    knock.start(50);
    exportAll({}, [&] {
        QVERIFY(Formout->isVisible());
        QVERIFY(app.boxes().last().text.startsWith(kDone));
    });
    QVERIFY(triedWhilePacking);
    QVERIFY(out.read("cgsbqy.arj").startsWith("\x60\xEA"));
    QCOMPARE(marks(), marked(kAll));

    // The package is in place before the marks are set: marks that cannot
    // be set leave the package, say where it is, and stay as they were.
    // Scratch folders a crash left are removed by the next export; only
    // its own kind.
    QDir(out.path()).mkpath("corvane-export-Ab3dE9/x"), QDir(out.path()).mkpath("corvane-export-keep");
    QDir(out.path()).mkpath("mine");
    // Made a while ago: a folder just made may not be locked yet.
    for (const char *name : {"corvane-export-Ab3dE9", "corvane-export-keep", "mine"})
        QCOMPARE(QProcess::execute("touch", {"-d", "1 minute ago", out.file(name)}), 0);
    inWindow(app, out.path(), [&] {
        Formout->RadioButton5->click(); // the window's opening cleared the marks
        QFile::remove(out.file("cgsbqy.arj"));
        db::setFaultHook([](const char *) { throw db::DbError("injected"); });
        app.boxes().clear();
        Formout->Button2->click();
        db::setFaultHook({});
        QVERIFY2(app.boxes().last().text.contains(QDir::toNativeSeparators(out.file("cgsbqy.arj"))),
                 qPrintable(app.boxes().last().text));
    });
    QVERIFY(out.read("cgsbqy.arj").startsWith("\x60\xEA"));
    QCOMPARE(marks(), marked({}));
    QCOMPARE(entries(out.path()), QStringList({"cgsbqy.arj", "corvane-export-keep", "mine"}));
}

// Amounts at the edges of their columns travel in KJCG.TXT as the plain
// decimals other readers of the format expect, never with an exponent.
void TestExport::numbersTravelInPlainDecimals()
{
    AppFixture app;
    fillTables();
    const QList<std::pair<const char *, QString>> amounts = {
        {"ITEM_150", "123456789012345"}, {"ITEM_145", "0.000001"}, {"ITEM_149", "-999999999999999"},
        {"ITEM_141", "12345678901.1235"}, {"ITEM_51_2", "999999"}, {"ITEM_143", "-0.000001"}};
    for (const auto &[field, value] : amounts)
        setRecordField("2005000002", field, value);
    const QString folder = QDir(app.dataDir()).filePath("out");
    QDir().mkpath(folder);
    inWindow(app, folder, [&] {
        Formout->RadioButton5->click();
        Formout->Button2->click();
    });
    QByteArray kjcg = unpack(QDir(folder).filePath("cgsbqy.arj"))["KJCG.TXT"];
    QBuffer device(&kjcg);
    device.open(QIODevice::ReadOnly);
    RecordAssembler records(device);
    const auto position = [](const char *field) {
        const QVector<db::ColumnDef> &columns = tableSchema("kjcg")->columns;
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name == QLatin1String(field))
                return i;
        return -1;
    };
    QMap<QString, QString> sent;
    for (QByteArray record; records.next(record);) {
        const QList<QByteArray> tokens = record.split('\t');
        if (tokens[22] == "2005000002" && tokens[77] == ".")
            for (const auto &[field, value] : amounts)
                sent[field] = QString::fromLatin1(tokens.value(position(field)));
    }
    for (const auto &[field, value] : amounts)
        QCOMPARE(sent.value(field), value);
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
