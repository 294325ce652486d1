#include "AppFixture.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QtTest>

namespace {

const QStringList kChildTables = {"cgwcdw", "zlqk", "jdwyhmd", "cgwcr"};

struct Stored : db::Table
{
    explicit Stored(const QString &name) { setDatabaseName(DataDir), setTableName(name), open(); }
};

// "key/region" of every row of a table, in file order.
QStringList keysIn(const QString &table)
{
    Stored t(table);
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName("ITEM_4")->asString() + "/" + t.fieldByName("ITEM_DQDM")->asString();
    return out;
}

QString stored(const QString &key, const QString &field) { return storedField("kjcg", field, key); }

void addChildRows(const QString &key, const QString &region = ".")
{
    for (const QString &name : kChildTables) {
        Stored t(name);
        t.append(), t.fieldByName("ITEM_4")->setAsString(key), t.fieldByName("ITEM_DQDM")->setAsString(region), t.post();
    }
}

QString current(const QString &field = "ITEM_3") { return DM->Qrykjcg->fieldByName(field)->asString(); }

// Opens the dialog as the main window's button does and works it.
void inDialog(AppFixture &app, void (TMainForm::*opener)(), std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    ui::guarded([opener] { (MainForm->*opener)(); });
}

void type(const QString &title, const QString &unit = u("本单位")) { FormNew->edt_3->setText(title), FormNew->edt_9->setText(unit); }

void store() { FormNew->Button1->click(); }

void showWithRecords()
{
    ::showWithRecords({{"2005000001", "1", u("甲材料")}, {"2005000002", "1", u("乙工艺")}, {"2005000007", "2", u("丙对策")}});
}

} // namespace

class TestNewRecord : public QObject
{
    Q_OBJECT

private slots:
    void newRecordLocksUntilFilled()
    {
        AppFixture app;
        addRecord("2005abc", "3", "c"); // a stray key neither stops nor restarts the numbering
        showWithRecords();
        QCOMPARE(listed().size(), 2);
        inDialog(app, &TMainForm::Button6Click, [&] {
            QCOMPARE(FormNew->edt_9->text(), u("本单位"));
            QCOMPARE(FormNew->cbYear->text(), QString("2005"));
            type(u("  丁装置 "));
            store();
            QVERIFY(!FormNew->isVisible());
        });
        // The year's largest key is the soft-science record's: every category counts.
        QCOMPARE(stored("2005000008", "ITEM_3"), u("丁装置"));
        QCOMPARE(stored("2005000008", "ITEM_DQDM"), QString("."));
        QCOMPARE(current() + "/" + current("NO"), u("丁装置/3"));
        for (const char *s : {"01", "02", "03", "04", "05", "07", "08", "09"})
            QCOMPARE(MainForm->SectionButton(s)->kind(), ui::BitBtn::bkHelp);
        QVERIFY(!MainForm->DBGrid1->isEnabled() && !MainForm->Button1->isEnabled());

        // A new year and category.
        inDialog(app, &TMainForm::Button6Click, [] {
            FormNew->ComboBox1->setCurrentIndex(2), FormNew->cbYear->setText("2011"), type(u("戊理论")), store();
        });
        QCOMPARE(stored("2011000001", "ITEM_CGLB"), QString("3"));
        QCOMPARE(listed(), QStringList({u("戊理论")})); // the main window follows

        // The year: digits only while typing, 1900 to 2050 on leaving.
        inDialog(app, &TMainForm::Button6Click, [&] {
            FormNew->cbYear->setText("20x");
            QCOMPARE(app.boxes().last().text, u("不能输入非数字的字符！"));
            QCOMPARE(FormNew->cbYear->text(), QString("20x")); // left as typed
            FormNew->cbYear->setText("199");
            QVERIFY(!ui::guarded([] { FormNew->cbYearExit(); }));
            QCOMPARE(app.boxes().last().text, u("不能输入1900到2050外的年份！"));
            type(u("庚系统"));
            FormNew->cbYear->setText("2004");
            QVERIFY(ui::guarded([] { FormNew->cbYearExit(); }));
            QCOMPARE(MainForm->cbYear->currentText(), QString("2011")); // unchanged until stored
            store();
        });
        QCOMPARE(stored("2004000001", "ITEM_3"), u("庚系统"));

        // Leaving: one of title and unit missing is reported, both asked about.
        inDialog(app, &TMainForm::Button6Click, [&] {
            type(u("只有名称"), "");
            FormNew->Button2->click();
            QCOMPARE(app.boxes().last().text, u("成果第一完成单位不能为空！"));
            QVERIFY(!FormNew->close()); // typed, not stored: the close box is refused
            type(u("己方案"));
            app.boxes().answer(ui::IDCANCEL);
            FormNew->Button2->click();
            QCOMPARE(app.boxes().last().text, u("退出并储存？"));
            QVERIFY(!FormNew->isVisible());
        });
        QCOMPARE(keysIn("kjcg").size(), 7);
    }

