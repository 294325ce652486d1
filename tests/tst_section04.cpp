#include "AppFixture.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage4.h"
#include "dw_Unit.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QtTest>

namespace {

// Column (lower case) → the text stored, or the code of a list, or the
// conversion mark "1"/"0".
using Fields = QMap<QString, QString>;

const Fields kFirstUnit = {{"item_9", u("示范材料研究院")}, {"item_420", "12345678-9"}, {"item_37", u("北京市海淀区一号")},
                            {"item_38", "100080"}, {"item_39", "010-12345678"}, {"item_40", "010-87654321"},
                            {"item_60", "www.example.cn"}, {"item_41", u("张三")}, {"item_41_2", "13900000000"},
                            {"item_61", "zs@example.cn"}, {"item_62", "3"}, {"item_41_3", "05"}, {"item_64", "11"},
                            {"item_63", "304"}, {"item_163", "1"}};

QList<std::pair<const char *, QLineEdit *>> edits(const UnitDataControls &c)
{
    return {{"item_9", c.name},    {"item_420", c.legalCode}, {"item_37", c.address}, {"item_38", c.postcode},
            {"item_39", c.phone},  {"item_40", c.fax},        {"item_60", c.website}, {"item_41", c.contact},
            {"item_41_2", c.contactPhone}, {"item_61", c.email}};
}

QList<std::pair<const char *, QComboBox *>> lists(const UnitDataControls &c)
{
    return {{"item_62", c.type}, {"item_41_3", c.ownership}, {"item_64", c.province}, {"item_63", c.ministry}};
}

void select(QComboBox *combo, const QString &code)
{
    combo->setCurrentIndex(code.isEmpty() ? combo->findText(" ") : combo->findText(code + "  ", Qt::MatchStartsWith));
}

// As a user chooses: the list's own signal, so the window's handler runs.
void choose(QComboBox *combo, const QString &code)
{
    select(combo, code);
    emit combo->activated(combo->currentIndex());
}

void fill(const UnitDataControls &c, const Fields &values)
{
    for (const auto &[column, edit] : edits(c))
        edit->setText(values.value(column));
    choose(c.type, values.value("item_62"));
    for (const auto &[column, combo] : lists(c))
        if (combo != c.type)
            select(combo, values.value(column));
    c.converted->setChecked(values.value("item_163") == "1");
}

Fields shown(const UnitDataControls &c)
{
    Fields out;
    for (const auto &[column, edit] : edits(c))
        out[column] = edit->text();
    for (const auto &[column, combo] : lists(c))
        out[column] = ComboCode(combo, 3);
    out["item_163"] = c.converted->isChecked() ? "1" : "0";
    return out;
}

Fields stored(const QString &table, const Fields &columns, const QString &key = {})
{
    Fields out;
    for (auto it = columns.begin(); it != columns.end(); ++it)
        out[it.key()] = storedField(table, it.key(), key);
    return out;
}

int rowCount(const QString &table)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    return t.recordCount();
}

QByteArray fileBytes(const char *table)
{
    QFile f(db::DbfFile::findFile(DataDir, table));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void openSection(AppFixture &app, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    MainForm->btn_page04->click();
}

// Section 04's "设置单位基本情况" (a hidden button) with the basic-data window worked by script.
void openBasicData(AppFixture &app, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    Fpage4->Button2->click();
}

void showRecord(const QString &key)
{
    showWithRecords({{key, "1", u("新型材料")}});
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
}

// dwqk as an older program left it: no column item_61, holding rows of names.
void replaceBasicDataTable(const QStringList &names)
{
    DM->Qrydwqk->close();
    const QString path = db::DbfFile::findFile(DataDir, "dwqk");
    db::DbfFile::forget(path);
    QVERIFY(QFile::remove(path));
    QVector<db::ColumnDef> columns = tableSchema("dwqk")->columns;
    columns.removeIf([](const db::ColumnDef &c) { return c.name.compare("item_61", Qt::CaseInsensitive) == 0; });
    db::DbfFile::create(DataDir, "dwqk.dbf", columns);
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("dwqk");
    t.open();
    for (const QString &name : names) {
        t.append();
        t.fieldByName("item_9")->setAsString(name);
        t.post();
    }
    t.close();
    DM->Qrydwqk->open();
}

} // namespace

