#include "AppFixture.h"
#include "Captions.h"
#include "AppInfo.h"
#include "CgwcrManage.h"
#include "Finto8Unit.h"
#include "Records.h"
#include "Typing.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage8.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/MessageBox.h"
#include "db/file/DbError.h"
#include "db/journal/Journal.h"

#include <QCalendarWidget>
#include <QDir>
#include <QStyledItemDelegate>
#include <QtTest>

namespace {

const QString kKey = "2005000001";
using Fields = QList<std::pair<const char *, QString>>;

// A person row straight into cgwcr (by default one of the record, with the
// codes the dialog requires) or into cgwcrNew.
void addRow(const QString &sequence, const QString &name, const Fields &more = {}, const QString &table = "cgwcr",
            const QString &key = kKey, const QString &region = ".")
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    t.append();
    const Fields fields = Fields{{"ITEM_4", key}, {"ITEM_DQDM", region}, {"ITEM_187", sequence}, {"ITEM_180", name},
                                 {"ITEM_181", "0"}, {"ITEM_183", "4"}, {"ITEM_184", "4"}}
                          + more;
    for (const auto &[field, value] : fields)
        t.fieldByName(field)->setAsString(value);
    t.post();
}

// Stored rows in file order, "key|region|seq|name|181|182|183|184|185|186|188";
// of cgwcr, the record's rows or the others.
QStringList stored(const QString &table, bool ours = true)
{
    QStringList rows = storedRows(table, {"ITEM_4", "ITEM_DQDM", "ITEM_187", "ITEM_180", "ITEM_181", "ITEM_182",
                                          "ITEM_183", "ITEM_184", "ITEM_185", "ITEM_186", "ITEM_188"});
    if (table == "cgwcr")
        rows.removeIf([ours](const QString &r) { return r.startsWith(kKey + "|.|") != ours; });
    return rows;
}

QStringList localNames()
{
    QStringList out;
    for (const QString &row : stored("cgwcrNew"))
        out << row.section('|', 3, 3);
    return out;
}

// "seq name" of every row the list shows, in list order.
QStringList listed8()
{
    QStringList out;
    db::Query *q = DM->QryCgwcr;
    for (int r = 0; r < q->rowCount(); ++r)
        out << q->rowValue(r, q->fieldByName("ITEM_187")->index()).toString() + " "
                   + q->rowValue(r, q->fieldByName("ITEM_180")->index()).toString();
    return out;
}

// What the list's grid shows in a cell.
QString shown(int row, int column)
{
    DBGrid *grid = Fpage8->DBGrid4;
    const auto *delegate = qobject_cast<QStyledItemDelegate *>(grid->itemDelegateForColumn(column));
    const QVariant value = grid->model()->index(row, column).data();
    return delegate ? delegate->displayText(value, QLocale()) : value.toString();
}

void inWindow(AppFixture &app, QAbstractButton *button, std::function<void()> work)
{
    app.modals().then([work](QDialog *) { work(); });
    button->click();
}

void addThroughDialog(AppFixture &app, const QString &name, const QString &unit = u("某所"))
{
    inWindow(app, Fpage8->Button2, [name, unit] {
        Finto8->edtry_180->setText(name);
        Finto8->edtry_185->setText(unit);
        Finto8->Button1->click();
    });
}

// Stores the person named name through 修改, after work changed the dialog.
void modifyThroughDialog(AppFixture &app, const QString &name, std::function<void()> work)
{
    QVERIFY(DM->QryCgwcr->locate("ITEM_180", name));
    inWindow(app, Fpage8->Button3, [work] {
        work();
        Finto8->Button1->click();
    });
}

// A click on a row of the quick-add grid, with the keyboard modifiers given.
void clickLocal(int row, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    DBGrid *grid = FormWcr->DBGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, grid->visualRect(grid->model()->index(row, 0)).center());
}

// Opens a cell of the list's grid as the user does, with a double click;
// its editor.
QWidget *openCell(int row, int column)
{
    DBGrid *grid = Fpage8->DBGrid4;
    const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    return grid->indexWidget(grid->model()->index(row, column));
}

// Types text over what the editor holds.
void retype(QWidget *editor, const QString &text)
{
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    typeText(editor, text);
}

// With CORVANE_SHOTS naming a folder, the window is saved there as a picture.
void saveShot(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        window->grab().save(QDir(dir).filePath(name + ".png"));
}

} // namespace

