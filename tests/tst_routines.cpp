#include "SharedRoutines.h"
#include "TempDir.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/ScriptedMessageBoxes.h"
#include "ui/SilentAbort.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

QStringList items(const QComboBox &c)
{
    QStringList out;
    for (int i = 0; i < c.count(); ++i)
        out << c.itemText(i);
    return out;
}

// A table of text columns in dir holding rows, opened on t.
void makeTable(db::Table &t, const QString &dir, const QString &name, const QStringList &columns,
               const QList<QStringList> &rows)
{
    QVector<db::ColumnDef> cols;
    for (const QString &c : columns)
        cols.append({c, 'C', 20, 0});
    db::DbfFile::create(dir, name, cols);
    t.setDatabaseName(dir);
    t.setTableName(name);
    t.open();
    for (const QStringList &row : rows) {
        t.append();
        for (int i = 0; i < row.size(); ++i)
            t.field(i)->setAsString(row[i]);
        t.post();
    }
}

// A choice panel with boxes in the given code order, beside a decoy panel
// holding the same codes checked.
struct ChoiceForm
{
    QWidget form;
    QWidget *panel;
    QList<QAbstractButton *> boxes;

    ChoiceForm(const QString &panelName, const QStringList &codes, bool radio = false)
    {
        auto *decoy = new QWidget(&form);
        decoy->setObjectName("Pl_999");
        panel = new QWidget(&form);
        panel->setObjectName(panelName);
        for (const QString &c : codes) {
            QAbstractButton *b = radio ? static_cast<QAbstractButton *>(new QRadioButton(panel)) : new QCheckBox(panel);
            b->setObjectName((radio ? "RB_x_" : "cb_x_") + c);
            boxes << b;
            auto *other = new QCheckBox(decoy);
            other->setObjectName("cb_999_" + c);
            other->setChecked(true);
        }
    }
    void check(const QStringList &codes)
    {
        for (QAbstractButton *b : boxes)
            b->setChecked(codes.contains(b->objectName().section('_', -1)));
    }
    QStringList checked() const
    {
        QStringList out;
        for (QAbstractButton *b : boxes)
            if (b->isChecked())
                out << b->objectName().section('_', -1);
        return out;
    }
};

} // namespace

class TestRoutines : public QObject
{
    Q_OBJECT

private slots:
    void textsAndRequiredText();
    void periodIntoEdits();
    void choicePanels();
    void clearChecksUnchecksExclusiveButtons();
    void dictionaryAndCodeCombos();
    void yearList();
};

void TestRoutines::textsAndRequiredText()
{
    QCOMPARE(FormatDotDate("2004.05.06"), QString("2004-05-06"));
    QCOMPARE(FormatDotDate("2004.5.6"), QString("2004-5.-")); // by position
    QCOMPARE(TabToBlank("a\tb\t\tc"), QString("a b  c"));

    QLineEdit e1, e2, e3;
    e2.setText("old");
    for (const QStringList &c : {QStringList{"a;b;c;d", "a", "b", "c"}, {"a", "a", "", ""}, {"a;b", "a", "b", ""}}) {
        SplitToEdits(c[0], &e1, &e2, &e3);
        QCOMPARE(QStringList({e1.text(), e2.text(), e3.text()}), c.mid(1));
    }

    ui::ScriptedMessageBoxes boxes;
    QCOMPARE(RequireText(u("  成果 \t"), "msg"), u("成果"));
    QVERIFY_THROWS_EXCEPTION(ui::SilentAbort, RequireText(" \t ", u("成果名称不能为空！")));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().text, u("成果名称不能为空！"));
    QCOMPARE(boxes.last().caption, QString("Corvane"));
    QCOMPARE(boxes.last().flags, 48);
}

void TestRoutines::periodIntoEdits()
{
    QLineEdit sy, sm, ey, em;
    const auto edits = [&] { return QStringList({sy.text(), sm.text(), ey.text(), em.text()}); };
    ParseDateRange(u("2003.01   至2004.12"), &sy, &sm, &ey, &em);
    QCOMPARE(edits(), QStringList({"2003", "01", "2004", "12"}));
    ParseDateRange(u("  200301    至  2004.2 "), &sy, &sm, &ey, &em); // a part without a dot
    QCOMPARE(edits(), QStringList({"", "200301", "2004", "2"}));

    // No period: today's year and a two-digit month, as a saved period needs.
    const ui::Clock before = ui::setClock([] { return QDateTime(QDate(2005, 3, 7), QTime(9, 0)); });
    ParseDateRange("", &sy, &sm, &ey, &em);
    ui::setClock(before);
    QCOMPARE(edits(), QStringList({"2005", "03", "2005", "03"}));
}