class TestSection04 : public QObject
{
    Q_OBJECT

private slots:
    void savesAndReloadsEveryField();
    void ownUnitPrefillsTheSection();
    void checksInOrderStoreNothing();
    void basicDataInsertedThenUpdated();
    void basicDataStatementFailureKeepsTable();
};

void TestSection04::savesAndReloadsEveryField()
{
    AppFixture app;
    const QString key = "2005000001";
    showRecord(key);
    openSection(app, [&] {
        QCOMPARE(Fpage4->windowTitle(), u("成果名称：新型材料"));
        QCOMPARE(Fpage4->Edt_9->text(), u("第一完成单位"));
        QVERIFY(!Fpage4->CB_41_3->isEnabled() && !Fpage4->cb_163->isEnabled());
        fill(Fpage4->controls(), kFirstUnit);
        QVERIFY(Fpage4->CB_41_3->isEnabled() && Fpage4->cb_163->isEnabled()); // an enterprise
        Fpage4->btnSave01Click();
        Fpage4->quit01Click(); // stored as shown: no question
        QVERIFY(!Fpage4->isVisible());
    });
    QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
    QCOMPARE(stored("kjcg", kFirstUnit, key), kFirstUnit);
    QCOMPARE(MainForm->btn_page04->kind(), ui::BitBtn::bkYes);
    QCOMPARE(MainForm->btn_page04->text(), u("第一完成单位情况"));

    app.boxes().clear();
    openSection(app, [&] {
        QCOMPARE(shown(Fpage4->controls()), kFirstUnit);
        QCOMPARE(Fpage4->cb_63->currentText(), u("304  (教育部)"));
        QVERIFY(Fpage4->IsUnchanged());
        // No longer an enterprise: ownership and conversion go with it.
        choose(Fpage4->cb_62, "1");
        QVERIFY(!Fpage4->cb_163->isChecked() && !Fpage4->cb_163->isEnabled());
        QVERIFY(Fpage4->CB_41_3->count() == 0 && !Fpage4->CB_41_3->isEnabled());
        select(Fpage4->cb_63, ""); // the blank item: no ministry
        QVERIFY(!Fpage4->IsUnchanged());
        Fpage4->btnSave01Click();
    });
    Fields other = kFirstUnit;
    other["item_62"] = "1", other["item_41_3"] = "", other["item_163"] = "", other["item_63"] = "";
    QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
    QCOMPARE(stored("kjcg", other, key), other);
}

void TestSection04::ownUnitPrefillsTheSection()
{
    AppFixture app;
    const QString key = "2005000001";
    registerUnit(); // named 本单位
    Fields profile = kFirstUnit;
    profile["item_9"] = u("本单位"), profile["item_41_3"] = "02";
    db::Table *unit = DM->Tblunit;
    unit->edit();
    for (auto it = profile.begin(); it != profile.end(); ++it)
        if (it.key() != "item_63")
            unit->fieldByName(it.key())->setAsString(it.key() == "item_163" ? "0" : it.value());
    unit->post();
    addRecord(key, "1", u("新型材料"));
    for (const auto &[field, value] : {std::pair{"ITEM_9", u("本单位")}, {"ITEM_37", u("上海市别处")},
                                       {"ITEM_63", u("301")}, {"ITEM_163", u("1")}})
        setRecordField(key, field, value);
    MainForm->show();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));

    // The profile's values (the ministry and the conversion mark are the
    // record's), which differ from the record: leaving asks, Yes stores them.
    Fields expected = profile;
    expected["item_63"] = "301", expected["item_163"] = "1";
    openSection(app, [&] {
        QCOMPARE(shown(Fpage4->controls()), expected);
        QVERIFY(Fpage4->CB_41_3->isEnabled() && Fpage4->cb_163->isEnabled());
        Fpage4->quit01Click();
        QVERIFY(!Fpage4->isVisible());
    });
    QCOMPARE(app.boxes().texts(), QStringList({u("记录已经更改,是否保存？"), u("存储成功！")}));
    QCOMPARE(app.boxes().requests().first().caption, u("请注意！"));
    QCOMPARE(stored("kjcg", expected, key), expected);
    QCOMPARE(storedField("unit", "item_163"), QString("0")); // the profile is never written here
}