class TestSection08 : public QObject
{
    Q_OBJECT

private slots:
    void addAndModifyWithChecks();
    void birthMonthAndCodesAsStored();
    void localListOneRowPerName();
    void quickAdd();
    void renumberingAndSectionMark();
    void gridShowsWholeEntries();
    void gridEditsInPlace();
};

void TestSection08::addAndModifyWithChecks()
{
    AppFixture app;
    addRow("1", u("别的成果的人"), {}, "cgwcr", "2005000002");
    addRow("1", u("外地同号的人"), {}, "cgwcr", kKey, "110");
    showWithRecords({{kKey, "1", u("新型材料")}, {"2005000002", "1", u("其他成果")}});
    const QStringList others = stored("cgwcr", false);

    inWindow(app, MainForm->btn_page08, [&] {
        QVERIFY(Fpage8->size() == QSize(800, 600) && Fpage8->windowTitle() == u("成果名称：新型材料"));
        inWindow(app, Fpage8->Button2, [&] {
            QCOMPARE(Finto8->windowTitle(), u("新增－－【成果完成人员名单】"));
            QVERIFY(Finto8->edtry_187->text() == "1" && Finto8->edtry_187->isReadOnly());
            QCOMPARE(QStringList({Finto8->cbry_181->currentText(), Finto8->cbry_183->currentText(),
                                  Finto8->cbry_184->currentText(), Finto8->cbry_188->currentText(),
                                  Finto8->dtpry_182->text(), Finto8->edtry_185->text()}),
                     QStringList({u("0  男"), u("4  中级"), u("4  大本"), u("0  否"),
                                  ui::today().addDays(-10950).toString("yyyy.MM"), u("第一完成单位")}));

            // Each check in its order, the dialog open with what was typed.
            Finto8->edtry_180->setText("  ");
            Finto8->Button1->click();
            Finto8->edtry_180->setText(u("  张三  "));
            for (QComboBox *combo : {Finto8->cbry_181, Finto8->cbry_183, Finto8->cbry_184}) {
                const int chosen = combo->currentIndex();
                combo->setCurrentIndex(-1);
                Finto8->Button1->click();
                combo->setCurrentIndex(chosen);
            }
            QCOMPARE(app.boxes().texts().mid(app.boxes().count() - 4),
                     QStringList({u("姓名不能为空！"), u("性别不能为空！"), u("技术职称不能为空！"), u("文化程度不能为空！")}));
            QVERIFY(Finto8->isVisible() && Finto8->edtry_180->text() == u("  张三  "));

            Finto8->cbry_181->setCurrentIndex(1);
            Finto8->dtpry_182->setDate(QDate(1965, 3, 20));
            Finto8->cbry_183->setCurrentIndex(Finto8->cbry_183->findText(u("b  中科院院士")));
            Finto8->edtry_186->setText(u("总体设计"));
            Finto8->Button1->click();
            QVERIFY(!Finto8->isVisible() && Finto8->edtry_180->text().isEmpty() && Finto8->edtry_185->text().isEmpty());
        });
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        QCOMPARE(stored("cgwcr"), QStringList{u("2005000001|.|1|张三|1|1965.03|b|4|第一完成单位|总体设计|0")});
        // The grid names the codes.
        QCOMPARE(QStringList({shown(0, 2), shown(0, 4), shown(0, 5), shown(0, 6)}),
                 QStringList({u("  女"), u("  中科院院士"), u("  大本"), u("  否")}));

        // 修改: the row's values; an empty or wrong number is refused; 退出
        // with a change asks, and Yes stores.
        addThroughDialog(app, u("李四"));
        QVERIFY(DM->QryCgwcr->locate("ITEM_180", u("张三")));
        inWindow(app, Fpage8->Button3, [&] {
            QCOMPARE(Finto8->windowTitle(), u("修改－－【成果完成人员名单】"));
            QVERIFY(Finto8->edtry_187->text() == "1" && !Finto8->edtry_187->isReadOnly());
            QVERIFY(Finto8->cbry_183->currentText() == u("b  中科院院士") && Finto8->dtpry_182->text() == "1965.03");
            for (const char *number : {" ", "2a"}) {
                Finto8->edtry_187->setText(number);
                Finto8->Button1->click();
            }
            QCOMPARE(app.boxes().texts().mid(app.boxes().count() - 2),
                     QStringList({u("序号不能为空！"), u("输入序号必须为数字！")}));
            QCOMPARE(app.boxes().last().caption, applicationTitle());
            Finto8->edtry_187->setText("9");
            Finto8->edtry_185->setText(u("研究所"));
            Finto8->Button2->click();
            QVERIFY(!Finto8->isVisible());
        });
        const auto &asked = app.boxes().requests().at(app.boxes().count() - 2);
        QVERIFY(asked.text == u("记录已更改,是否保存后退出？") && asked.caption == u("请注意！"));
        QCOMPARE(stored("cgwcr").first(), u("2005000001|.|2|张三|1|1965.03|b|4|研究所|总体设计|0"));
        QCOMPARE(listed8(), QStringList({u("1 李四"), u("2 张三")}));
        Fpage8->quit01Click();
    });
    QCOMPARE(stored("cgwcr", false), others);
    QCOMPARE(MainForm->btn_page08->kind(), ui::BitBtn::bkYes);
}

