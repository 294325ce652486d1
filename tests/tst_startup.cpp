#include "AppFixture.h"
#include "DataFolder.h"
#include "Startup.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitDM.h"
#include "Unitwel.h"
#include "Unitpage9.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"
#include "yyPrintUnit13.h"

#include <QCalendarWidget>
#include <QScreen>
#include <QtTest>

#include <cerrno>

namespace {

QList<QStringList> rowsOf(const QString &name)
{
    QList<QStringList> out;
    for (const QByteArray &line : deliveredRows(name).split('\n'))
        if (!line.trimmed().isEmpty())
            out << QString::fromUtf8(line).split('\t');
    return out;
}

int exits = 0;
void countExit()
{
    ++exits;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void newFolderHoldsEveryTable();
    void deliveredDataIsConsistent();
    void startsOnNewAndExistingFolders();
    void missingOptionalClassification();
    void leftoverTemporaryFilesRemoved();
    void secondInstanceEndsSilently();
    void windowsOfStartUp();
    void packsExactlyItsTables();
    void cutDeliveriesWrittenAgain();
    void fullDiskAtStartPack();
};

void TestStartup::newFolderHoldsEveryTable()
{
    TempDir dir;
    prepareDataFolder(dir.path());
    for (const TableSchema &s : allTableSchemas()) {
        auto f = db::DbfFile::open(dir.path(), s.fileName);
        QCOMPARE(f->fieldCount(), s.columns.size());
        for (int i = 0; i < s.columns.size(); ++i) {
            const db::FieldDef &fd = f->fields()[i];
            QCOMPARE(QString::fromLatin1(fd.name), s.columns[i].name.toUpper());
            QCOMPARE(fd.type, s.columns[i].type);
            if (fd.type == 'C' || fd.type == 'N')
                QCOMPARE(fd.length, s.columns[i].length);
        }
        // Delivered rows are stored whole: nothing was cut to fit a column.
        if (!s.delivered.isEmpty()) {
            const QList<QStringList> rows = rowsOf(s.delivered);
            QCOMPARE(f->recordCount(), rows.size() - 1);
            for (int r = 1; r < rows.size(); ++r)
                for (int c = 0; c < rows[r].size(); ++c)
                    QCOMPARE(f->value(r - 1, f->fieldIndex(rows[0][c])).toString(), rows[r][c]);
        }
    }
    // The staging twins copy their main tables column for column.
    QCOMPARE(tableSchema("kjcgtemp")->columns.size(), 102);
    for (const char *name : {"kjcg", "cgwcr", "cgwcdw", "jdwyhmd", "zlqk", "unit"}) {
        const auto &main = tableSchema(name)->columns;
        const auto &twin = tableSchema(QString(name) + "temp")->columns;
        QCOMPARE(twin.size(), main.size());
        for (int i = 0; i < main.size(); ++i)
            QCOMPARE(twin[i].name, main[i].name);
    }
}

void TestStartup::deliveredDataIsConsistent()
{
    // Every code field a window or a print looks up has its items.
    QSet<QString> fields;
    for (const QStringList &r : rowsOf("zdxx").mid(1)) {
        fields << r[0];
        QVERIFY2(!r[2].contains("  "), qPrintable(r.join('|'))); // "code  name" must split cleanly
        QVERIFY(!r[1].contains('\''));
    }
    for (const char *code : {"item_1", "item_2", "item_16", "item_33", "item_201", "item_125_1", "item_210",
                             "item_123", "item_124_1", "item_125", "item_200", "item_126", "item_140", "item_21",
                             "item_21_l", "item_51", "item_51_1", "item_32", "item_32_1", "item_160", "item_161",
                             "item_62", "item_41_3", "item_181", "item_183", "item_184", "item_188", "item_198",
                             "item_193", "item_191", "item_46", "item_47", "patent_st", "patent_ty"})
        QVERIFY2(fields.contains(code), code);

    // Required-field rows name real record columns and sections 01 to 04.
    const auto &kjcg = tableSchema("kjcg")->columns;
    for (const QStringList &r : rowsOf("checkup").mid(1)) {
        QVERIFY(std::any_of(kjcg.begin(), kjcg.end(),
                            [&](const db::ColumnDef &c) { return c.name.compare(r[1], Qt::CaseInsensitive) == 0; }));
        QVERIFY(QStringList({"01", "02", "03", "04"}).contains(r[2]));
        QVERIFY(QStringList({"a", "1", "2"}).contains(r[0]));
    }
    for (const QStringList &r : rowsOf("zdxx1").mid(1))
        QVERIFY(!r[0].isEmpty());

    // Trees are in tree order: each row sits under the nearest row one level up.
    for (const char *tree : {"gxjs", "xkfl", "ztflh"}) {
        QStringList path;
        for (const QStringList &r : rowsOf(tree).mid(1)) {
            const int level = r[0].toInt();
            QVERIFY2(level >= 1 && level <= path.size() + 1, qPrintable(r.join('|')));
            path = path.mid(0, level - 1);
            if (!path.isEmpty())
                QVERIFY2(r[1].startsWith(path.last().left(1)), qPrintable(r.join('|')));
            path << r[1];
            QVERIFY(!r[1].contains("  ") && !r[1].contains('\''));
        }
    }
}

void TestStartup::startsOnNewAndExistingFolders()
{
    TempDir keep;
    QString dir;
    {
        AppFixture app;
        dir = app.dataDir();
        QCOMPARE(app.boxes().count(), 0); // no error box
        QVERIFY(HasZtflh && HasXkfl);
        for (db::Dataset *d : QList<db::Dataset *>{DM->Qrykjcg, DM->tempquery, DM->Query1, DM->Query2, DM->QryCgwcr,
                                                   DM->QryCgwcdw, DM->QryJdwyhmd, DM->QryCheckUp, DM->Qrydwqk,
                                                   DM->Qryunit, DM->Qryexpert, DM->Tblkjcg, DM->T_temp_out,
                                                   DM->TblCgwcr, DM->TblCgwcdw, DM->Tbljdwyhmd, DM->tblzlqk,
                                                   DM->Tblunit, DM->Tblexpert, DM->TblwcrNew, DM->Tblzdxx,
                                                   DM->tblzdxx1, DM->tblProvince, DM->tblLsbw, DM->TblDFJHZDXX,
                                                   DM->Tblgxjs, DM->Tztflh2, DM->Txkfl2, DM->TblCgwcr_181})
            QVERIFY2(d->active(), qPrintable(d->objectName()));
        for (db::Dataset *d : QList<db::Dataset *>{DM->Table1, DM->Table2, DM->TableWcrTemp, DM->T_temp_in,
                                                   DM->Table_pack, DM->Tblexpert_183})
            QVERIFY2(!d->active(), qPrintable(d->objectName()));
        QVERIFY(DM->QryCgwcr->cachedUpdates());
        QVERIFY(DM->TblCgwcr_181->recordCount() >= 2); // the sex codes, through the view's filter
        QCOMPARE(DM->QryCheckUp->recordCount(), rowsOf("checkup").size() - 1);

        // Store a record; a second start keeps it and packs away deleted rows.
        DM->Tblkjcg->append();
        DM->Tblkjcg->fieldByName("item_4")->setAsString("2005000001");
        DM->Tblkjcg->fieldByName("item_3")->setAsString(u("新型材料"));
        DM->Tblkjcg->post();
        DM->Tblkjcg->append();
        DM->Tblkjcg->fieldByName("item_4")->setAsString("2005000002");
        DM->Tblkjcg->post();
        DM->Tblkjcg->deleteRecord();
        // Copy the folder before the fixture removes it.
        for (const QString &f : QDir(dir).entryList(QDir::Files))
            QFile::copy(QDir(dir).filePath(f), keep.file(f));
    }
    {
        ui::ScriptedMessageBoxes boxes;
        createApplication(keep.path());
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(DM->Tblkjcg->recordCount(), 1);
        QCOMPARE(DM->Tblkjcg->fieldByName("item_3")->asString(), u("新型材料"));
        destroyApplication();
    }
    QCOMPARE(db::DbfFile::open(keep.path(), "kjcg")->recordCount(), 1); // packed
}

void TestStartup::missingOptionalClassification()
{
    TempDir dir;
    prepareDataFolder(dir.path());
    QVERIFY(QFile::remove(db::DbfFile::findFile(dir.path(), "ztflh.dbf")));
    ui::ScriptedMessageBoxes boxes;
    createApplication(dir.path());
    QCOMPARE(boxes.count(), 0);
    QVERIFY(!HasZtflh);
    QVERIFY(HasXkfl);
    QVERIFY(!DM->Tztflh2->active());
    QVERIFY(DM->Tblkjcg->active() && DM->TblwcrNew->active()); // start-up went on to the end
    destroyApplication();
    QVERIFY(db::DbfFile::findFile(dir.path(), "ztflh.dbf").isEmpty()); // not brought back

    // A missing required table file is created again; a damaged one stops the
    // data module with a message and the program goes on.
    QFile::remove(db::DbfFile::findFile(dir.path(), "lsbw.dbf"));
    {
        QFile f(db::DbfFile::findFile(dir.path(), "zdxx1.dbf"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("broken");
    }
    createApplication(dir.path());
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.last().text.contains("zdxx1"));
    QVERIFY(DM->Qrykjcg->active() && DM->tblzlqk->active());
    QVERIFY(!DM->tblzdxx1->active() && !DM->tblProvince->active());
    destroyApplication();
    QVERIFY(!db::DbfFile::findFile(dir.path(), "lsbw.dbf").isEmpty());
}

void TestStartup::leftoverTemporaryFilesRemoved()
{
    TempDir dir;
    prepareDataFolder(dir.path());
    // A pack interrupted just before its rename leaves the packed copy; a
    // save interrupted leaves its temporary file; a delivered table being
    // filled leaves its scratch table. The user's own files stay.
    const QByteArray kjcg = dir.read("kjcg.DBF");
    const QStringList leftovers = {"~pack-kjcg.DBF", "cgwcr.DBF.a1B2c3", "~new-zdxx.dbf", "KJCG.DBT.Zz9y8X"};
    const QStringList kept = {"kjcg-backup.dbf", "notes.txt", "cgwcr.DBF.bak", "report.dbf.1"};
    for (const QString &name : leftovers + kept)
        dir.write(name, kjcg);
    ui::ScriptedMessageBoxes boxes;
    createApplication(dir.path());
    QCOMPARE(boxes.count(), 0);
    QVERIFY(DM->Tblkjcg->active());
    destroyApplication();
    for (const QString &name : leftovers)
        QVERIFY2(!QFileInfo::exists(dir.file(name)), qPrintable(name));
    for (const QString &name : kept)
        QVERIFY2(QFileInfo::exists(dir.file(name)), qPrintable(name));
}

void TestStartup::secondInstanceEndsSilently()
{
    AppFixture app;
    exits = 0;
    setInstanceExit(countExit);
    auto restore = qScopeGuard([&] {
        setInstanceExit(nullptr);
        setInstanceDataFolder(app.dataDir());
    });
    // The same user's copy on the same folder: the first is on the screen.
    {
        TMainForm second;
        QCOMPARE(exits, 1);
    }
    QCOMPARE(app.boxes().count(), 0);

    // The same user's copy on another folder runs beside it.
    TempDir other;
    setInstanceDataFolder(other.path());
    {
        TMainForm onOther;
        QCOMPARE(exits, 1);
    }

    // Another user's copy on this folder (the user's own lock is another
    // one) is told why it cannot start, and ends.
    setInstanceDataFolder(app.dataDir());
    setInstanceLockName(QStringLiteral("corvane-test-other-user-%1").arg(QCoreApplication::applicationPid()));
    {
        TMainForm byOtherUser;
        QCOMPARE(exits, 2);
    }
    QCOMPARE(app.boxes().count(), 1);
    QVERIFY2(app.boxes().last().text.contains(QDir::toNativeSeparators(QFileInfo(app.dataDir()).canonicalFilePath())),
             qPrintable(app.boxes().last().text));
    QCOMPARE(app.boxes().last().icon(), ui::MB_ICONSTOP);
    // Once the first copy ends, the folder is free for the other user.
    destroyApplication();
    {
        TMainForm afterwards;
        QCOMPARE(exits, 2);
    }
    createApplication(app.dataDir());
}

void TestStartup::windowsOfStartUp()
{
    AppFixture app;
    // The main window keeps its size, in the middle of the screen.
    MainForm->resize(1000, 700);
    QCOMPARE(MainForm->size(), QSize(800, 570));
    const QPoint centre = MainForm->screen()->availableGeometry().center();
    QVERIFY((MainForm->frameGeometry().center() - centre).manhattanLength() <= 2);

    // Chinese (China): calendars and Qt's standard dialogs speak Chinese.
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    QCalendarWidget *calendar = Fpage9->DTP_302->calendarWidget();
    QCOMPARE(calendar->locale().monthName(1), u("一月"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u("取消"));
    QCOMPARE(TableNames, QStringList({"KJCG", "CGWCDW", "CGWCR", "JDWYHMD", "ZLQK", "unit", "expert"}));

    // The splash runs its timer from creation and closes on the first tick.
    QVERIFY(formwel->Timer1->isActive());
    QCOMPARE(formwel->Timer1->interval(), 5000);
    formwel->show();
    formwel->Timer1Timer();
    QVERIFY(!formwel->isVisible());
    QVERIFY(!formwel->Timer1->isActive());

    // First showing: the splash first; with no unit registered the commands
    // stay disabled except delete, import and unit information.
    MainForm->show();
    QCOMPARE(app.modals().shown().value(0), QString("Tformwel"));
    QVERIFY(!MainForm->Button1->isEnabled() && !MainForm->btn_page01->isEnabled() && !MainForm->DBGrid1->isEnabled());
    QVERIFY(MainForm->Button2->isEnabled() && MainForm->Button4->isEnabled() && MainForm->BitBtn1->isEnabled());
    QVERIFY(!MainForm->Edit2->isVisible());

    // Help windows carry their rules.
    QVERIFY(HelpForm->Memo1->toPlainText().contains(u("附件五：国家科技计划编码规则")));
    QVERIFY(HelpForm_rj->Memo1->toPlainText().contains(u("附件三：社会经济目标")));
    QVERIFY(HelpForm->Memo1->isReadOnly());

    MainForm->BitBtn7Click();
    QVERIFY(!MainForm->isVisible());
}

// Start-up packs the record, child, staging, person, classification, code
// and unit tables; the dictionary, the checks and the other code tables are
// left as they are.
void TestStartup::packsExactlyItsTables()
{
    TempDir dir;
    prepareDataFolder(dir.path());
    QMap<QString, int> rows;
    const QStringList files = QDir(dir.path()).entryList({"*.dbf", "*.DBF"}, QDir::Files);
    for (const QString &file : files) {
        db::Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(file);
        t.open();
        t.append();
        t.post();
        t.deleteRecord();
        t.close();
        rows[file.toLower()] = db::DbfFile::open(dir.path(), file)->recordCount();
    }
    {
        ui::ScriptedMessageBoxes boxes;
        createApplication(dir.path());
        destroyApplication();
        QCOMPARE(boxes.count(), 0);
    }
    QStringList packed;
    for (const QString &file : files)
        if (db::DbfFile::open(dir.path(), file)->recordCount() < rows[file.toLower()])
            packed << QFileInfo(file).completeBaseName().toLower();
    packed.sort();
    QCOMPARE(packed, QStringList({"cgwcdw", "cgwcdwtemp", "cgwcr", "cgwcrnew", "cgwcrtemp", "dfjhzdxx", "gxjs",
                                  "jdwyhmd", "jdwyhmdtemp", "kjcg", "kjcgtemp", "lsbw", "unit", "unitexpert",
                                  "xkfl", "zlqk", "zlqktemp", "ztflh"}));
}

// A power cut during an earlier start left delivered tables and templates
// cut short (named before their bytes reached the disk): the next start
// writes them again. What anyone else wrote is kept.
void TestStartup::cutDeliveriesWrittenAgain()
{
    TempDir fresh, dir;
    prepareDataFolder(fresh.path());
    prepareDataFolder(dir.path());
    const auto header = [](const QByteArray &table) { return int(uchar(table[8]) | uchar(table[9]) << 8); };
    struct Damage
    {
        QString file;
        std::function<QByteArray(QByteArray)> cut;
        bool writtenAgain;
    };
    const QList<Damage> damages = {
        // Named before its rows were filled in: none counted.
        {"zdxx.dbf", [&](QByteArray b) { return b.left(header(b)).replace(4, 4, QByteArray(4, '\0')) + '\x1a'; }, true},
        // The count reached the disk, the rows did not.
        {"ZTFLH.dbf", [&](QByteArray b) { return b.left(header(b)); }, true},
        // Rows cut short, with blocks never written (zeros) among them.
        {"gxjs.dbf", [&](QByteArray b) { return b.left(b.size() / 2).replace(header(b) + 40, 300, QByteArray(300, '\0')); }, true},
        {"province.dbf", [](QByteArray) { return QByteArray(); }, true},
        {u("应用技术封面.dotx"), [](QByteArray) { return QByteArray(); }, true},
        {u("应用技术登记表.dotx"), [](QByteArray b) { return b.left(b.size() / 3); }, true},
        // A row of someone else's, cut short; rows added; a template adapted.
        {"LSBW.dbf", [&](QByteArray b) { return b.left(header(b) + 100).replace(header(b) + 1, 1, "X"); }, false},
        {"checkup.dbf", [&](QByteArray b) { return b.left(b.size() - 1) + b.mid(header(b), b.size() - header(b) - 1) + '\x1a'; }, false},
        {u("科学技术成果鉴定证书.dotx"), [](QByteArray b) { return b.left(200) + "adapted"; }, false},
    };
    for (const Damage &d : damages)
        dir.write(d.file, d.cut(fresh.read(d.file)));
    ui::ScriptedMessageBoxes boxes;
    prepareDataFolder(dir.path());
    QCOMPARE(boxes.count(), 0);
    QVERIFY(QDir(dir.path()).entryList({"~*"}, QDir::Files | QDir::Hidden).isEmpty());
    // Bytes 1 to 3 of a table hold the date it was last changed.
    const auto dated = [](QByteArray b, const QString &file) { return file.endsWith(".dbf") ? b.replace(1, 3, "ymd") : b; };
    for (const Damage &d : damages) {
        const QByteArray expected = d.writtenAgain ? fresh.read(d.file) : d.cut(fresh.read(d.file));
        QVERIFY2(dated(dir.read(d.file), d.file) == dated(expected, d.file), qPrintable(d.file));
    }
}

// After a store stopped on a full disk, the next start cannot pack the
// tables: they stay as they were and usable, the start goes on, and the
// user is told the disk is full. Once there is room, a start packs them.
void TestStartup::fullDiskAtStartPack()
{
    TempDir dir;
    prepareDataFolder(dir.path());
    for (const char *file : {"kjcgtemp.DBF", "zlqk.DBF"}) {
        db::Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(file);
        t.open();
        for (int i = 0; i < 2; ++i)
            t.append(), t.post();
        t.deleteRecord();
    }
    db::DbfFile::releaseUnused();
    const QByteArray staged = dir.read("kjcgtemp.DBF");
    ui::ScriptedMessageBoxes boxes;
    db::setFaultHook([](const char *what) {
        if (QByteArray(what) == "write")
            throw db::DbError("injected", ENOSPC);
    });
    createApplication(dir.path());
    db::setFaultHook({});
    QCOMPARE(boxes.count(), 1);
    for (const QString &part : {u("磁盘已满"), u("kjcgtemp.DBF"), u("zlqk.DBF")})
        QVERIFY2(boxes.last().text.contains(part), qPrintable(boxes.last().text));
    QVERIFY(DM->tblzlqk->active() && DM->TblwcrNew->active());
    QCOMPARE(DM->tblzlqk->recordCount(), 1);
    QCOMPARE(dir.read("kjcgtemp.DBF"), staged);
    QVERIFY(QDir(dir.path()).entryList({"~*"}, QDir::Files | QDir::Hidden).isEmpty());
    {
        db::Table t; // as the import opens the staging table for itself
        t.setDatabaseName(dir.path());
        t.setTableName("kjcgtemp.DBF");
        t.setExclusive(true);
        t.open();
        QCOMPARE(t.recordCount(), 1);
    }
    destroyApplication();
    createApplication(dir.path());
    destroyApplication();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(db::DbfFile::open(dir.path(), "kjcgtemp.DBF")->recordCount(), 1);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