void TestSection04::checksInOrderStoreNothing()
{
    AppFixture app;
    const QString key = "2005000001";
    showRecord(key);
    struct Check { const char *message; std::function<void()> breaks; };
    const QList<Check> checks = {
        {"\"单位名称\"不能为空！", [] { Fpage4->Edt_9->setText("  "); }},
        {"\"通讯地址\"不能为空！", [] { Fpage4->Edt_37->clear(); }},
        {"\"邮政编码\"不能为空！", [] { Fpage4->Edt_38->clear(); }},
        {"\"单位属性\"不能为空！", [] { Fpage4->cb_62->setCurrentIndex(-1); }},
        {"\"企业所有制属性\"不能为空！", [] { Fpage4->CB_41_3->setCurrentIndex(-1); }},
        {"\"单位所在省市\"不能为空！", [] { Fpage4->cb_64->setCurrentIndex(-1); }},
        {"\"联系人\"不能为空！", [] { Fpage4->Edt_41->clear(); }},
        {"\"联系人电话\"不能为空！", [] { Fpage4->Edt_41_2->clear(); }},
    };
    const QByteArray before = fileBytes("kjcg.dbf");
    openSection(app, [&] {
        for (int step = 0; step < checks.size(); ++step) {
            fill(Fpage4->controls(), kFirstUnit);
            for (int later = step; later < checks.size(); ++later)
                checks[later].breaks();
            app.boxes().clear();
            QVERIFY(!ui::guarded([] { Fpage4->btnSave01Click(); }));
            // Leaving runs the same checks and keeps the form open.
            QVERIFY(!ui::guarded([] { Fpage4->quit01Click(); }));
            QVERIFY(Fpage4->isVisible());
            QCOMPARE(app.boxes().texts(), QStringList({u(checks[step].message), u(checks[step].message)}));
        }
        fill(Fpage4->controls(), kFirstUnit);
        Fpage4->btnSave01Click();
    });
    QVERIFY(fileBytes("kjcg.dbf") != before);

    // A stored record without a contact cannot be left, though nothing changed.
    setRecordField(key, "ITEM_41", "");
    MainForm->RefreshRecordList();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
    const QByteArray saved = fileBytes("kjcg.dbf");
    app.boxes().clear();
    openSection(app, [&] {
        QVERIFY(!ui::guarded([] { Fpage4->quit01Click(); }));
        QVERIFY(Fpage4->isVisible());
        Fpage4->Edt_41->setText(u("李四"));
        app.boxes().answer(ui::IDNO);
        Fpage4->quit01Click(); // typed, not stored
        QVERIFY(!Fpage4->isVisible());
    });
    QCOMPARE(app.boxes().texts(), QStringList({u("\"联系人\"不能为空！"), u("记录已经更改,是否保存？")}));
    QCOMPARE(fileBytes("kjcg.dbf"), saved);
}