void TestSection08::birthMonthAndCodesAsStored()
{
    AppFixture app;
    addRow("1", u("甲"), {{"ITEM_182", "1970.05"}, {"ITEM_188", "1"}});
    addRow("2", u("乙"), {{"ITEM_182", u("1965年3月")}, {"ITEM_188", "2"}, {"ITEM_185", u("某单位")}});
    addRow("3", u("丙"), {{"ITEM_188", "0"}});
    showWithRecords({{kKey, "1", u("新型材料")}});
    inWindow(app, MainForm->btn_page08, [&] {
        // An older grid's "2" for no is shown as no.
        QCOMPARE(shown(1, 6), u("  否"));
        // Opened and left unchanged, with a month and without: no question.
        const int boxes = app.boxes().count();
        for (const char *name : {"甲", "丙"}) {
            QVERIFY(DM->QryCgwcr->locate("ITEM_180", u(name)));
            inWindow(app, Fpage8->Button3, [] { Finto8->Button2->click(); });
            QCOMPARE(Finto8->dtpry_182->text().trimmed(), QString(u(name) == u("甲") ? "1970.05" : ""));
        }
        QCOMPARE(app.boxes().count(), boxes);

        // A birth text of another form: the warning, then no month (not the
        // one the last person left), and a store keeps the text.
        modifyThroughDialog(app, u("乙"), [&] {
            QCOMPARE(app.boxes().last().text, u("1965年3月不是正确的出生年月格式！"));
            QCOMPARE(Finto8->dtpry_182->text().trimmed(), QString());
            QCOMPARE(Finto8->cbry_188->currentText(), u("0  否"));
            // Its calendar opens on a likely birth year, not on the picker's earliest date.
            QDateEdit *picker = Finto8->dtpry_182;
            QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 6, picker->height() / 2));
            QVERIFY(picker->calendarWidget()->isVisible());
            QCOMPARE(picker->calendarWidget()->yearShown(), ui::today().year() - 30);
            picker->calendarWidget()->window()->hide();
            saveShot(Finto8, "TFinto8-modify");
        });
        QCOMPARE(stored("cgwcr").at(1), u("2005000001|.|2|乙|0|1965年3月|4|4|某单位||0"));
        saveShot(Fpage8, "TFpage8-rows");
        Fpage8->quit01Click();
    });
}

void TestSection08::localListOneRowPerName()
{
    AppFixture app;
    for (const auto &[name, unit] : {std::pair{"李四", "甲所"}, {"李四", "乙所"}, {"赵六", "丙所"}})
        addRow("4", u(name), {{"ITEM_185", u(unit)}}, "cgwcrNew", "2004000009");
    showWithRecords({{kKey, "1", u("新型材料")}});
    inWindow(app, MainForm->btn_page08, [&] {
        addThroughDialog(app, u(" 张三 "), u("一所"));
        const QString birth = Finto8->dtpry_182->text();
        QCOMPARE(stored("cgwcrNew").last(), u("2005000001|.|1|张三|0|") + birth + u("|4|4|一所||0"));
        // The same name again takes its row; a name listed twice is left
        // alone; a name with a quote is stored and found; one ending in "*"
        // is no pattern.
        const int boxes = app.boxes().count();
        for (const auto &[name, unit] : {std::pair{"张三", "二所"}, {"李四", "新所"}, {"O'Brien", "三所"},
                                         {"O'Brien", "四所"}, {"赵*", "五所"}})
            addThroughDialog(app, u(name), u(unit));
        QCOMPARE(app.boxes().texts().mid(boxes), QStringList(5, u("存储成功！")));
        QCOMPARE(localNames(), QStringList({u("李四"), u("李四"), u("赵六"), u("张三"), u("O'Brien"), u("赵*")}));
        QCOMPARE(stored("cgwcrNew").at(3), u("2005000001|.|2|张三|0|") + birth + u("|4|4|二所||0"));
        QVERIFY(!stored("cgwcrNew").join(' ').contains(u("新所")));
        QVERIFY(stored("cgwcrNew").at(2).contains(u("|丙所|")) && stored("cgwcrNew").at(4).contains(u("|四所|")));
        QCOMPARE(listed8().size(), 6);

        // A person changed in modify mode stays as the local list has it.
        modifyThroughDialog(app, u("赵*"), [] { Finto8->edtry_185->setText(u("六所")); });
        QVERIFY(stored("cgwcrNew").last().contains(u("|五所|")));
        Fpage8->quit01Click();
    });

    // Built afresh from every record's persons: the first person of each name.
    addRow("1", u("钱七"), {}, "cgwcr", "2005000002", "110");
    FormWcr->BuildeWcrTable();
    QCOMPARE(localNames(), QStringList({u("张三"), u("李四"), u("O'Brien"), u("赵*"), u("钱七")}));
    QVERIFY(stored("cgwcrNew").first().startsWith(u("|||张三|0|")) && stored("cgwcrNew").first().contains(u("|一所|")));
}