    void duplicateTitlesAndQuotes()
    {
        AppFixture app;
        showWithRecords();
        const QString quoted = u("O'Neil的\"方法\"");
        inDialog(app, &TMainForm::Button6Click, [&] { type(quoted), store(); });
        QCOMPARE(stored("2005000008", "ITEM_3"), quoted);

        // New mode: the box, the dialog stays open, nothing stored, the list back.
        inDialog(app, &TMainForm::Button6Click, [&] {
            type(quoted), store();
            QCOMPARE(app.boxes().last().text, u("已有同名项目!"));
            QVERIFY(FormNew->isVisible());
        });
        QCOMPARE(keysIn("kjcg").size(), 4);
        QCOMPARE(listed().size(), 3);

        // Modify mode: taking another record's title stores nothing and closes.
        QVERIFY(DM->Qrykjcg->locate("ITEM_3", quoted));
        inDialog(app, &TMainForm::Button3Click, [] { type(u("甲材料"), u("别的单位")), store(); QVERIFY(!FormNew->isVisible()); });
        QCOMPARE(stored("2005000008", "ITEM_9"), u("本单位"));

        // The quoted title can be modified again; the record keeps its key.
        QVERIFY(DM->Qrykjcg->locate("ITEM_3", quoted));
        inDialog(app, &TMainForm::Button3Click, [&] {
            QCOMPARE(FormNew->edt_3->text(), quoted);
            type(quoted + "'2"), store();
        });
        QCOMPARE(stored("2005000008", "ITEM_3"), quoted + "'2");

        // Two records sharing a title (made elsewhere): modify changes the one
        // that was chosen, and its own title is no duplicate.
        addRecord("2005000009", "1", u("甲材料"));
        MainForm->ComboBox1Change();
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000009"));
        inDialog(app, &TMainForm::Button3Click, [] { type(u("甲材料新"), u("第二单位")), store(); });
        QCOMPARE(stored("2005000001", "ITEM_3"), u("甲材料"));
        QCOMPARE(stored("2005000009", "ITEM_3"), u("甲材料新"));
    }

    void yearChangeMovesChildRows()
    {
        AppFixture app;
        showWithRecords();
        addRecord("2004000001", "1", u("旧年"));
        addChildRows("2005000001"), addChildRows("2005000002"); // another record's rows stay
        MainForm->ComboBox1Change();

        // The title alone: same key, no child row touched.
        inDialog(app, &TMainForm::Button3Click, [] { type(u("甲材料二")), store(); });
        QCOMPARE(stored("2005000001", "ITEM_3"), u("甲材料二"));
        for (const QString &t : kChildTables)
            QCOMPARE(keysIn(t), QStringList({"2005000001/.", "2005000002/."}));

        // Another year: a new key of that year, the children follow with region ".".
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
        inDialog(app, &TMainForm::Button3Click, [] { FormNew->cbYear->setText("2004"); store(); });
        QCOMPARE(stored("2004000002", "ITEM_3"), u("甲材料二"));
        for (const QString &t : kChildTables)
            QCOMPARE(keysIn(t), QStringList({"2004000002/.", "2005000002/."}));
        QCOMPARE(MainForm->cbYear->currentText() + "/" + current(), u("2004/甲材料二"));

        // A record of another region moves its own rows, not those of ".".
        addRecord("2003000001", "1", u("外地")), setRecordField("2003000001", "ITEM_DQDM", "A1");
        addChildRows("2003000001", "A1"), addChildRows("2003000001", ".");
        MainForm->cbYear->setEditText("2003");
        inDialog(app, &TMainForm::Button3Click, [] { FormNew->cbYear->setText("2006"); store(); });
        QCOMPARE(stored("2006000001", "ITEM_DQDM"), QString("."));
        QVERIFY(keysIn("cgwcr").contains("2006000001/.") && keysIn("cgwcr").contains("2003000001/."));
    }

