#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/sql/Sql.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QtTest>

using namespace db;
using sql::Params;
using sql::SelectResult;

namespace {

Params params(std::initializer_list<std::pair<QString, Value>> list)
{
    Params p;
    for (const auto &[name, v] : list)
        p.set(name, v);
    return p;
}

// The values of one result column as text, in result order.
QStringList column(const SelectResult &r, const QString &name)
{
    int c = -1;
    for (int i = 0; i < r.columns.size(); ++i)
        if (r.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            c = i;
    if (c < 0)
        throw std::runtime_error("no result column " + name.toStdString());
    QStringList out;
    if (r.live)
        for (int rec : r.rows)
            out << r.file->value(rec, r.columns[c].sourceField).toString();
    else
        for (const auto &row : r.values)
            out << row[c].toString();
    return out;
}

QStringList select(const QString &dir, const QString &text, const QString &col, const Params &p = {})
{
    return column(sql::select(dir, text, p), col);
}

// kjcg: achievements as the query builder sees them.
void makeKjcg(const QString &dir)
{
    DbfFile::create(dir, "KJCG.DBF",
                    {{"ITEM_4", 'C', 10, 0}, {"ITEM_CGLB", 'C', 1, 0}, {"ITEM_DQDM", 'C', 6, 0},
                     {"ITEM_2", 'C', 1, 0}, {"ITEM_3", 'C', 40, 0}, {"ITEM_45", 'C', 4, 0}});
    const char *rows[][5] = {
        {"2005000001", "1", "1", "新型复合材料研究", "3"},
        {"2005000002", "1", "1", "材料", "7"},
        {"2004000003", "1", "1", "复合材料", "3"},
        {"2005000004", "2", "2", "计算机软件", "9"},
        {"2005000005", "1", "1", "O''Brien 测试", ""},
        {"2003000006", "1", "1", "材", "1"},
    };
    for (const auto &r : rows)
        QCOMPARE(sql::execute(dir, u("insert into kjcg (item_4,item_cglb,item_dqdm,item_2,item_3,item_45) "
                                     "values ('%1','%2','.','%3','%4','%5')")
                                      .arg(u(r[0]), u(r[1]), u(r[2]), u(r[3]), u(r[4]))),
                 1);
}

// cgwcr: typed columns (numbers, dates, logicals, memos).
void makeCgwcr(const QString &dir)
{
    DbfFile::create(dir, "cgwcr.dbf",
                    {{"ITEM_4", 'C', 10, 0}, {"ITEM_DQDM", 'C', 6, 0}, {"ITEM_180", 'C', 20, 0},
                     {"ITEM_181", 'N', 8, 2}, {"ITEM_187", 'N', 4, 0}, {"ITEM_D", 'D', 8, 0},
                     {"ITEM_L", 'L', 1, 0}, {"ITEM_M", 'M', 10, 0}});
    const QString insert = "insert into cgwcr (ITEM_4, ITEM_DQDM, ITEM_180, ITEM_181, ITEM_187, ITEM_D, ITEM_L, "
                           "ITEM_M) values (:ITEM_4, :ITEM_DQDM, :ITEM_180, :ITEM_181, :ITEM_187, :ITEM_D, "
                           ":ITEM_L, :ITEM_M)";
    struct R
    {
        const char *key, *dq, *name;
        Value amount, seq;
        const char *date, *flag, *memo;
    } rows[] = {
        {"2005000001", ".", "张三", Value::fromNumber(5.5), Value::fromNumber(3), "2005-01-02", "T", "关键词在这里"},
        {"2005000001", ".", "李四", Value::fromNumber(12), Value::fromNumber(1), "2005-03-01", "F", ""},
        {"2005000001", "11", "王五", Value(), Value::fromNumber(2), "", "", "没有"},
        {"2005000002", ".", "", Value::fromNumber(0.3), Value(), "2004-12-31", "Y", ""},
        {"2005000001", ".", "赵六", Value::fromNumber(7), Value::fromNumber(1), "", "", ""},
    };
    for (const R &r : rows)
        QCOMPARE(sql::execute(dir, insert,
                              params({{"item_4", Value::fromString(r.key)},
                                      {"item_dqdm", Value::fromString(r.dq)},
                                      {"item_180", Value::fromString(u(r.name))},
                                      {"item_181", r.amount},
                                      {"item_187", r.seq},
                                      {"item_d", Value::fromString(r.date)},
                                      {"item_l", Value::fromString(r.flag)},
                                      {"item_m", Value::fromString(u(r.memo))}})),
                 1);
}

template<typename F>
QString dbError(F f, bool *syntax = nullptr)
{
    try {
        f();
    } catch (const SqlSyntaxError &e) {
        if (syntax)
            *syntax = true;
        return e.message();
    } catch (const DbError &e) {
        if (syntax)
            *syntax = false;
        return e.message();
    }
    return {};
}

} // namespace

class TestSql : public QObject
{
    Q_OBJECT

private slots:
    void statementTexts();
    void selectFormsOfTheProgram();
    void whereConditions();
    void typedColumnsAndNulls();
    void orderDistinctAndAggregates();
    void insertUpdateDelete();
    void failedStatementsWriteNothing();
    void tableFilters();
    void largeTable();
    void deepNesting();
};

void TestSql::statementTexts()
{
    QVERIFY(sql::returnsRows("select* from unit\nwhere upunitcode = :uncode"));
    QVERIFY(sql::returnsRows("  SELECT max(item_4) from kjcg"));
    QVERIFY(!sql::returnsRows("DELETE FROM kjcg WHERE item_4='2005000001'"));
    QVERIFY(!sql::returnsRows(""));

    QCOMPARE(sql::parameterNames("update cgwcr set ITEM_180=:ITEM_180 where ITEM_4=:OLD_ITEM_4 "
                                 "and ITEM_180=:old_item_180 and item_3 = ':not_a_param' and x=:item_180"),
             QStringList({"ITEM_180", "OLD_ITEM_4", "old_item_180"}));
    QCOMPARE(sql::parameterNames("select * from kjcg"), QStringList());

    TempDir dir;
    makeKjcg(dir.path());
    bool syntax = false;
    const QStringList broken = {
        "select * from kjcg where item_2 '1'",
        "select * from kjcg\n where  (\n item_2 ='1' and ( item_3 like '%a%' or item_45 >'5')",
        "select * from kjcg where item_2 ='1')",
        "select * from kjcg where item_3 = 'unterminated",
        "select * from kjcg where",
        "select from kjcg",
        "select * from kjcg order item_4",
        "delete kjcg where item_4='1'",
        "insert into kjcg (item_4) values ('1'",
        "update kjcg set item_4 'x'",
        "select * from kjcg where item_4 = 1 $",
    };
    for (const QString &text : broken) {
        const QString msg = dbError([&] { sql::select(dir.path(), text); }, &syntax);
        QVERIFY2(syntax && !msg.isEmpty(), qPrintable(text));
    }
    // The message says where.
    QVERIFY(dbError([&] { sql::select(dir.path(), "select * from kjcg\nwhere item_2 '1'"); }).contains(u("第 2 行")));

    // Well-formed statements on a column or table that does not exist are
    // engine errors, not syntax errors.
    QString msg = dbError([&] { sql::select(dir.path(), "select * from kjcg where item_999='1'"); }, &syntax);
    QVERIFY(!syntax);
    QCOMPARE(msg, u("表 KJCG 中没有字段 ITEM_999"));
    msg = dbError([&] { sql::execute(dir.path(), "update kjcg set item_999='1'"); }, &syntax);
    QVERIFY(!syntax && msg.contains("ITEM_999"));
    msg = dbError([&] { sql::select(dir.path(), "select * from nosuch"); }, &syntax);
    QVERIFY(!syntax && msg.contains("nosuch"));
    msg = dbError([&] { sql::select(dir.path(), "select * from kjcg where item_4=:key"); }, &syntax);
    QVERIFY(!syntax && msg.contains(":key") && msg.contains("ITEM_4"));
}

void TestSql::selectFormsOfTheProgram()
{
    TempDir dir;
    makeKjcg(dir.path());
    const QString d = dir.path();

    SelectResult all = sql::select(d, "select * from kjcg");
    QVERIFY(all.live);
    QCOMPARE(all.rows, QVector<int>({0, 1, 2, 3, 4, 5}));
    QCOMPARE(all.columns.size(), 6);
    QCOMPARE(all.columns[4].name, QString("ITEM_3"));
    QCOMPARE(all.columns[4].sourceField, 4);
    QCOMPARE(all.columns[4].length, 40);

    // Table names in any case, with extension or in double quotes.
    for (const QString t : {"Kjcg", "KJCG.dbf", "\"kjcg\"", "kjcg.DBF"})
        QCOMPARE(sql::select(d, "select * from " + t).rows.size(), 6);

    QCOMPARE(select(d, "select * from kjcg where item_cglb='1' and item_4 like '2005%'", "item_4"),
             QStringList({"2005000001", "2005000002", "2005000005"}));
    QCOMPARE(select(d, "select max(item_4) from kjcg where item_4 like'2005%'", "max of item_4"),
             QStringList({"2005000005"}));
    QCOMPARE(select(d, "select * from kjcg where item_4='2005000004'and item_dqdm='.'", "item_3"),
             QStringList({u("计算机软件")}));
    QCOMPARE(select(d, "SELECT * FROM KJCG WHERE ITEM_2='2' OR\r\n\tITEM_45='1'", "item_4"),
             QStringList({"2005000004", "2003000006"}));

    // The unit tree: parameter in a two-line text, max of the children.
    DbfFile::create(d, "unit.dbf", {{"UNITCODE", 'C', 6, 0}, {"UPUNITCODE", 'C', 6, 0}, {"UNITNAME", 'C', 30, 0}});
    for (const char *row : {"'01','','总部'", "'0101','01','一处'", "'0103','01','三处'", "'0102','01','二处'"})
        sql::execute(d, u("insert into unit values (%1)").arg(u(row)));
    const Params up = params({{"uncode", Value::fromString("01")}});
    QCOMPARE(select(d, "select* from unit\nwhere upunitcode = :uncode", "unitname", up),
             QStringList({u("一处"), u("三处"), u("二处")}));
    SelectResult top = sql::select(d, "select   max(unitcode) from   unit\nwhere upunitcode = :uncode", up);
    QVERIFY(!top.live);
    QCOMPARE(top.values.size(), 1);
    QCOMPARE(top.values[0][0].toString(), QString("0103"));
    QCOMPARE(top.columns[0].name, QString("MAX OF UNITCODE"));
    QCOMPARE(top.columns[0].type, 'C');
    // No children yet: one row holding null.
    top = sql::select(d, "select   max(unitcode) from   unit\nwhere upunitcode = :uncode",
                      params({{"uncode", Value::fromString("0101")}}));
    QCOMPARE(top.values.size(), 1);
    QVERIFY(top.values[0][0].isNull());

    // The check list: or on a new line, mixed-case table name.
    DbfFile::create(d, "checkup.dbf", {{"LB", 'C', 1, 0}, {"ZDDM", 'C', 10, 0}});
    for (const char *row : {"'a','item_4'", "'b','item_3'", "'1','item_181'", "'A','item_2'"})
        sql::execute(d, u("insert into checkup (lb, zddm) values (%1)").arg(u(row)));
    QCOMPARE(sql::select(d, "select * from CheckUp").rows.size(), 4);
    QCOMPARE(select(d, "select * from checkup where \nlb='a' or lb='1'", "zddm"),
             QStringList({"item_4", "item_181"}));

    // Plain columns stay live and keep their field.
    SelectResult keys = sql::select(d, "select item_4 from kjcg order by item_4 desc");
    QVERIFY(keys.live);
    QCOMPARE(keys.columns.size(), 1);
    QCOMPARE(keys.columns[0].sourceField, 0);
    QCOMPARE(keys.rows, QVector<int>({4, 3, 1, 0, 2, 5}));
}

void TestSql::whereConditions()
{
    TempDir dir;
    makeKjcg(dir.path());
    const QString d = dir.path();

    // The query builder's text: nested parentheses, not, like on Chinese text.
    QCOMPARE(select(d,
                    u("select * from kjcg\n where  (\n item_2 ='1' and ( item_3 like '%材料%' or not item_45 >'5')\n ) "
                      "and (item_cglb='1' and item_4 like '2005%')"),
                    "item_4"),
             QStringList({"2005000001", "2005000002", "2005000005"}));

    // like: % any run, _ exactly one character, a double-byte character
    // being one.
    const auto like = [&](const char *pattern) {
        return select(d, u("select * from kjcg where item_3 like '%1'").arg(u(pattern)), "item_4");
    };
    QCOMPARE(like("_"), QStringList({"2003000006"}));
    QCOMPARE(like("__"), QStringList({"2005000002"}));
    QCOMPARE(like("_料"), QStringList({"2005000002"}));
    QCOMPARE(like("新型__材料%"), QStringList({"2005000001"}));
    QCOMPARE(like("%复合材料%"), QStringList({"2005000001", "2004000003"}));
    QCOMPARE(like("%材料"), QStringList({"2005000002", "2004000003"}));
    QCOMPARE(like("%"), QStringList({"2005000001", "2005000002", "2004000003", "2005000004", "2005000005", "2003000006"}));
    QCOMPARE(select(d, u("select * from kjcg where item_3 not like '%材%'"), "item_4"),
             QStringList({"2005000004", "2005000005"}));

    // A trail byte that happens to be '_' (0x5F) is part of its character,
    // not a wildcard.
    const QString trap = gbk::decode(QByteArray("\x81\x5F"));
    const QString other = gbk::decode(QByteArray("\x81\x41"));
    QCOMPARE(gbk::encode(trap), QByteArray("\x81\x5F"));
    sql::execute(d, u("insert into kjcg (item_4, item_3) values ('T1', '%1')").arg(other));
    QCOMPARE(like(trap.toUtf8().constData()), QStringList());
    QCOMPARE(like(other.toUtf8().constData()), QStringList({"T1"}));

    // Quotes inside texts.
    QCOMPARE(select(d, "select * from kjcg where item_3 = 'O''Brien 测试'", "item_4"),
             QStringList({"2005000005"}));
    QCOMPARE(select(d, "select * from kjcg where item_3 like 'O''%'", "item_4"), QStringList({"2005000005"}));

    // An escape character makes % and _ stand for themselves; a trail byte
    // equal to the escape character is part of its double-byte character.
    const QString slashTrail = gbk::decode(QByteArray("\x81\x5C"));
    QCOMPARE(gbk::encode(slashTrail), QByteArray("\x81\x5C"));
    for (const QString &row : {u("'P1', '50%_达标") + slashTrail + "'", u("'P2', '50_达标'"), u("'P3', 'x50ab'")})
        sql::execute(d, "insert into kjcg (item_4, item_3) values (" + row + ")");
    const auto escaped = [&](const QString &pattern, const QString &escape) {
        return select(d, u("select * from kjcg where item_3 like '%1' escape '%2'").arg(pattern, escape), "item_4");
    };
    QCOMPARE(escaped(u("%50\\%\\_达标%"), "\\"), QStringList({"P1"}));
    QCOMPARE(escaped(u("%50\\_%"), "\\"), QStringList({"P2"}));
    QCOMPARE(escaped(u("%达标") + slashTrail + "%", "\\"), QStringList({"P1"}));
    QCOMPARE(escaped(u("50!%!_达标") + slashTrail, "!"), QStringList({"P1"})); // no wildcard left
    QCOMPARE(escaped(u("50!%%"), "!"), QStringList({"P1"}));                  // an escaped prefix
    QCOMPARE(select(d, "select * from kjcg where item_3 not like '%!%%' escape '!' and item_4 like 'P%'", "item_4"),
             QStringList({"P2", "P3"}));
    for (const char *bad : {"%", "ab", ""}) {
        bool syntax = false;
        dbError([&] { escaped("%", u(bad)); }, &syntax);
        QVERIFY2(syntax, bad);
    }
    QCOMPARE(sql::execute(d, "delete from kjcg where item_4 like 'P_'"), 3);

    // Text order is byte order of GBK, trailing blanks ignored, case matters.
    QCOMPARE(select(d, "select * from kjcg where item_4 >= '2005000004  ' and item_4 < '2005000005'", "item_4"),
             QStringList({"2005000004"}));
    QCOMPARE(select(d, "select * from kjcg where '2005000002' = item_4", "item_4"), QStringList({"2005000002"}));
    QCOMPARE(select(d, "select * from kjcg where item_3 = 'o''brien 测试'", "item_4"), QStringList());

    // in, is null, constants and column against column.
    QCOMPARE(select(d, "select * from kjcg where item_45 in ('7', '9') ", "item_4"),
             QStringList({"2005000002", "2005000004"}));
    QCOMPARE(select(d, "select * from kjcg where item_45 is null", "item_4"), QStringList({"2005000005", "T1"}));
    QCOMPARE(select(d, "select * from kjcg where item_45 = '' and item_2 is not null", "item_4"),
             QStringList({"2005000005"}));
    QCOMPARE(select(d, "select * from kjcg where item_45 <> '3' and item_4 like '2005%'", "item_4"),
             QStringList({"2005000002", "2005000004", "2005000005"}));
    QCOMPARE(select(d, "select * from kjcg where item_45 > item_2 and 1 = 1", "item_4").size(), 4);
}

void TestSql::typedColumnsAndNulls()
{
    TempDir dir;
    makeCgwcr(dir.path());
    const QString d = dir.path();
    const auto names = [&](const QString &where) {
        return select(d, "select * from cgwcr where " + where, "item_180");
    };

    // Numbers against quoted texts are compared as numbers.
    QCOMPARE(names("item_181 > '5'"), QStringList({u("张三"), u("李四"), u("赵六")}));
    QCOMPARE(names("item_181 > 5.5"), QStringList({u("李四"), u("赵六")}));
    QCOMPARE(names("item_181 = '0.30'"), QStringList({""}));
    QCOMPARE(names("item_187 = '1' and item_181 >= -1"), QStringList({u("李四"), u("赵六")}));
    bool syntax = true;
    const QString msg = dbError([&] { names("item_181 = 'abc'"); }, &syntax);
    QVERIFY(!syntax);
    QVERIFY(msg.contains("ITEM_181") && msg.contains("abc"));

    // A blank number is null: only <> and "is null" hold for it.
    QCOMPARE(names("item_181 < 100"), QStringList({u("张三"), u("李四"), "", u("赵六")}));
    QCOMPARE(names("item_181 <> 7"), QStringList({u("张三"), u("李四"), u("王五"), ""}));
    QCOMPARE(names("item_187 is null"), QStringList({""}));
    QCOMPARE(names("item_181 = ''"), QStringList({u("王五")}));
    // A blank text is the empty text.
    QCOMPARE(names("item_180 = '' and item_180 is null and item_180 < 'a'"), QStringList({""}));

    // Dates: the regional forms of a date text.
    QCOMPARE(names("item_d >= '2005-01-01'"), QStringList({u("张三"), u("李四")}));
    QCOMPARE(names("item_d = '2005/1/2' or item_d = '20041231'"), QStringList({u("张三"), ""}));
    QVERIFY(!dbError([&] { names("item_d = 'yesterday'"); }).isEmpty());
    // Logicals.
    QCOMPARE(names("item_l = 'T'"), QStringList({u("张三"), ""}));
    QCOMPARE(names("item_l = 'F' or item_l is null"), QStringList({u("李四"), u("王五"), u("赵六")}));

    // like reads the memo text.
    QCOMPARE(names(u("item_m like '%关键词%'")), QStringList({u("张三")}));
    QCOMPARE(names("item_m is null"), QStringList({u("李四"), "", u("赵六")}));

    // A null parameter finds blank fields (OLD_ values of empty fields).
    QCOMPARE(select(d, "select * from cgwcr where item_181 = :a and item_180 = :b", "item_4",
                    params({{"a", Value()}, {"b", Value::fromString(u("王五"))}})),
             QStringList({"2005000001"}));
    QCOMPARE(select(d, "select * from cgwcr where item_180 = :b", "item_4", params({{"b", Value()}})),
             QStringList({"2005000002"}));
}

void TestSql::orderDistinctAndAggregates()
{
    TempDir dir;
    makeCgwcr(dir.path());
    const QString d = dir.path();

    // Several keys, asc and desc; ties keep the physical order.
    QCOMPARE(select(d, "select *  from  cgwcr  where  item_4=:item_4\nand  item_dqdm=:item_dqdm\norder  by  item_187 ",
                    "item_180",
                    params({{"item_4", Value::fromString("2005000001")}, {"item_dqdm", Value::fromString(".")}})),
             QStringList({u("李四"), u("赵六"), u("张三")}));
    QCOMPARE(select(d, "select item_180 from cgwcr order by item_187 desc, ITEM_180", "item_180"),
             QStringList({u("张三"), u("王五"), u("李四"), u("赵六"), ""}));
    QCOMPARE(select(d, "select item_180 n from cgwcr order by item_4 desc, 1 asc", "n"),
             QStringList({"", u("李四"), u("王五"), u("张三"), u("赵六")}));
    QVERIFY(!dbError([&] { sql::select(d, "select * from cgwcr order by item_999"); }).isEmpty());

    // distinct: computed rows, in the order asked for.
    SelectResult years = sql::select(d, "select distinct item_4 from cgwcr order by item_4 desc");
    QVERIFY(!years.live);
    QCOMPARE(column(years, "item_4"), QStringList({"2005000002", "2005000001"}));
    QCOMPARE(column(sql::select(d, "select distinct item_4, item_dqdm from cgwcr"), "item_dqdm"),
             QStringList({".", "11", "."}));

    // Aggregates: names, nulls skipped, empty sets.
    SelectResult agg = sql::select(
        d, "select count(*), count(item_181), min(item_181), max(item_d), sum(item_181), avg(item_187) as a "
           "from cgwcr where item_4 = '2005000001'");
    QCOMPARE(agg.values.size(), 1);
    QStringList names;
    for (const auto &c : agg.columns)
        names << c.name;
    QCOMPARE(names, QStringList({"COUNT OF *", "COUNT OF ITEM_181", "MIN OF ITEM_181", "MAX OF ITEM_D",
                                 "SUM OF ITEM_181", "a"}));
    QStringList values;
    for (const Value &v : agg.values[0])
        values << v.toString();
    QCOMPARE(values, QStringList({"4", "3", "5.5", "2005-03-01", "24.5", "1.75"}));
    QCOMPARE(agg.columns[3].type, 'D');

    agg = sql::select(d, "select count(*), max(item_4) from cgwcr where item_4 = 'none'");
    QCOMPARE(agg.values.size(), 1);
    QCOMPARE(agg.values[0][0].toString(), QString("0"));
    QVERIFY(agg.values[0][1].isNull());
    bool syntax = true;
    QVERIFY(!dbError([&] { sql::select(d, "select item_4, max(item_187) from cgwcr"); }, &syntax).isEmpty());
    QVERIFY(!syntax);
}

void TestSql::insertUpdateDelete()
{
    TempDir dir;
    makeKjcg(dir.path());
    makeCgwcr(dir.path());
    const QString d = dir.path();

    // Insert leaves unlisted columns blank.
    DbfFile::create(d, "dwqk.dbf", {{"ITEM_9", 'C', 10, 0}, {"ITEM_420", 'C', 10, 0}, {"ITEM_421", 'N', 5, 1}});
    QCOMPARE(sql::execute(d, "insert into dwqk (item_9,item_420) values ('a','b')"), 1);
    QCOMPARE(sql::execute(d, "insert into DWQK values ('c', 'd', -2.5)"), 1);
    QCOMPARE(sql::execute(d, "update dwqk set item_9='x',item_420='y'"), 2);
    SelectResult all = sql::select(d, "select * from dwqk");
    QCOMPARE(column(all, "item_9"), QStringList({"x", "x"}));
    QCOMPARE(column(all, "item_421"), QStringList({"", "-2.5"}));
    QVERIFY(all.file->isNullField(all.file->record(0), 2));

    // The cached-update statements, with OLD_ parameters (one of them null).
    const QString modify = "update cgwcr set ITEM_180=:ITEM_180, ITEM_181=:ITEM_181 where ITEM_4=:OLD_ITEM_4 and "
                           "ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_180=:OLD_ITEM_180 and ITEM_187=:OLD_ITEM_187";
    Params p = params({{"item_180", Value::fromString(u("王五五"))},
                       {"item_181", Value::fromString("8.25")},
                       {"old_item_4", Value::fromString("2005000001")},
                       {"old_item_dqdm", Value::fromString("11")},
                       {"old_item_180", Value::fromString(u("王五"))},
                       {"old_item_187", Value::fromNumber(2)}});
    QCOMPARE(sql::execute(d, modify, p), 1);
    QCOMPARE(select(d, "select * from cgwcr where item_181 = 8.25", "item_180"), QStringList({u("王五五")}));
    QCOMPARE(sql::execute(d, modify, p), 0); // the old values no longer match
    p = params({{"item_180", Value::fromString("x")},
                {"item_181", Value()},
                {"old_item_4", Value::fromString("2005000002")},
                {"old_item_dqdm", Value::fromString(".")},
                {"old_item_180", Value()},
                {"old_item_187", Value()}});
    QCOMPARE(sql::execute(d, modify, p), 1);
    QCOMPARE(select(d, "select * from cgwcr where item_4 = '2005000002' and item_181 is null", "item_180"),
             QStringList({"x"}));

    // Deletes, and deleted rows are gone for every later statement.
    QCOMPARE(sql::execute(d, "DELETE FROM kjcg WHERE item_4='2005000001'"), 1);
    QCOMPARE(sql::execute(d, "delete from  cgwcr where item_4='2005000001' and item_dqdm='.'"), 3);
    QCOMPARE(sql::execute(d, "delete from  cgwcr where item_4='2005000001' and item_dqdm='.'"), 0);
    QCOMPARE(sql::select(d, "select count(*) from cgwcr").values[0][0].toString(), QString("2"));
    QCOMPARE(sql::execute(d, "update cgwcr set item_180 = 'z' where item_dqdm = '.'"), 1);
    QCOMPARE(select(d, "select distinct item_dqdm from cgwcr order by item_dqdm", "item_dqdm"),
             QStringList({".", "11"}));
    QVERIFY(!sql::select(d, "select * from kjcg").rows.contains(0));
    QCOMPARE(sql::execute(d, "delete from kjcg"), 5);
    QCOMPARE(sql::select(d, "select * from kjcg").rows.size(), 0);

    // The table file is a dBASE file others read: records and flags as written.
    auto file = DbfFile::open(d, "kjcg");
    QCOMPARE(file->recordCount(), 6);
    QVERIFY(file->isDeleted(5));
    QCOMPARE(file->textBytes(file->record(5), 4), gbk::encode(u("材")));

    QVERIFY(!dbError([&] { sql::execute(d, "select * from kjcg"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::select(d, "delete from kjcg"); }).isEmpty());
}

void TestSql::failedStatementsWriteNothing()
{
    TempDir dir;
    makeCgwcr(dir.path());
    const QString d = dir.path();
    const QByteArray before = dir.read("cgwcr.dbf");
    const QByteArray memoBefore = dir.read("cgwcr.dbt");

    bool syntax = true;
    // A number wider than its column, after a memo and other valid values.
    QString msg = dbError(
        [&] { sql::execute(d, u("insert into cgwcr (item_m, item_4, item_187) values ('备注', 'k', 123456)")); },
        &syntax);
    QVERIFY(!syntax && msg.contains("ITEM_187"));
    msg = dbError([&] { sql::execute(d, "insert into cgwcr (item_4, item_181) values ('k', 'abc')"); }, &syntax);
    QVERIFY(!syntax && msg.contains("cgwcr") && msg.contains("ITEM_181"));
    msg = dbError([&] { sql::execute(d, "insert into cgwcr (item_4, item_999) values ('k', '1')"); }, &syntax);
    QCOMPARE(msg, u("表 cgwcr 中没有字段 ITEM_999"));
    QVERIFY(!dbError([&] { sql::execute(d, "insert into cgwcr (item_4, item_dqdm) values ('k')"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::execute(d, "insert into cgwcr (item_4, item_4) values ('k', 'l')"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::execute(d, "insert into cgwcr (item_4) values (:item_4)"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::execute(d, "update cgwcr set item_m = 'x', item_187 = 99999"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::execute(d, "update cgwcr set item_180 = 'x' where item_181 = :missing"); }).isEmpty());
    QVERIFY(!dbError([&] { sql::execute(d, "delete from cgwcr where item_d > 'soon'"); }).isEmpty());

    QCOMPARE(dir.read("cgwcr.dbf"), before);
    QCOMPARE(dir.read("cgwcr.dbt"), memoBefore);
}

void TestSql::tableFilters()
{
    TempDir dir;
    makeCgwcr(dir.path());
    auto file = DbfFile::open(dir.path(), "cgwcr");
    const auto matching = [&](const QString &filter, const Params &p = {}) {
        const sql::Condition c = sql::Condition::compile(filter, *file, p);
        QVector<int> rows;
        for (int r = 0; r < file->recordCount(); ++r)
            if (c.matches(*file, r))
                rows << r;
        return rows;
    };
    QCOMPARE(matching("item_4='2005000001' and item_dqdm='.'"), QVector<int>({0, 1, 4}));
    QCOMPARE(matching(u("item_180='张三' or ITEM_180 = '赵六'")), QVector<int>({0, 4}));
    QCOMPARE(matching("item_4='2005*'"), QVector<int>({0, 1, 2, 3, 4}));
    QCOMPARE(matching("item_4<>'2005000001*'"), QVector<int>({3}));
    QCOMPARE(matching("item_dqdm = :d", params({{"d", Value::fromString("11")}})), QVector<int>({2}));
    QCOMPARE(matching("(item_187 >= 2)"), QVector<int>({0, 2}));

    QVERIFY(sql::Condition::compile("", *file).isEmpty());
    QVERIFY(sql::Condition::compile("  \n", *file).matches(*file, 3));
    QVERIFY(!sql::Condition::compile("item_4='x'", *file).isEmpty());
    bool syntax = false;
    dbError([&] { sql::Condition::compile("item_4='x' and", *file); }, &syntax);
    QVERIFY(syntax);
    dbError([&] { sql::Condition::compile("zddm='item_181'", *file); }, &syntax);
    QVERIFY(!syntax);

    // A condition compiled once holds its parameter values.
    Params p = params({{"k", Value::fromString("2005000002")}});
    const sql::Condition c = sql::Condition::compile("item_4 = :k", *file, p);
    p.set("k", Value::fromString("2005000001"));
    QVERIFY(c.matches(*file, 3) && !c.matches(*file, 0));
}

void TestSql::largeTable()
{
    TempDir dir;
    DbfFile::create(dir.path(), "big.dbf",
                    {{"ITEM_4", 'C', 10, 0}, {"ITEM_DQDM", 'C', 6, 0}, {"ITEM_3", 'C', 60, 0}, {"ITEM_187", 'N', 6, 0}});
    // 100,000 records written straight into the file.
    QByteArray bytes = dir.read("big.dbf");
    bytes.chop(1); // end-of-file mark
    const int count = 100000;
    for (int i = 0; i < count; ++i) {
        QByteArray rec = QByteArray(" ") + QByteArray::number(2005000000 + i) + QByteArray(".     ")
                         + QByteArray(60, ' ') + QByteArray::number(i % 1000).rightJustified(6, ' ');
        bytes += rec;
    }
    bytes += '\x1A';
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = char((count >> (8 * i)) & 0xff);
    dir.write("big.dbf", bytes);

    auto file = DbfFile::open(dir.path(), "big");
    QCOMPARE(file->recordCount(), count);
    const sql::Condition c = sql::Condition::compile("item_4='2005054321' and item_dqdm='.'", *file);
    int found = 0;
    for (int r = 0; r < count; ++r)
        found += c.matches(*file, r);
    QCOMPARE(found, 1);

    const SelectResult r = sql::select(dir.path(), "select * from big where item_4='2005054321'");
    QCOMPARE(r.rows, QVector<int>({54321}));
    QCOMPARE(select(dir.path(), "select max(item_187) from big where item_4 like '200509%'", "max of item_187"),
             QStringList({"999"}));

    // order by is a stable sort: equal keys keep the physical order.
    const SelectResult sorted =
        sql::select(dir.path(), "select item_4 from big where item_4 like '200500%' order by item_187 desc");
    QVector<int> expected;
    for (int v = 999; v >= 0; --v)
        for (int k = 0; k < 10; ++k)
            expected << v + 1000 * k;
    QCOMPARE(sorted.rows, expected);
}

void TestSql::deepNesting()
{
    TempDir dir;
    makeCgwcr(dir.path());
    auto file = DbfFile::open(dir.path(), "cgwcr");
    const QString term = "item_4='2005000001'";
    // Nesting a person would write works, as statement and as filter.
    const QString fifty = QString("(").repeated(50) + term + QString(")").repeated(50);
    QCOMPARE(sql::select(dir.path(), "select * from cgwcr where not not " + fifty).rows, QVector<int>({0, 1, 2, 4}));
    QVERIFY(sql::Condition::compile(fifty, *file).matches(*file, 0));

    // Nesting deep enough to run the parser out of stack is a syntax error.
    for (const QString &deep : {QString("(").repeated(17500) + term + QString(")").repeated(17500),
                                QString("not ").repeated(100000) + term}) {
        bool syntax = false;
        QVERIFY(!dbError([&] { sql::select(dir.path(), "select * from cgwcr where " + deep); }, &syntax).isEmpty());
        QVERIFY(syntax);
        syntax = false;
        QVERIFY(!dbError([&] { sql::execute(dir.path(), "delete from cgwcr where " + deep); }, &syntax).isEmpty());
        QVERIFY(syntax);
        syntax = false;
        QVERIFY(!dbError([&] { sql::Condition::compile(deep, *file); }, &syntax).isEmpty());
        QVERIFY(syntax);
    }
    QCOMPARE(file->recordCount() - file->deletedCount(), 5); // nothing deleted
}

QTEST_MAIN(TestSql)
#include "tst_sql.moc"