void TestSection04::basicDataInsertedThenUpdated()
{
    AppFixture app;
    const QString key = "2005000001";
    showRecord(key);
    Fields basic = kFirstUnit;
    basic["item_9"] = u("示范研究所"), basic["item_41_3"] = "07";

    openSection(app, [&] {
        Fpage4->Button1Click(); // nothing set yet
        QCOMPARE(app.boxes().last().text, u("本单位情况还没设置，请先设置单位基本情况"));
        QCOMPARE(app.boxes().last().caption, u("提示信息"));
        QCOMPARE(app.boxes().last().icon(), ui::MB_ICONINFORMATION);
        QCOMPARE(Fpage4->Edt_9->text(), u("第一完成单位"));

        openBasicData(app, [&] {
            QCOMPARE(dw_Form->windowTitle(), u("单位情况"));
            QCOMPARE(shown(dw_Form->controls())["item_9"], QString());
            dw_Form->close(); // the close box leaves through 退出: empty, it cannot be left
            QVERIFY(dw_Form->isVisible());
            QCOMPARE(app.boxes().last().text, u("\"单位名称\"不能为空！"));
            fill(dw_Form->controls(), basic);
            dw_Form->cb_41_3->setCurrentIndex(-1);
            app.boxes().clear();
            QVERIFY(!ui::guarded([] { dw_Form->Button1Click(); }));
            QCOMPARE(app.boxes().texts(), QStringList{u("\"企业所有制属性\"不能为空！")});
            select(dw_Form->cb_41_3, "07");
            dw_Form->Button1->click();
            QVERIFY(!dw_Form->isVisible());
        });
        QCOMPARE(app.boxes().texts(), QStringList({u("\"企业所有制属性\"不能为空！"), u("存储成功！")}));
        // The stored row reached the section.
        QCOMPARE(shown(Fpage4->controls()), basic);
        QVERIFY(Fpage4->CB_41_3->isEnabled() && Fpage4->cb_163->isEnabled());
        Fpage4->btnSave01Click();
    });
    QCOMPARE(rowCount("dwqk"), 1);
    QCOMPARE(stored("dwqk", basic), basic);
    QCOMPARE(stored("kjcg", basic, key), basic);

    // Shown again from the row; a quoted name and no enterprise, left with
    // Yes: the same row rewritten.
    Fields second = basic;
    second["item_9"] = "O'Neil 'Lab'", second["item_62"] = "1", second["item_41_3"] = "", second["item_163"] = "0";
    app.boxes().clear();
    openSection(app, [&] {
        openBasicData(app, [&] {
            QCOMPARE(shown(dw_Form->controls()), basic);
            QVERIFY(dw_Form->IsUnchanged());
            dw_Form->Edt_9->setText(second["item_9"]);
            choose(dw_Form->cb_62, "1");
            QVERIFY(!dw_Form->cb_163->isChecked() && !dw_Form->cb_41_3->isEnabled());
            dw_Form->Button2->click(); // 记录已经更改: Yes stores
            QVERIFY(!dw_Form->isVisible());
        });
        QCOMPARE(Fpage4->Edt_9->text(), second["item_9"]);
        QVERIFY(!Fpage4->CB_41_3->isEnabled() && !Fpage4->cb_163->isEnabled());
        Fpage4->btnSave01Click();
    });
    QCOMPARE(app.boxes().texts(), QStringList({u("记录已经更改,是否保存？"), u("存储成功！"), u("存储成功！")}));
    QCOMPARE(rowCount("dwqk"), 1);
    QCOMPARE(stored("dwqk", second), second);
    QCOMPARE(storedField("kjcg", "ITEM_9", key), second["item_9"]);
    QCOMPARE(storedField("kjcg", "ITEM_163", key), QString());

    // Unchanged: left at once.
    app.boxes().clear();
    openSection(app, [&] {
        openBasicData(app, [] { dw_Form->Button2->click(); });
        Fpage4->quit01Click();
    });
    QCOMPARE(app.boxes().count(), 0);
    QCOMPARE(app.modals().shown().count("Tdw_Form"), 3);
}

void TestSection04::basicDataStatementFailureKeepsTable()
{
    AppFixture app;
    showRecord("2005000001");
    dw_Form->FormShow(); // lists filled while the table is sound
    replaceBasicDataTable({});
    const auto failingSave = [&](const QByteArray &before) {
        fill(dw_Form->controls(), kFirstUnit);
        app.boxes().clear();
        QVERIFY(!ui::guarded([] { dw_Form->Button1Click(); }));
            QCOMPARE(app.boxes().count(), 1);
        QCOMPARE(app.boxes().last().icon(), ui::MB_ICONSTOP);
        QVERIFY2(app.boxes().last().text.contains("ITEM_61", Qt::CaseInsensitive), qPrintable(app.boxes().last().text));
        QCOMPARE(fileBytes("dwqk.dbf"), before);
        QCOMPARE(shown(dw_Form->controls()), kFirstUnit); // what was typed stays
        QVERIFY(DM->Qrydwqk->active());
        QCOMPARE(DM->Qrydwqk->sql(), QString("select * from dwqk"));
    };

    // The window reports the row it cannot read instead of showing.
    openSection(app, [&] {
        Fpage4->Button2Click();
        QVERIFY(app.boxes().last().text.startsWith(u("读入数据时出错,请到本单位情况设置中修改:")));
        QVERIFY(app.boxes().last().text.contains("item_61", Qt::CaseInsensitive));
    });
    QVERIFY(!app.modals().shown().contains("Tdw_Form"));

    failingSave(fileBytes("dwqk.dbf")); // the insert
    QCOMPARE(rowCount("dwqk"), 0);
    replaceBasicDataTable({u("旧名称")});
    failingSave(fileBytes("dwqk.dbf")); // the update
    QCOMPARE(storedField("dwqk", "item_9"), u("旧名称"));
}

QTEST_MAIN(TestSection04)
#include "tst_section04.moc"
