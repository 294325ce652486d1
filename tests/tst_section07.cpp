#include "AppFixture.h"
#include "Captions.h"
#include "AppInfo.h"
#include "Finto7Unit.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage7.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QStyledItemDelegate>
#include <QtTest>

namespace {

const QString kKey = "2005000001";
const QString kChair = u("主任委员");
const QString kVice = u("副主任委员");
const QString kMember = u("委员");
const QString kOneChair = u("只能有一个主任委员");

void addMember(const QString &key, const QString &region, int sequence, const QString &post, const QString &name)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("jdwyhmd");
    t.open();
    t.append();
    for (const auto &[field, value] : {std::pair{"ITEM_4", key}, {"ITEM_DQDM", region},
                                       {"ITEM_190", QString::number(sequence)}, {"ITEM_191", post},
                                       {"ITEM_192", name}, {"ITEM_193", "0"}, {"ITEM_198", "2"},
                                       {"ITEM_199", u("教授")}})
        t.fieldByName(field)->setAsString(value);
    t.post();
}

// Every stored row as "key|region|190|191|192|193|194|195|196|197|198|199", in file order.
QStringList storedMembers()
{
    return storedRows("jdwyhmd", {"ITEM_4", "ITEM_DQDM", "ITEM_190", "ITEM_191", "ITEM_192", "ITEM_193", "ITEM_194",
                                  "ITEM_195", "ITEM_196", "ITEM_197", "ITEM_198", "ITEM_199"});
}

QStringList othersStored()
{
    QStringList rows = storedMembers();
    rows.removeIf([](const QString &r) { return r.startsWith(kKey + "|.|"); });
    return rows;
}

// "序号 post name" of every row the list shows, in list order.
QStringList listed7()
{
    QStringList out;
    db::Query *q = DM->QryJdwyhmd;
    for (int r = 0; r < q->rowCount(); ++r) {
        QStringList cells;
        for (const char *f : {"item_190", "item_191", "item_192"})
            cells << q->rowValue(r, q->fieldByName(f)->index()).toString();
        out << cells.join(' ');
    }
    return out;
}

// The text the grid shows in the row's cell of the column titled title.
QString gridText(int row, const QString &title)
{
    QAbstractItemModel *model = Fpage7->DBGrid3->model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
        {
            const QModelIndex cell = model->index(row, c);
            auto *delegate = qobject_cast<QStyledItemDelegate *>(Fpage7->DBGrid3->itemDelegateForIndex(cell));
            return delegate->displayText(cell.data(), QLocale());
        }
    return "<no column>";
}

void inWindow(AppFixture &app, QAbstractButton *button, std::function<void()> work)
{
    app.modals().then([work](QDialog *) { work(); });
    button->click();
}

// The user chooses a post from the list.
void choosePost(const QString &post)
{
    const int index = Finto7->cbwy_191->findText(post);
    Finto7->cbwy_191->setCurrentIndex(index);
    emit Finto7->cbwy_191->activated(index);
}

void addThroughDialog(AppFixture &app, const QString &post, const QString &name)
{
    inWindow(app, Fpage7->Button2, [post, name] {
        Finto7->Edtwy_192->setText(name);
        choosePost(post);
        Finto7->Button1->click();
    });
}

} // namespace

class TestSection07 : public QObject
{
    Q_OBJECT

private slots:
    void membersListedByPostAndRenumbered();
    void oneChairOnly();
    void requiredEntriesOnStoreAndLeave();
    void openingMarkAndLock();
    void gridShowsWholeEntries();
};