void TestSection08::quickAdd()
{
    AppFixture app;
    addRow("1", u("甲"));
    addRow("2", u("乙"));
    for (const auto &[number, name] : {std::pair{"7", "张三"}, {"1", "李四"}, {"3", "王五"}})
        addRow(number, u(name), {{"ITEM_185", u("所") + u(name)}, {"ITEM_183", "2"}}, "cgwcrNew", "2004000009", "110");
    showWithRecords({{kKey, "1", u("新型材料")}});
    inWindow(app, MainForm->btn_page08, [&] {
        // An order set by hand, which the quick add keeps.
        modifyThroughDialog(app, u("乙"), [] { Finto8->edtry_187->setText("0"); });

        inWindow(app, Fpage8->Button5, [&] {
            QCOMPARE(FormWcr->Label1->text(), u("请选择记录(按住ctrl键进行多条选择)"));
            clickLocal(2);
            clickLocal(0);
            QCOMPARE(FormWcr->Label1->text(), u("选择了2记录！"));
            saveShot(FormWcr, "TFormWcr-chosen");
            FormWcr->BitBtn1->click();
            QVERIFY(!FormWcr->isVisible());
        });
        QCOMPARE(listed8(), QStringList({u("1 乙"), u("2 甲"), u("3 张三"), u("4 王五")}));
        QCOMPARE(stored("cgwcr").at(2), u("2005000001|.|3|张三|0||2|4|所张三||"));

        // Nothing chosen: No adds nothing and keeps the window; Yes adds
        // everyone, also those listed already.
        inWindow(app, Fpage8->Button5, [&] {
            app.boxes().answer(ui::IDNO);
            FormWcr->BitBtn1Click();
            QVERIFY(app.boxes().last().caption == u("提示信息") && FormWcr->isVisible() && listed8().size() == 4);
            FormWcr->BitBtn1Click();
            QVERIFY(FormWcr->Label1->text() == u("选择了3记录！") && !FormWcr->isVisible());
        });
        QCOMPARE(listed8().mid(4), QStringList({u("5 张三"), u("6 李四"), u("7 王五")}));

        // 删除 takes the current local row only (the keyboard moves it),
        // whatever is chosen, and no person of the record.
        inWindow(app, Fpage8->Button5, [&] {
            clickLocal(1, Qt::NoModifier);
            clickLocal(0);
            QTest::keyClick(FormWcr->DBGrid1, Qt::Key_Down, Qt::ControlModifier);
            QTest::keyClick(FormWcr->DBGrid1, Qt::Key_Down, Qt::ControlModifier);
            QCOMPARE(FormWcr->DBGrid1->selectedRows(), QList<int>({0, 1}));
            FormWcr->Button1->click();
            QCOMPARE(app.boxes().last().text, u("是否删除该项目？!"));
            QTest::keyClick(FormWcr, Qt::Key_Escape);
            QVERIFY(!FormWcr->isVisible());
        });
        QCOMPARE(localNames(), QStringList({u("张三"), u("李四")}));
        QCOMPARE(listed8().size(), 7);
        Fpage8->quit01Click();
    });
}

