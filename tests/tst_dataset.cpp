#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"

#include <QSignalSpy>
#include <QtTest>

using namespace db;

namespace {

void makePersons(const QString &dir)
{
    DbfFile::create(dir, "cgwcr.DBF",
                    {{"ITEM_4", 'C', 10, 0}, {"ITEM_DQDM", 'C', 3, 0}, {"ITEM_187", 'N', 20, 6},
                     {"ITEM_180", 'C', 20, 0}, {"ITEM_181", 'C', 1, 0}, {"ITEM_186", 'C', 160, 0}});
}

// Opens t on the persons table of dir.
void openPersons(Table &t, const QString &dir)
{
    t.setDatabaseName(dir);
    t.setTableName("cgwcr");
    t.open();
}

void addPerson(Table &t, const QString &key, int seq, const QString &name, const QString &sex = "0")
{
    t.append();
    t.fieldByName("item_4")->setAsString(key);
    t.fieldByName("item_dqdm")->setAsString(".");
    t.fieldByName("item_187")->setAsInteger(seq);
    t.fieldByName("item_180")->setAsString(name);
    t.fieldByName("item_181")->setAsString(sex);
    t.post();
}

QStringList names(Dataset &d, const QString &field = "item_180")
{
    QStringList out;
    for (d.first(); !d.eof(); d.next())
        out << d.fieldByName(field)->asString();
    return out;
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private slots:
    void navigationAndFields();
    void editingWritesThroughToFile();
    void filterViewAndRowsLeavingIt();
    void tablesFollowEachOther();
    void liveQueryPostsIntoTable();
    void cachedUpdatesApplyAndCancel();
    void lookupColumnsAndLabels();
    void controlsNotifications();
};

void TestDataset::navigationAndFields()
{
    TempDir dir;
    makePersons(dir.path());
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName("CGWCR"); // any case finds cgwcr.DBF
    t.open();
    QVERIFY(t.eof() && t.bof() && t.isEmpty());
    QCOMPARE(t.recordCount(), 0);
    t.next(); // harmless on an empty set
    QVERIFY(t.eof());

    for (int i = 1; i <= 5; ++i)
        addPerson(t, "2005000001", i, u("张%1").arg(i));
    QCOMPARE(t.recordCount(), 5);
    t.first();
    QVERIFY(t.bof() && !t.eof());
    QCOMPARE(t.recNo(), 1);
    t.moveBy(3);
    QCOMPARE(t.fieldByName("ITEM_180")->asString(), u("张4"));
    t.moveBy(10);
    QVERIFY(t.eof());
    QCOMPARE(t.recNo(), 5);
    t.next();
    QCOMPARE(t.recNo(), 5);
    t.moveBy(-10);
    QVERIFY(t.bof());
    QCOMPARE(t.recNo(), 1);
    t.last();
    QVERIFY(t.eof());
    t.prior();
    QCOMPARE(t.fieldByName("item_187")->asInteger(), 4);

    // Bookmarks and locate, exact and partial.
    const auto mark = t.bookmark();
    QVERIFY(t.locate("item_180", u("张2")));
    QCOMPARE(t.recNo(), 2);
    QVERIFY(!t.locate("item_180", u("李")));
    QCOMPARE(t.recNo(), 2); // a failed locate does not move
    QVERIFY(t.locate("item_180", u("张"), true));
    QCOMPARE(t.recNo(), 1);
    QVERIFY(t.gotoBookmark(mark));
    QCOMPARE(t.recNo(), 4);

    // Null rule and typed access.
    QVERIFY(t.fieldByName("item_186")->isNull());
    t.edit();
    t.fieldByName("item_186")->setAsString("");
    t.fieldByName("item_181")->setAsString(" ");
    t.post();
    QVERIFY(t.fieldByName("item_186")->isNull());
    QVERIFY(t.fieldByName("item_181")->isNull());
    QCOMPARE(t.field(2)->fieldName(), QString("ITEM_187"));
    QVERIFY(t.findField("nothing") == nullptr);
    QVERIFY_THROWS_EXCEPTION(DbError, t.fieldByName("nothing"));
    // Writing needs edit state; a number column refuses a non-number.
    QVERIFY_THROWS_EXCEPTION(DbError, t.fieldByName("item_180")->setAsString("x"));
    t.edit();
    QVERIFY_THROWS_EXCEPTION(DbError, t.fieldByName("item_187")->setAsString("abc"));
    t.cancel();
}

void TestDataset::editingWritesThroughToFile()
{
    TempDir dir;
    makePersons(dir.path());
    {
        Table t;
        openPersons(t, dir.path());
        addPerson(t, "2005000001", 1, u("甲"));
        addPerson(t, "2005000001", 2, u("乙"));
        addPerson(t, "2005000001", 3, u("丙"));
        t.first();
        t.next();
        t.edit();
        t.fieldByName("item_180")->setAsString(u("乙改"));
        QCOMPARE(t.fieldByName("item_180")->asString(), u("乙改")); // the edit is seen before post
        t.next(); // moving posts
        QCOMPARE(t.state(), Dataset::Browse);
        t.first();
        t.edit();
        t.fieldByName("item_180")->setAsString(u("作废"));
        t.cancel();
        QCOMPARE(t.fieldByName("item_180")->asString(), u("甲"));
        t.deleteRecord();
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(t.fieldByName("item_180")->asString(), u("乙改")); // the next row becomes current
        t.last();
        t.deleteRecord(); // the last row: the cursor goes to the new last row
        QCOMPARE(t.fieldByName("item_180")->asString(), u("乙改"));
        QVERIFY(t.eof());
        // Edit on an empty set appends.
        t.setFilter("item_4='none'");
        t.setFiltered(true);
        QVERIFY(t.isEmpty());
        t.edit();
        QCOMPARE(t.state(), Dataset::Insert);
        t.cancel();
    }
    // Everything is on disk: a new open sees one live and two deleted rows.
    auto f = DbfFile::open(dir.path(), "cgwcr.dbf");
    QCOMPARE(f->recordCount(), 3);
    QVERIFY(f->isDeleted(0) && !f->isDeleted(1) && f->isDeleted(2));
    QCOMPARE(f->value(1, f->fieldIndex("item_180")).toString(), u("乙改"));
}

void TestDataset::filterViewAndRowsLeavingIt()
{
    TempDir dir;
    makePersons(dir.path());
    Table t;
    openPersons(t, dir.path());
    addPerson(t, "2005000001", 1, u("甲"));
    addPerson(t, "2005000002", 1, u("乙"));
    addPerson(t, "2005000001", 2, u("丙"));
    addPerson(t, "2005000001", 3, u("丁"));
    t.close();

    t.setFilter("item_4='2005000001' and item_dqdm='.'");
    t.setFiltered(true);
    t.open();
    QCOMPARE(names(t), QStringList({u("甲"), u("丙"), u("丁")}));

    // Moving every row to a new key: each post drops the row from the view
    // and the cursor lands on the next one, so this loop ends.
    t.first();
    int moved = 0;
    while (!t.eof() && t.fieldByName("item_4")->asString() != "2006000001") {
        t.edit();
        t.fieldByName("item_4")->setAsString("2006000001");
        t.post();
        ++moved;
        QVERIFY(moved <= 3);
    }
    QCOMPARE(moved, 3);
    QVERIFY(t.isEmpty());

    // Changing the filter while open refilters; a trailing * matches a prefix.
    t.setFilter("item_4='2006*'");
    QCOMPARE(t.recordCount(), 3);
    t.setFilter("item_180='乙' or item_180='丁'");
    QCOMPARE(names(t), QStringList({u("乙"), u("丁")}));
    t.setFiltered(false);
    QCOMPARE(t.recordCount(), 4);

    // A filter the engine cannot read fails the open with its message.
    t.close();
    t.setFilter("item_180='O'Brien'");
    t.setFiltered(true);
    QVERIFY_THROWS_EXCEPTION(DbError, t.open());
    QVERIFY(!t.active());
}

void TestDataset::tablesFollowEachOther()
{
    TempDir dir;
    makePersons(dir.path());
    Table a, b;
    for (Table *t : {&a, &b}) {
        t->setDatabaseName(dir.path());
        t->setTableName("cgwcr");
        t->open();
    }
    addPerson(a, "2005000001", 1, u("甲"));
    addPerson(a, "2005000001", 2, u("乙"));
    b.first();
    QCOMPARE(b.recordCount(), 2);
    b.last();
    b.edit();
    b.fieldByName("item_180")->setAsString(u("乙二"));
    b.post();
    a.first();
    QVERIFY(a.locate("item_180", u("乙二")));
    a.deleteRecord();
    b.first();
    QCOMPARE(names(b), QStringList({u("甲")}));

    // Packing needs the file to itself.
    Table p;
    p.setDatabaseName(dir.path());
    p.setTableName("cgwcr");
    p.setExclusive(true);
    QVERIFY_THROWS_EXCEPTION(DbError, p.open());
    a.close();
    b.close();
    QVERIFY(!p.pack()); // not open
    p.open();
    QVERIFY(p.pack());
    QCOMPARE(p.recordCount(), 1);
    p.close();
    QCOMPARE(DbfFile::open(dir.path(), "cgwcr")->recordCount(), 1);
}

void TestDataset::liveQueryPostsIntoTable()
{
    TempDir dir;
    makePersons(dir.path());
    Table t;
    openPersons(t, dir.path());
    for (int i = 1; i <= 4; ++i)
        addPerson(t, i % 2 ? "2005000001" : "2005000002", i, u("人%1").arg(i));

    Query q;
    q.setDatabaseName(dir.path());
    q.setSql(QStringList{"select *  from  cgwcr  where  item_4=:item_4", "and  item_dqdm=:item_dqdm",
                         "order  by  item_187 desc"});
    q.setParamString("item_4", "2005000001");
    q.setParamString("item_dqdm", ".");
    q.open();
    QVERIFY(q.live());
    QCOMPARE(names(q), QStringList({u("人3"), u("人1")}));
    q.first();
    q.edit();
    q.fieldByName("item_186")->setAsString(u("研究所"));
    q.post();
    QVERIFY(t.locate("item_180", u("人3")));
    QCOMPARE(t.fieldByName("item_186")->asString(), u("研究所"));

    // Appending through a live query stores a row in the table.
    q.append();
    q.fieldByName("item_4")->setAsString("2005000001");
    q.fieldByName("item_180")->setAsString(u("人5"));
    q.post();
    QCOMPARE(q.recordCount(), 3);
    t.first();
    QCOMPARE(t.recordCount(), 5);

    // Computed results are read-only; statements without rows are executed.
    Query m;
    m.setDatabaseName(dir.path());
    m.setSql("select max(item_187) from cgwcr where item_4 like '2005%'");
    m.open();
    QVERIFY(!m.live());
    QCOMPARE(m.field(0)->asInteger(), 4);
    QVERIFY_THROWS_EXCEPTION(DbError, m.edit());
    m.setSql("delete from cgwcr where item_4='2005000002'");
    QVERIFY_THROWS_EXCEPTION(DbError, m.open());
    QCOMPARE(m.execSql(), 2);
    t.first();
    QCOMPARE(t.recordCount(), 3);

    // A row deleted under the query (as a failed operation taken back
    // leaves it) takes no changes out of sight: the post fails.
    QVERIFY(q.locate("item_180", u("人1")));
    QVERIFY(t.locate("item_180", u("人1")));
    t.deleteRecord();
    q.edit();
    q.fieldByName("item_186")->setAsString(u("看不见的修改"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.post());
    q.cancel();
    QVERIFY(!t.locate("item_180", u("人1")));
    QVERIFY(!t.locate("item_186", u("看不见的修改")));
}

void TestDataset::cachedUpdatesApplyAndCancel()
{
    TempDir dir;
    makePersons(dir.path());
    {
        Table t;
        openPersons(t, dir.path());
        addPerson(t, "2005000001", 1, u("甲"));
        addPerson(t, "2005000001", 2, u("乙"));
        addPerson(t, "2005000001", 3, u("丙"));
        addPerson(t, "2005000009", 1, u("别人"));
    }
    Query q;
    q.setDatabaseName(dir.path());
    q.setCachedUpdates(true);
    UpdateSql up;
    up.modifySql = "update cgwcr set ITEM_180=:ITEM_180, ITEM_181=:ITEM_181, ITEM_187=:ITEM_187 "
                   "where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_180=:OLD_ITEM_180 "
                   "and ITEM_187=:OLD_ITEM_187";
    up.insertSql = "insert into cgwcr (ITEM_4, ITEM_DQDM, ITEM_187, ITEM_180, ITEM_181) "
                   "values (:ITEM_4, :ITEM_DQDM, :ITEM_187, :ITEM_180, :ITEM_181)";
    up.deleteSql = "delete from cgwcr where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM "
                   "and ITEM_187=:OLD_ITEM_187 and ITEM_180=:OLD_ITEM_180";
    q.setUpdateObject(up);
    q.setSql("select * from cgwcr where item_4='2005000001' order by item_187");
    q.open();

    auto stored = [&] {
        Query s;
        s.setDatabaseName(dir.path());
        s.setSql("select * from cgwcr where item_4='2005000001' order by item_187");
        s.open();
        return names(s);
    };

    // One change of each kind: modify the first row, delete the second, add one.
    auto change = [&] {
        q.first();
        q.edit();
        q.fieldByName("item_180")->setAsString(u("甲改"));
        q.post();
        q.next();
        q.deleteRecord();
        q.append();
        q.fieldByName("item_4")->setAsString("2005000001");
        q.fieldByName("item_dqdm")->setAsString(".");
        q.fieldByName("item_187")->setAsInteger(4);
        q.fieldByName("item_180")->setAsString(u("丁"));
        q.post();
    };

    // Held back until applied.
    change();
    QVERIFY(q.updatesPending());
    QCOMPARE(names(q), QStringList({u("甲改"), u("丙"), u("丁")}));
    QCOMPARE(stored(), QStringList({u("甲"), u("乙"), u("丙")}));

    // Cancelled: the rows read from the file again.
    q.cancelUpdates();
    QVERIFY(!q.updatesPending());
    QCOMPARE(names(q), QStringList({u("甲"), u("乙"), u("丙")}));

    // Applied: through the three statements.
    change();
    q.applyUpdates();
    QVERIFY(!q.updatesPending());
    QCOMPARE(stored(), QStringList({u("甲改"), u("丙"), u("丁")}));
    QCOMPARE(names(q), QStringList({u("甲改"), u("丙"), u("丁")}));

    // A row changed behind the cache's back is an error, not a silent loss.
    q.first();
    q.edit();
    q.fieldByName("item_180")->setAsString(u("甲三"));
    q.post();
    Query other;
    other.setDatabaseName(dir.path());
    other.setSql(u("update cgwcr set item_180='别名' where item_180='甲改'"));
    QCOMPARE(other.execSql(), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, q.applyUpdates());
    QVERIFY(q.updatesPending());
}

void TestDataset::lookupColumnsAndLabels()
{
    TempDir dir;
    makePersons(dir.path());
    DbfFile::create(dir.path(), "zdxx.dbf", {{"ZDDM", 'C', 10, 0}, {"XXDM", 'C', 3, 0}, {"XXMC", 'C', 60, 0}});
    Query ins;
    ins.setDatabaseName(dir.path());
    for (const char *row : {"('item_181','0','男')", "('item_181','1','女')", "('item_183','1','女士')"}) {
        ins.setSql(u("insert into zdxx (zddm,xxdm,xxmc) values ") + u(row));
        ins.execSql();
    }
    Table sex;
    sex.setDatabaseName(dir.path());
    sex.setTableName("zdxx");
    sex.setFilter("zddm='item_181'");
    sex.setFiltered(true);
    sex.open();

    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName("cgwcr");
    t.setFieldLabel("item_180", u("姓名"));
    t.addLookupField({"V_181", u("性别"), "ITEM_181", &sex, "xxdm", "xxmc"});
    t.open();
    addPerson(t, "2005000001", 1, u("甲"), "1");
    addPerson(t, "2005000001", 2, u("乙"), "0");
    addPerson(t, "2005000001", 3, u("丙"), "");
    t.first();
    Field *v = t.fieldByName("v_181");
    QVERIFY(v->isLookup());
    QCOMPARE(v->displayLabel(), u("性别"));
    QCOMPARE(t.fieldByName("item_180")->displayLabel(), u("姓名"));
    QCOMPARE(v->asString(), u("女"));
    t.next();
    QCOMPARE(v->asString(), u("男"));
    t.next();
    QVERIFY(v->isNull());
    t.edit();
    QVERIFY_THROWS_EXCEPTION(DbError, v->setAsString("x"));
    t.cancel();
}

void TestDataset::controlsNotifications()
{
    TempDir dir;
    makePersons(dir.path());
    Table t;
    openPersons(t, dir.path());
    QSignalSpy resets(&t, &Dataset::layoutReset);
    QSignalSpy updates(&t, &Dataset::rowUpdated);
    t.disableControls();
    for (int i = 1; i <= 20; ++i)
        addPerson(t, "2005000001", i, u("人%1").arg(i));
    for (t.first(); !t.eof(); t.next()) {
        t.edit();
        t.fieldByName("item_186")->setAsString("x");
        t.post();
    }
    QCOMPARE(resets.count(), 0);
    QCOMPARE(updates.count(), 0);
    t.enableControls();
    QCOMPARE(resets.count(), 1);
    t.first();
    t.edit();
    t.fieldByName("item_186")->setAsString("y");
    t.post();
    QCOMPARE(updates.count(), 1);
}

QTEST_MAIN(TestDataset)
#include "tst_dataset.moc"