void TestSection07::membersListedByPostAndRenumbered()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}, {"2005000002", "1", u("其他成果")}});
    addMember("2005000002", ".", 1, kChair, u("别人"));
    addMember(kKey, "110", 1, kMember, u("外地委员"));
    const QStringList others = othersStored();

    inWindow(app, MainForm->btn_page07, [&] {
        QCOMPARE(Fpage7->size(), QSize(800, 600));
        QCOMPARE(Fpage7->windowTitle(), u("成果名称：新型材料"));
        inWindow(app, Fpage7->Button2, [] {
            QCOMPARE(Finto7->windowTitle(), u("新增－－【评价委员会名单】"));
            // A new member: 委员, the first sex, the second title.
            QCOMPARE(Finto7->cbwy_191->currentText(), kMember);
            QCOMPARE(Finto7->cbwy_193->currentText(), u("0  男"));
            QCOMPARE(Finto7->cbwy_198->currentText(), u("2  正高"));
            QCOMPARE(Finto7->edt_190->text(), "1");
            Finto7->Edtwy_192->setText(u(" 张三"));
            Finto7->edtwy_195->setText(u("北京大学 "));
            Finto7->edtwy_196->setText(u("化学"));
            Finto7->edtwy_197->setText(u("材料"));
            Finto7->cbwy_193->setCurrentIndex(1);
            Finto7->cbwy_198->setCurrentIndex(Finto7->cbwy_198->count() - 1); // the blank title
            Finto7->Button1->click();
            QVERIFY(!Finto7->isVisible());
            // What a stored new member leaves: the entries of a new one.
            QVERIFY(Finto7->Edtwy_192->text().isEmpty() && Finto7->cbwy_193->currentIndex() == 0);
        });
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        QCOMPARE(storedMembers().last(), u("2005000001|.|1|委员| 张三|1|3|北京大学|化学|材料||"));
        addThroughDialog(app, kChair, u("李四"));
        addThroughDialog(app, kVice, u("王五"));
        addThroughDialog(app, kMember, u("赵六"));
        QCOMPARE(listed7(), QStringList({u("1 主任委员 李四"), u("2 副主任委员 王五"), u("3 委员  张三"),
                                         u("4 委员 赵六")}));
        // The grid names the codes; an empty title stays empty.
        QCOMPARE(gridText(2, u("性别")), u("  女"));
        QCOMPARE(gridText(2, u("职称")), QString());
        QCOMPARE(gridText(0, u("职称")), u("  正高"));
        QCOMPARE(gridText(0, u("技术职称")), u("正高"));

        // A member made vice-chair moves up among the vice-chairs.
        QVERIFY(DM->QryJdwyhmd->locate("item_192", u("赵六")));
        inWindow(app, Fpage7->btnSave01, [] {
            QCOMPARE(Finto7->windowTitle(), u("修改－－【评价委员会名单】"));
            QCOMPARE(Finto7->Edtwy_192->text(), u("赵六"));
            QCOMPARE(Finto7->cbwy_191->currentText(), kMember);
            choosePost(kVice);
            Finto7->Button1->click();
        });
        QCOMPARE(listed7(), QStringList({u("1 主任委员 李四"), u("2 副主任委员 王五"), u("3 副主任委员 赵六"),
                                         u("4 委员  张三")}));

        // Deleting the chair renumbers the others from 1 in rank order.
        DM->QryJdwyhmd->first();
        Fpage7->Button1Click();
        QCOMPARE(listed7(), QStringList({u("1 副主任委员 王五"), u("2 副主任委员 赵六"), u("3 委员  张三")}));
        QCOMPARE(DM->QryJdwyhmd->fieldByName("item_192")->asString(), u("王五"));
        Fpage7->quit01Click();
    });
    QCOMPARE(othersStored(), others);

    // A list changed through the update statements reaches this record's
    // row only, not the same key and number of another region.
    addMember(kKey, "110", 1, kMember, u("王五"));
    db::Query *list = DM->QryJdwyhmd;
    list->setSql("select * from jdwyhmd where item_dqdm='.'");
    list->setCachedUpdates(true);
    list->open();
    QVERIFY(list->locate("item_192", u("王五")));
    list->edit();
    list->fieldByName("item_196")->setAsString(u("物理"));
    list->post();
    list->applyUpdates();
    QVERIFY(storedMembers().contains(u("2005000001|110|1|委员|王五|0|||||2|教授")));
    QVERIFY(storedMembers().contains(u("2005000001|.|1|副主任委员|王五|0|2||物理||2|")));
}

void TestSection07::oneChairOnly()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    addMember(kKey, ".", 1, kChair, u("李四"));
    addMember(kKey, ".", 2, kMember, u("王五"));
    inWindow(app, MainForm->btn_page07, [&] {
        // A second chair is refused; the post falls back to 委员.
        inWindow(app, Fpage7->Button2, [&] {
            Finto7->Edtwy_192->setText(u("张三"));
            choosePost(kChair);
            QCOMPARE(app.boxes().last().text, kOneChair);
            QCOMPARE(app.boxes().last().caption, applicationTitle());
            QCOMPARE(Finto7->cbwy_191->currentText(), kMember);
            choosePost(kVice); // no question about other posts
            QCOMPARE(app.boxes().count(), 1);
            app.boxes().answer(ui::IDNO);
            Finto7->Button2->click();
        });
        QVERIFY(DM->QryJdwyhmd->locate("item_192", u("王五")));
        inWindow(app, Fpage7->btnSave01, [&] {
            choosePost(kChair);
            QCOMPARE(Finto7->cbwy_191->currentText(), kMember);
            app.boxes().answer(ui::IDNO);
            Finto7->Button2->click();
        });

        // The chair chosen again for the chair: no message, stored as chair.
        const int boxes = app.boxes().count();
        QVERIFY(DM->QryJdwyhmd->locate("item_192", u("李四")));
        inWindow(app, Fpage7->btnSave01, [&] {
            choosePost(kChair);
            QCOMPARE(app.boxes().count(), boxes);
            Finto7->edtwy_195->setText(u("清华大学"));
            Finto7->Button1->click();
        });
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        QCOMPARE(listed7(), QStringList({u("1 主任委员 李四"), u("2 委员 王五")}));
        QCOMPARE(DM->QryJdwyhmd->lookupValue("item_192", db::Value::fromString(u("李四")), "item_195").toString(),
                 u("清华大学"));
        Fpage7->quit01Click();
    });
}