void TestSection08::renumberingAndSectionMark()
{
    AppFixture app;
    // Gaps, a tie and an empty number, in this file order.
    for (const auto &[number, name] : {std::pair{"5", "甲"}, {"", "乙"}, {"2", "丙"}, {"9", "丁"}, {"2", "戊"}})
        addRow(number, u(name));
    showWithRecords({{kKey, "1", u("新型材料")}, {"2005000002", "1", u("无人成果")}});
    inWindow(app, MainForm->btn_page08, [&] {
        // By number, the empty one first, a tie in the order added.
        modifyThroughDialog(app, u("丁"), [] { Finto8->edtry_185->setText(u("某所")); });
        QCOMPARE(listed8(), QStringList({u("1 乙"), u("2 丙"), u("3 戊"), u("4 甲"), u("5 丁")}));
        modifyThroughDialog(app, u("甲"), [] { Finto8->edtry_187->setText("2"); });
        QCOMPARE(listed8(), QStringList({u("1 乙"), u("2 甲"), u("3 丙"), u("4 戊"), u("5 丁")}));
        Fpage8->quit01Click();
    });

    // The record without persons: incomplete, and its list cannot be left empty.
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000002"));
    MainForm->DBGrid1CellClick();
    QVERIFY(MainForm->btn_page08->kind() == ui::BitBtn::bkHelp && !MainForm->Button1->isEnabled());
    inWindow(app, MainForm->btn_page08, [&] {
        const int boxes = app.boxes().count();
        Fpage8->quit01Click();
        QTest::keyClick(Fpage8, Qt::Key_Escape);
        QCOMPARE(app.boxes().texts().mid(boxes), QStringList(2, u("成果完成人员名单不能为空！")));
        QVERIFY(Fpage8->isVisible());
        addThroughDialog(app, u("己"));
        QTest::keyClick(Fpage8, Qt::Key_Escape);
        QVERIFY(!Fpage8->isVisible());
    });
    QVERIFY(MainForm->btn_page08->kind() == ui::BitBtn::bkYes && MainForm->btn_page08->text() == u("成果完成人员名单"));
    MainForm->DBGrid1CellClick();
    QCOMPARE(MainForm->btn_page08->kind(), ui::BitBtn::bkYes);
}

// Names of the column's full twenty bytes and the longest code names show whole.
void TestSection08::gridShowsWholeEntries()
{
    AppFixture app;
    addRow("1", u("欧阳慕容司马上官诸葛"), {{"ITEM_183", "b"}, {"ITEM_184", "2"}, {"ITEM_182", "1970.05"}});
    showWithRecords({{kKey, "1", u("新型材料")}});
    inWindow(app, MainForm->btn_page08, [&] {
        QCOMPARE(shown(0, 4), u("  中科院院士"));
        QCOMPARE(describeCutColumns(Fpage8->DBGrid4), QStringList());
        saveShot(Fpage8, "TFpage8-whole");
        Fpage8->quit01Click();
    });
}