    void categorySwitchClearsOtherFields()
    {
        AppFixture app;
        showWithRecords();
        const QStringList appliedOnly = {"ITEM_123", "ITEM_124_1", "ITEM_16", "ITEM_33", "ITEM_32", "ITEM_32_1", "ITEM_125_1"};
        const QStringList otherOnly = {"ITEM_210", "ITEM_200"};
        const auto fillAll = [&](const QString &key, const QString &form) {
            for (const QString &f : appliedOnly + otherOnly + QStringList{"ITEM_2"})
                setRecordField(key, f, "1");
            setRecordField(key, "ITEM_21", form);
        };
        // form before → form after, going to soft science and back to applied technology.
        const QList<std::tuple<QString, int, QStringList, QString, QString>> cases = {
            {"4", 1, appliedOnly, "4", "2005000001"}, {"9", 1, appliedOnly, "9", "2005000001"},
            {"1", 1, appliedOnly, "", "2005000001"},  {"7", 0, otherOnly, "7", "2005000007"},
            {"4", 0, otherOnly, "", "2005000007"},
        };
        for (const auto &[form, category, cleared, kept, key] : cases) {
            fillAll(key, form);
            MainForm->ComboBox1->setCurrentIndex(category == 1 ? 0 : 1);
            MainForm->ComboBox1Change();
            QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
            inDialog(app, &TMainForm::Button3Click, [c = category] { FormNew->ComboBox1->setCurrentIndex(c), store(); });
            for (const QString &f : appliedOnly + otherOnly + QStringList{"ITEM_2"})
                QCOMPARE(stored(key, f), cleared.contains(f) ? QString() : QString("1"));
            QCOMPARE(stored(key, "ITEM_21"), kept);
            QCOMPARE(stored(key, "ITEM_CGLB"), QString::number(category + 1));
            setRecordField(key, "ITEM_CGLB", category == 1 ? "1" : "2");
        }
    }

    void deleteRemovesRecordAndChildren()
    {
        AppFixture app;
        showWithRecords();
        addRecord("2005000003", "1", u("外地同号")), setRecordField("2005000003", "ITEM_DQDM", "B2");
        addRecord("2005000003", "1", u("丁装置"));
        for (const char *key : {"2005000001", "2005000002", "2005000003"})
            addChildRows(key);
        addChildRows("2005000003", "B2");
        MainForm->ComboBox1Change();

        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000002"));
        MainForm->Button4->click();
        QCOMPARE(app.boxes().last().text, u("是否删除'乙工艺'项目?"));
        QCOMPARE(listed("NO"), QStringList({"1", "2", "3"}));
        QCOMPARE(current(), u("外地同号")); // the one that took number 2
        for (const QString &t : kChildTables)
            QCOMPARE(keysIn(t), QStringList({"2005000001/.", "2005000003/.", "2005000003/B2"}));

        // The last row: the list goes back to its first row; the record and the
        // rows of the other region with the same key stay.
        DM->Qrykjcg->last();
        MainForm->Button4Click();
        QCOMPARE(listed(), QStringList({u("甲材料"), u("外地同号")}));
        QCOMPARE(current(), u("甲材料"));
        for (const QString &t : kChildTables)
            QCOMPARE(keysIn(t), QStringList({"2005000001/.", "2005000003/B2"}));
    }
};

QTEST_MAIN(TestNewRecord)
#include "tst_newrecord.moc"