void TestRoutines::choicePanels()
{
    ui::ScriptedMessageBoxes boxes;
    ChoiceForm f("Pl_126", {"01", "05", "07", "09"});
    f.check({"07", "05"});
    QCOMPARE(CodesFromChecks(&f.form, "Pl_126", 2, "x"), QString("05;07;"));
    f.check({"01", "05", "09"});
    QVERIFY_THROWS_EXCEPTION(ui::SilentAbort, CodesFromChecks(&f.form, "Pl_126", 2, u("推广形式")));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().text, u("'推广形式'项目为复选项目，但至多选择二项！"));
    QCOMPARE(boxes.last().caption, u("提示"));
    QCOMPARE(boxes.last().flags, 32);

    f.check({});
    CheckByCodeList(&f.form, "Pl_126", "01;07;09;", 2); // a third code is never read
    QCOMPARE(f.checked(), QStringList({"01", "07"}));
    f.check({});
    CheckByCodeList(&f.form, "Pl_126", " 05 ;07", 2); // 07 is not closed by ";"
    QCOMPARE(f.checked(), QStringList({"05"}));

    boxes.clear();
    ChoiceForm one("PL_140", {"3", "1", "2"}); // one-character codes: creation order
    one.check({"1", "3"});
    QCOMPARE(CodesFromChecks(&one.form, "PL_140", 1, "x"), QString("3;1;"));
    ChoiceForm odd("Pl_160", {"ZB", "0A"}); // non-numeric codes warn and stay unsorted
    odd.check({"ZB", "0A"});
    QCOMPARE(CodesFromChecks(&odd.form, "Pl_160", 2, "x"), QString("ZB;0A;"));
    QCOMPARE(boxes.texts(), QStringList({u("'ZB'不是数字格式！"), u("'0A'不是数字格式！")}));

    ChoiceForm radio("PL_123", {"1", "2", "3"}, true);
    CheckByCodeList(&radio.form, "PL_123", "3", 1);
    QCOMPARE(radio.checked(), QStringList({"3"}));
    QCOMPARE(CodesFromChecks(&radio.form, "PL_123", 1, "x"), QString("3"));
}

void TestRoutines::clearChecksUnchecksExclusiveButtons()
{
    ChoiceForm f("PL_123", {"1", "2"}, true);
    f.check({"2"});
    auto *grouped1 = new QRadioButton(f.panel), *grouped2 = new QRadioButton(f.panel);
    QButtonGroup group;
    group.addButton(grouped1);
    group.addButton(grouped2);
    grouped2->setChecked(true);

    ClearChecks(&f.form);
    QVERIFY(f.checked().isEmpty() && !grouped2->isChecked());
    QVERIFY(!f.form.findChild<QCheckBox *>("cb_999_1")->isChecked());
    QVERIFY(f.boxes[0]->autoExclusive() && group.exclusive());
}