// The grid is edited in place: each value left is checked as the person
// dialog checks it and stored at once; a refused one keeps its cell open with
// a message, a failed one leaves the rows as stored.
void TestSection08::gridEditsInPlace()
{
    AppFixture app;
    for (const auto &[number, name] : {std::pair{"1", "甲"}, {"2", "乙"}, {"3", "丙"}})
        addRow(number, u(name), {{"ITEM_182", "1970.05"}, {"ITEM_188", "1"}});
    addRow("1", u("别的成果的人"), {}, "cgwcr", "2005000002");
    showWithRecords({{kKey, "1", u("新型材料")}, {"2005000002", "1", u("其他成果")}});
    const QStringList others = stored("cgwcr", false);
    inWindow(app, MainForm->btn_page08, [&] {
        DBGrid *grid = Fpage8->DBGrid4;
        QWidget *editor = openCell(0, 1);
        QVERIFY(qobject_cast<QLineEdit *>(editor));
        retype(editor, u(" 王五 "));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(stored("cgwcr").first(), u("2005000001|.|1|王五|0|1970.05|4|4|||1"));
        QCOMPARE(app.boxes().count(), 0);
        // A birth month is stored as checked, without the blanks around it.
        editor = openCell(0, 3);
        retype(editor, " 1965.03 ");
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(stored("cgwcr").first(), u("2005000001|.|1|王五|0|1965.03|4|4|||1"));
        QCOMPARE(app.boxes().count(), 0);

        const QStringList before = stored("cgwcr");
        const std::tuple<int, const char *, const char *> refused[] = {
            {1, "  ", "姓名不能为空！"},
            {3, "1970.13", "1970.13不是正确的出生年月格式！"},
            {0, "", "序号不能为空！"},
            {0, "2a", "输入序号必须为数字！"},
            {0, "2", "序号有重复，请重新输入序号！"},
        };
        for (const auto &[column, typed, message] : refused) {
            app.boxes().clear();
            editor = openCell(0, column);
            retype(editor, u(typed));
            QTest::keyClick(editor, Qt::Key_Tab);
            QCOMPARE(app.boxes().texts(), QStringList{u(message)});
            const QModelIndex cell = grid->model()->index(0, column);
            QVERIFY2(grid->indexWidget(cell) == editor && grid->currentIndex() == cell, message);
            QCOMPARE(static_cast<QLineEdit *>(editor)->text(), u(typed));
            QCOMPARE(stored("cgwcr"), before);
            QTest::keyClick(editor, Qt::Key_Escape);
            QVERIFY(!grid->indexWidget(cell) && Fpage8->isVisible());
        }
        QCOMPARE(app.boxes().last().caption, applicationTitle());
        // Left for another row with the mouse: the cell opens again.
        app.boxes().clear();
        editor = openCell(0, 1);
        retype(editor, " ");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(2, 1)).center());
        QCoreApplication::processEvents();
        QCOMPARE(app.boxes().texts(), QStringList{u("姓名不能为空！")});
        QVERIFY(grid->indexWidget(grid->model()->index(0, 1)) == editor && grid->currentIndex().row() == 0);
        saveShot(Fpage8, "TFpage8-refused");
        QTest::keyClick(editor, Qt::Key_Escape);

        // Each coded column offers its list; the code chosen is stored at once.
        const std::tuple<int, const char *, QStringList, const char *> picks[] = {
            {2, "1", {u("0 男"), u("1 女")}, "  女"},
            {4, "b", {}, "  中科院院士"},
            {5, "2", {}, "  博士研究生"},
            {6, "0", {u("1 是"), u("0 否")}, "  否"},
        };
        for (const auto &[column, code, items, name] : picks) {
            auto *list = qobject_cast<QComboBox *>(openCell(1, column));
            QVERIFY(list);
            if (!items.isEmpty()) {
                QStringList offered;
                for (int i = 0; i < list->count(); ++i)
                    offered << list->itemText(i);
                QCOMPARE(offered, items);
            }
            saveShot(Fpage8, QString("TFpage8-picklist-%1").arg(column));
            QTest::keyClicks(list, code);
            QCOMPARE(shown(1, column), u(name));
        }
        QCOMPARE(stored("cgwcr").at(1), u("2005000001|.|2|乙|1|1970.05|b|2|||0"));

        // A new 序号 moves the person, as the dialog's store does; the cell
        // follows the person.
        editor = openCell(0, 0);
        retype(editor, "9");
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(listed8(), QStringList({u("1 乙"), u("2 丙"), u("3 王五")}));
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(DM->QryCgwcr->fieldByName("ITEM_180")->asString(), u("王五"));

        // A disk that fails any write of the move: told, all taken back, and
        // the list shows the rows as stored.
        const QStringList moved = stored("cgwcr");
        for (int failAt = 1;; ++failAt) {
            app.boxes().clear();
            editor = openCell(0, 0);
            retype(editor, "7");
            int writes = 0;
            db::setFaultHook([&](const char *what) {
                if (QByteArray(what) == "write" && ++writes == failAt)
                    throw db::DbError("injected");
            });
            QTest::keyClick(editor, Qt::Key_Tab);
            db::setFaultHook({});
            if (writes < failAt)
                break; // moved: no write failed
            QVERIFY2(app.boxes().count() == 1 && app.boxes().last().text.contains("injected"), qPrintable(QString::number(failAt)));
            QCOMPARE(stored("cgwcr"), moved);
            QCOMPARE(listed8(), QStringList({u("1 乙"), u("2 丙"), u("3 王五")}));
            QVERIFY(!grid->indexWidget(grid->model()->index(0, 0)) && grid->currentIndex() == grid->model()->index(0, 0));
        }
        QCOMPARE(listed8(), QStringList({u("1 丙"), u("2 王五"), u("3 乙")}));
        Fpage8->quit01Click();
    });
    QCOMPARE(stored("cgwcr", false), others);
    // Changing a person is no new person: the local list stays as it was.
    QCOMPARE(stored("cgwcrNew"), QStringList());
}

QTEST_MAIN(TestSection08)
#include "tst_section08.moc"
