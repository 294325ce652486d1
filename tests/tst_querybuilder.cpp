#include "AppFixture.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "text/Utf8.h"

#include <QtTest>

namespace {

const QStringList kPlainList = {u("新型复合材料"), u("材料工艺"), u("O'Brien 50%_达标"), u("5012达标")};

// The records of kPlainList (category 1, 2005) and two that a query must
// never reach; the field list also names a number and a date field.
void showQueryRecords()
{
    registerUnit();
    const QList<QStringList> records = {
        {"2005000001", "1", kPlainList[0], "1", "120", "2005-03-01", "TP311"},
        {"2005000002", "1", kPlainList[1], "2", "80.5", "2005-07-15", ""},
        {"2005000003", "1", kPlainList[2], "1", "", "", ""},
        {"2005000004", "1", kPlainList[3], "", "", "", ""},
        {"2005000005", "2", u("材料对策"), "1", "", "", ""},
        {"2004000001", "1", u("旧材料"), "1", "", "", ""}};
    for (const QStringList &r : records) {
        addRecord(r[0], r[1], r[2]);
        for (int i = 3; i < r.size(); ++i)
            setRecordField(r[0], QStringList{"ITEM_2", "ITEM_45", "ITEM_121", "ITEM_12"}[i - 3], r[i]);
    }
    for (const auto &[name, column] : {std::pair{u("成果投资"), "item_45"}, {u("登记日期"), "item_121"}}) {
        DM->tblzdxx1->append();
        DM->tblzdxx1->field(0)->setAsString(name);
        DM->tblzdxx1->field(1)->setAsString(column);
        DM->tblzdxx1->post();
    }
    MainForm->show();
}

void chooseField(const QString &name)
{
    MainForm->ComboBox2->setCurrentIndex(MainForm->ComboBox2->findText(name));
    QVERIFY2(MainForm->ComboBox2->currentIndex() >= 0, qPrintable(name));
    MainForm->ComboBox2Change();
}

// 加入 with a typed value, or the item of that code from the value list.
void add(const QString &field, const QString &op, const QString &value)
{
    chooseField(field);
    MainForm->ComboBox4->setCurrentIndex(MainForm->ComboBox4->findText(op));
    QComboBox *list = MainForm->Combobox3;
    if (MainForm->Edit2->isHidden())
        list->setCurrentIndex(value == " " ? list->findText(" ") : list->findText(value + "  ", Qt::MatchStartsWith));
    else
        MainForm->Edit2->setText(value);
    MainForm->SpeedButton24->click();
}

QString condition()
{
    return MainForm->MMSysV->toPlainText();
}

// Runs the condition text, as it stands, and gives the titles listed.
QStringList run(const QString &text = {})
{
    if (!text.isNull())
        MainForm->MMSysV->setPlainText(text);
    MainForm->SpeedButton16->click();
    return listed();
}

} // namespace

class TestQueryBuilder : public QObject
{
    Q_OBJECT

private slots:
    void oneConditionPerKindOfField()
    {
        AppFixture app;
        showQueryRecords();
        const QString plainSql = ListSql;
        add(u("成果名称"), u("包含"), u("材料"));
        QCOMPARE(condition(), u(" item_3 like '%材料%'"));
        QCOMPARE(run(), QStringList({kPlainList[0], kPlainList[1]}));
        QCOMPARE(storedField("kjcg", "NO", "2005000002"), QString("2"));
        QCOMPARE(ListSql, plainSql);

        MainForm->SpeedButton26->click(); // 恢复
        QCOMPARE(listed(), kPlainList);
        QCOMPARE(listed("NO"), QStringList({"1", "2", "3", "4"}));
        QCOMPARE(condition(), QString());

        add(u("成果水平"), "=", "1");
        QCOMPARE(run(), QStringList({kPlainList[0], kPlainList[2]}));
        QCOMPARE(run(" item_45 >'100'"), QStringList({kPlainList[0]}));
        MainForm->MMSysV->clear();
        add(u("登记日期"), ">=", "2005-07-01");
        QCOMPARE(run(), QStringList({kPlainList[1]}));

        // A value that is no number or date stays out of the condition.
        MainForm->MMSysV->clear();
        add(u("成果投资"), "<", "abc");
        QCOMPARE(app.boxes().last().text, u("“成果投资”的查询值'abc'不是数字格式！"));
        add(u("登记日期"), "=", "2005-02-30");
        QVERIFY(app.boxes().last().text.contains(u("不是日期格式")));
        QCOMPARE(condition(), QString());
    }