void TestSection07::requiredEntriesOnStoreAndLeave()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    addMember(kKey, ".", 1, kMember, u("王五"));
    inWindow(app, MainForm->btn_page07, [&] {
        const QStringList before = storedMembers();
        inWindow(app, Fpage7->Button2, [&] {
            // Leaving at once asks for the name; the dialog stays.
            Finto7->Button2->click();
            QCOMPARE(app.boxes().last().text, u("\"姓名\"不能为空！"));
            QVERIFY(Finto7->isVisible());
            // Nothing typed: the store closes without a row.
            Finto7->Button1->click();
            QVERIFY(!Finto7->isVisible());
        });
        inWindow(app, Fpage7->Button2, [&] {
            // The store runs the same checks, in the same order.
            Finto7->edtwy_195->setText(u("北京大学"));
            const QList<std::pair<std::function<void()>, QString>> steps = {
                {[] {}, u("\"姓名\"不能为空！")},
                {[] { Finto7->Edtwy_192->setText(u("张三")); Finto7->cbwy_193->setCurrentIndex(-1); },
                 u("\"性别\"不能为空！")},
                {[] { Finto7->cbwy_193->setCurrentIndex(0); Finto7->cbwy_198->setCurrentIndex(-1); },
                 u("\"职称\"不能为空！")},
                {[] { Finto7->cbwy_198->setCurrentIndex(0); Finto7->cbwy_191->setCurrentIndex(-1); },
                 u("\"评价委员会职务\"不能为空！")},
            };
            for (const auto &[change, message] : steps) {
                change();
                for (QAbstractButton *button : {Finto7->Button1, Finto7->Button2}) {
                    button->click();
                    QCOMPARE(app.boxes().last().text, message);
                    QVERIFY(Finto7->isVisible());
                }
            }
            QCOMPARE(storedMembers(), before);
            // 退出 with every entry made asks, and Yes stores.
            Finto7->cbwy_191->setCurrentIndex(0);
            Finto7->Button2->click();
            QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).text, u("记录已更改，是否保存后退出？"));
            QVERIFY(!Finto7->isVisible());
        });
        QCOMPARE(listed7(), QStringList({u("1 主任委员 张三"), u("2 委员 王五")}));

        // An unchanged member leaves without a question; a changed one is
        // dropped on No.
        QVERIFY(DM->QryJdwyhmd->locate("item_192", u("王五")));
        const int boxes = app.boxes().count();
        inWindow(app, Fpage7->btnSave01, [] {
            Finto7->Edtwy_192->setText(u(" 王五 "));
            Finto7->Button2->click();
        });
        QCOMPARE(app.boxes().count(), boxes);
        const QStringList stored = storedMembers();
        inWindow(app, Fpage7->btnSave01, [&] {
            Finto7->cbwy_193->setCurrentIndex(1);
            app.boxes().answer(ui::IDNO);
            Finto7->Button2->click();
            QVERIFY(!Finto7->isVisible());
        });
        QCOMPARE(storedMembers(), stored);
        Fpage7->quit01Click();
    });
}

void TestSection07::openingMarkAndLock()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    MainForm->SetSectionState("01", false);
    MainForm->UpdateNavigationLock();
    QVERIFY(!MainForm->Button1->isEnabled());
    // Every required section complete, the lock not yet evaluated again.
    for (const char *section : {"01", "02", "03", "04", "08"})
        MainForm->SetSectionState(section, true);
    MainForm->SetSectionState("07", false);
    inWindow(app, MainForm->btn_page07, [&] {
        QTest::keyClick(Fpage7, Qt::Key_Escape);
        QVERIFY(!Fpage7->isVisible());
    });
    // Left with no member, the section is complete, and leaving evaluated the lock.
    QCOMPARE(MainForm->btn_page07->kind(), ui::BitBtn::bkYes);
    QCOMPARE(MainForm->btn_page07->text(), u("评价委员会名单"));
    QVERIFY(MainForm->Button1->isEnabled());
}



// The grid shows the posts, names and codes whole, and none of the columns
// kept for the form (ranks, the title's name).
void TestSection07::gridShowsWholeEntries()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    addMember(kKey, ".", 1, kVice, u("欧阳慕容司马上官诸葛")); // the name's twenty bytes
    inWindow(app, MainForm->btn_page07, [&] {
        QStringList titles;
        for (int c = 0; c < Fpage7->DBGrid3->model()->columnCount(); ++c)
            if (!Fpage7->DBGrid3->isColumnHidden(c))
                titles << Fpage7->DBGrid3->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({u("鉴定委员会职务"), u("姓名"), u("性别"), u("工作单位"), u("所学专业"),
                                      u("现从事专业"), u("职称")}));
        QCOMPARE(describeCutColumns(Fpage7->DBGrid3), QStringList());
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty() && QDir().mkpath(shots))
            Fpage7->grab().save(QDir(shots).filePath("TFpage7-whole.png"));
        Fpage7->quit01Click();
    });
}

QTEST_MAIN(TestSection07)
#include "tst_section07.moc"