void TestRoutines::dictionaryAndCodeCombos()
{
    TempDir dir;
    db::Table dict, province, tree;
    makeTable(dict, dir.path(), "zdxx", {"ZDDM", "XXDM", "XXMC"},
              {{"ITEM_1", "2", u("乙")}, {"ITEM_2", "9", u("别")}, {"ITEM_1", "1", u("**旧")},
               {"ITEM_1", "3", ""}, {"ITEM_1", "1", u("甲")}, {"ITEM_'", "7", u("引")}});
    QComboBox combo;
    FillComboFromDict(&dict, "ITEM_1", &combo, 1);
    QCOMPARE(items(combo), QStringList({u("2  乙"), u("1  甲")}));
    QCOMPARE(combo.currentIndex(), -1);
    QVERIFY(dict.filtered() && dict.recordCount() == 4); // the filter stays set
    FillQueryValueCombo(&dict, "ITEM_1", &combo, 0);
    QCOMPARE(items(combo), QStringList({u("2  乙"), u("1  **旧"), u("1  甲"), " "}));
    FillComboFromDict(&dict, "ITEM_404", &combo, 0);
    QCOMPARE(items(combo), QStringList({" "}));
    FillComboFromDict(&dict, "ITEM_'", &combo, 1); // a quote is no filter error
    QCOMPARE(items(combo), QStringList({u("7  引")}));

    combo.clear();
    combo.addItems({u("01  甲"), u("02  (乙)"), " ", u("01  丙"), "011  x"});
    SelectComboByCode("01", &combo);
    QCOMPARE(combo.currentIndex(), 3); // the last match
    SelectComboByCode("99", &combo);
    QCOMPARE(combo.currentIndex(), 3);
    SelectComboByCode("02", &combo);
    QCOMPARE(combo.currentIndex(), 1);

    makeTable(province, dir.path(), "province", {"PROVINCE_I", "PROVINCE_N"},
              {{"110", u("北京")}, {"120", ""}, {"130", u("河北")}});
    province.setFilter("province_i='130'");
    province.setFiltered(true);
    FillComboCodeName(&province, &combo, "Province_i", "Province_n", 0);
    QCOMPARE(items(combo), QStringList({u("110  (北京)"), u("130  (河北)"), " "}));

    makeTable(tree, dir.path(), "gxjs", {"JB", "XXDM", "XXMC"}, {{"1", "01", u("电子")}, {"2", "0101", u("微电子")}});
    tree.setFiltered(false);
    QLineEdit edit;
    ShowCodeName(&tree, "0101", &edit);
    QCOMPARE(edit.text(), u("0101  微电子"));
    ShowCodeName(&tree, "99'", &edit);
    QCOMPARE(edit.text(), QString());
    QComboBox picker;
    picker.setEditable(true);
    ShowCodeName(&tree, "01", &picker);
    QCOMPARE(picker.currentText(), u("01  电子"));
}

void TestRoutines::yearList()
{
    TempDir dir;
    db::Table kjcg;
    makeTable(kjcg, dir.path(), "kjcg", {"ITEM_4"}, {{"2005001"}, {"2004002"}, {" 2004001"}, {"abcd001"}, {"-123"}});
    QComboBox combo;
    FillYearCombo(&kjcg, &combo);
    QCOMPARE(items(combo), QStringList({"2005", "2004"}));
    QCOMPARE(combo.currentIndex(), 0);

    db::Query query;
    query.setDatabaseName(dir.path());
    ReopenQuery(&query, "select item_4 from kjcg where item_4 = 'none' order by item_4 desc");
    QVERIFY(query.active() && query.isEmpty());
    const ui::Clock before = ui::setClock([] { return QDateTime(QDate(2007, 1, 2), QTime(8, 0)); });
    FillYearCombo(&query, &combo);
    ui::setClock(before);
    QCOMPARE(items(combo), QStringList({"2007"}));
    QCOMPARE(combo.currentIndex(), -1);

    // A table large enough for its keys to be sorted through the key index:
    // the runs of a year are passed over at once, odd keys one at a time, and
    // the list is the one a walk over every row gives.
    TempDir big;
    QList<QStringList> keys;
    for (int i = 0; i < 3000; ++i)
        keys << QStringList{QString::number(1990 + i % 17) + QString::number(i).rightJustified(6, '0')};
    keys << QStringList{" 1995000001"} << QStringList{"19"} << QStringList{"abcd0001"} << QStringList{"2000"}
         << QStringList{"1999"} << QStringList{QString()} << QStringList{"1998x"};
    db::Table table;
    makeTable(table, big.path(), "kjcg", {"ITEM_4"}, keys);
    db::Query sorted;
    sorted.setDatabaseName(big.path());
    ReopenQuery(&sorted, "select item_4 from kjcg order by item_4 desc");
    QCOMPARE(sorted.sortedColumn(), 0);
    FillYearCombo(&sorted, &combo);
    QStringList walked;
    QString previous;
    for (sorted.first(); !sorted.eof(); sorted.next()) {
        const QString prefix = sorted.field(0)->asString().trimmed().left(4);
        if (prefix != previous && prefix.size() == 4 && prefix.toInt() > 0)
            walked << prefix;
        previous = prefix;
    }
    QCOMPARE(items(combo), walked);
    QCOMPARE(walked.size(), 18); // 2006 down to 1990, and 1995 again after the keys with a leading blank
    QVERIFY(sorted.eof());
}

QTEST_MAIN(TestRoutines)
#include "tst_routines.moc"