    void conditionsJoinedAndChecked()
    {
        AppFixture app;
        showQueryRecords();
        add(u("成果名称"), u("包含"), u("材料"));
        MainForm->SpeedButton15->click(); // and
        MainForm->SpeedButton20->click(); // (
        add(u("成果水平"), "=", "2");
        MainForm->SpeedButton18->click(); // or
        MainForm->SpeedButton17->click(); // not
        add(u("成果投资"), "<", "100");
        MainForm->SpeedButton21->click(); // )
        QCOMPARE(condition(), u(" item_3 like '%材料%'and ( item_2 ='2'or not  item_45 <'100')"));
        QCOMPARE(run(), QStringList({kPlainList[0], kPlainList[1]}));

        // Refused conditions leave the list, its numbers and the current record as they were.
        DM->Qrykjcg->last();
        const QString querySql = DM->Qrykjcg->sql();
        const auto unchanged = [&] {
            QCOMPARE(listed("NO"), QStringList({"1", "2"}));
            QCOMPARE(DM->Qrykjcg->sql(), querySql);
            QCOMPARE(DM->Qrykjcg->fieldByName("ITEM_4")->asString(), QString("2005000002"));
        };
        run(u(") item_2 ='1' ("));
        QCOMPARE(app.boxes().last().text, u("您的查询语句含有不正确的的“（”“）”,请修改！"));
        unchanged();
        for (const char *broken : {"( item_2 ='1'", " item_2 ='1')", " item_2 '1'", " item_3 ='a"}) {
            run(u(broken));
            QVERIFY2(app.boxes().last().text.startsWith(u("条件输入有误，请检查\n")), broken);
            unchanged();
        }
        run(" item_2 ='5'");
        QCOMPARE(app.boxes().last().text, u("没找到符合条件的条目,请再输入合适语句!"));
        unchanged();
        run("");
        QCOMPARE(app.boxes().last().text, u("没有条件无法查询!"));
        unchanged();
        // Parentheses inside a value are text.
        QCOMPARE(run(u(" item_3 ='a)b(c' or item_2 ='2'")), QStringList({kPlainList[1]}));
    }

    void valuesStayValues()
    {
        AppFixture app;
        showQueryRecords();
        add(u("成果名称"), u("包含"), u("O'Brien"));
        QCOMPARE(condition(), u(" item_3 like '%O''Brien%'"));
        QCOMPARE(run(), QStringList({kPlainList[2]}));
        MainForm->MMSysV->clear();
        add(u("成果名称"), u("包含"), u("50%_")); // searched for, not wildcards
        QCOMPARE(run(), QStringList({kPlainList[2]}));

        // Nothing of another category or year comes in through a value.
        MainForm->SpeedButton26->click();
        add(u("成果名称"), "=", u("x') or (item_cglb='2' or item_4 like '2004"));
        QCOMPARE(run(), kPlainList);
        QCOMPARE(app.boxes().last().text, u("没找到符合条件的条目,请再输入合适语句!"));

        // An empty value stands for an empty field.
        MainForm->MMSysV->clear();
        add(u("成果水平"), "=", " ");
        QCOMPARE(condition(), u(" item_2 =''"));
        QCOMPARE(run(), QStringList({kPlainList[3]}));
        QCOMPARE(run(" item_45 =''"), QStringList({kPlainList[2], kPlainList[3]}));
    }

    void valueInputFollowsTheField()
    {
        AppFixture app;
        showQueryRecords();
        chooseField(u("成果名称"));
        QVERIFY(!MainForm->Edit2->isHidden() && MainForm->Combobox3->isHidden());
        add(u("单位所在省市"), "=", "11");
        QVERIFY(MainForm->Edit2->isHidden() && MainForm->Combobox3->findText(" ") < 0);
        add(u("隶属部委"), "<>", "301");
        QCOMPARE(MainForm->Combobox3->currentText(), u("301  (外交部)"));
        QCOMPARE(condition(), u(" item_64 ='11' item_63 <>'301'"));

        // A classification, picked from its tree or typed, goes in as its code.
        MainForm->MMSysV->clear();
        add(u("中图分类号"), "=", u("TP311  程序设计、软件工程"));
        QVERIFY(!MainForm->ComboBox5->isHidden() && MainForm->ComboBox6->isHidden());
        QCOMPARE(run(), QStringList({kPlainList[0]}));
        add(u("学科分类号"), "=", "1101410");
        QVERIFY(condition().endsWith(u(" item_15 ='1101410'")));
    }

    void marksLockAndRestore()
    {
        AppFixture app;
        showQueryRecords(); // none of them finished

        // The marks wait for a row click, as at the first showing.
        add(u("成果名称"), u("包含"), u("材料"));
        QCOMPARE(run(), QStringList({kPlainList[0], kPlainList[1]}));
        QVERIFY(MainForm->SectionButton("01")->kind() == ui::BitBtn::bkYes);
        MainForm->DBGrid1CellClick();
        QVERIFY(MainForm->SectionButton("01")->kind() == ui::BitBtn::bkHelp);
        QVERIFY(!MainForm->SpeedButton16->isEnabled() && !MainForm->SpeedButton26->isEnabled());

        // Finished, as its section forms mark it, the record lets the user back to the plain list.
        for (const char *section : {"01", "02", "03", "04", "08"})
            MainForm->SetSectionState(section, true);
        MainForm->UpdateNavigationLock();
        MainForm->SpeedButton26->click();
        QCOMPARE(listed(), kPlainList);
        QCOMPARE(condition(), QString());
    }
};

QTEST_MAIN(TestQueryBuilder)
#include "tst_querybuilder.moc"
