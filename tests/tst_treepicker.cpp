#include "AppFixture.h"
#include "Startup.h"
#include "TreeRequests.h"
#include "UnitDM.h"
#include "Unittree.h"
#include "db/DbError.h"
#include "db/DbfFile.h"
#include "db/Table.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace {

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

// A stand-in for a calling form: a line edit for every target slot of owner,
// named as the real form names them, registered by name.
std::unique_ptr<QWidget> standInForm(TreeOwner owner)
{
    auto form = std::make_unique<QWidget>();
    for (int slot = 0; slot < int(treeFlags(owner).size()); ++slot) {
        const QString name = treeEditNameOf(owner, slot);
        if (name.isEmpty() || form->findChild<QLineEdit *>(name))
            continue;
        auto *edit = new QLineEdit(form.get());
        edit->setObjectName(name);
        edit->setText("old");
    }
    setTreeTargets(owner, form.get());
    return form;
}

QString editText(QWidget *form, const QString &name)
{
    return form->findChild<QLineEdit *>(name)->text();
}

// Texts of every edit of the form that no longer holds "old".
QStringList changedEdits(QWidget *form)
{
    QStringList out;
    for (QLineEdit *e : form->findChildren<QLineEdit *>())
        if (e->text() != "old")
            out << e->objectName();
    return out;
}

QTreeWidgetItem *node(const QString &text)
{
    const auto found = FormTree->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QStringList topLevelTexts(QTreeWidget *tree, int count)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount() && i < count; ++i)
        out << tree->topLevelItem(i)->text(0);
    return out;
}

// Picks the node of that text in the picker and confirms; records the first
// classes of the tree shown.
ui::ScriptedModals::Script choose(const QString &text, QStringList *firstClasses = nullptr)
{
    return [text, firstClasses](QDialog *) {
        QTreeWidgetItem *root = FormTree->TreeView1->topLevelItem(0);
        QVERIFY(root);
        if (firstClasses && root->childCount() > 0)
            *firstClasses << root->child(0)->text(0);
        QTreeWidgetItem *n = node(text);
        QVERIFY2(n, qPrintable("no node " + text));
        n->setSelected(true);
        QTest::mouseClick(FormTree->Button1, Qt::LeftButton);
    };
}

// A classification table of our own rows (level, code, name).
void writeTree(const QString &dir, const QString &name, const QList<QStringList> &rows)
{
    db::DbfFile::create(dir, name, {{"JB", 'C', 2}, {"XXDM", 'C', 12}, {"XXMC", 'C', 100}});
    db::Table t;
    t.setDatabaseName(dir);
    t.setTableName(name);
    t.open();
    for (const QStringList &r : rows) {
        t.append();
        for (int i = 0; i < 3; ++i)
            t.field(i)->setAsString(r.at(i));
        t.post();
    }
}

} // namespace

class TestTreePicker : public QObject
{
    Q_OBJECT

private slots:
    void picksIntoRequestingEdit();
    void twoFormsInTurn();
    void buildsOddTables();
    void missingClassificationTables();
};

// A level-3 node, the root, cancel and confirming with nothing chosen.
void TestTreePicker::picksIntoRequestingEdit()
{
    AppFixture app;
    auto page1 = standInForm(TreeOwner::Page1);

    QStringList shownClasses;
    app.modals().then(choose(u("1101410  演绎逻辑学"), &shownClasses));
    QCOMPARE(pickTreeCode(TreeOwner::Page1, 1), int(QDialog::Accepted));
    QCOMPARE(editText(page1.get(), "edt_15_1"), u("1101410  演绎逻辑学"));
    QCOMPARE(changedEdits(page1.get()), QStringList{"edt_15_1"});
    QCOMPARE(shownClasses, QStringList{u("110  数学")});
    QCOMPARE(DM->Table1->tableName(), QString("xkfl.dbf"));
    QVERIFY(!DM->Table1->active());
    QCOMPARE(FormTree->TreeView1->topLevelItemCount(), 0); // only while shown

    app.modals().then([](QDialog *) { QTest::mouseClick(FormTree->Button2, Qt::LeftButton); });
    QCOMPARE(pickTreeCode(TreeOwner::Page1, 0), int(QDialog::Rejected));
    QCOMPARE(changedEdits(page1.get()), QStringList{"edt_15_1"}); // cancel keeps Edt_15

    // Both library-classification drop-downs show the library tree; the root clears.
    for (int slot : {2, 3}) {
        shownClasses.clear();
        app.modals().then(choose(u("详细分类"), &shownClasses));
        pickTreeCode(TreeOwner::Page1, slot);
        QVERIFY(shownClasses.value(0).startsWith("A  "));
        QCOMPARE(editText(page1.get(), treeEditNameOf(TreeOwner::Page1, slot)), QString());
    }

    // Confirm with no node chosen: told so, nothing written, the window stays.
    app.modals().then([&](QDialog *dialog) {
        FormTree->TreeView1->clearSelection();
        QTest::mouseClick(FormTree->Button1, Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        QCOMPARE(app.boxes().last().text, u("请先选择一个分类！"));
    });
    QCOMPARE(pickTreeCode(TreeOwner::Page1, 0), int(QDialog::Rejected));
    QCOMPARE(editText(page1.get(), "Edt_15"), QString("old"));
}

// Stale flags of one form never steer a request of another.
void TestTreePicker::twoFormsInTurn()
{
    AppFixture app;
    auto page1 = standInForm(TreeOwner::Page1);
    auto page4a = standInForm(TreeOwner::Page4a);
    QCOMPARE(treeSlotOfDropDown(TreeOwner::Page4a, "cb_15_1"), 30);
    QCOMPARE(treeSlotOfDropDown(TreeOwner::Page1, "cb_15_1"), 1);

    // The unit profile's research field 3, then section 01's discipline number.
    app.modals().then(choose(u("1101410  演绎逻辑学")));
    pickTreeCode(TreeOwner::Page4a, 12);
    QCOMPARE(changedEdits(page4a.get()), QStringList{"edt_15_1_3"});
    QCOMPARE(TreeTargetPage4a[12], quint8(1)); // left raised, as the form keeps it

    QStringList shownClasses;
    app.modals().then(choose(u("A1  马克思、恩格斯著作"), &shownClasses));
    pickTreeCode(TreeOwner::Page1, 2);
    QCOMPARE(shownClasses.value(0).left(3), QString("A  "));
    QCOMPARE(changedEdits(page1.get()), QStringList{"edt_12"});
    QCOMPARE(editText(page4a.get(), "edt_15_1_3"), u("1101410  演绎逻辑学"));
    QCOMPARE(changedEdits(page4a.get()), QStringList{"edt_15_1_3"});
    QCOMPARE(QList<quint8>(std::begin(TreeTargetPage1), std::end(TreeTargetPage1)),
             QList<quint8>({0, 0, 1, 0, 0, 0}));

    // The high-tech table for the unit forms; a drop-down list as target.
    auto page10 = std::make_unique<QWidget>();
    auto *combo = new QComboBox(page10.get());
    setTreeTarget(TreeOwner::Page10, 3, combo);
    app.modals().then(choose(u("010101  高性能计算机及服务器")));
    pickTreeCode(TreeOwner::Page10, 3);
    QCOMPARE(combo->currentText(), u("010101  高性能计算机及服务器"));
    QCOMPARE(changedEdits(page4a.get()), QStringList{"edt_15_1_3"});

    // Shown with nobody asking (the last request ended): nothing to fill.
    app.modals().then([](QDialog *) {
        QCOMPARE(FormTree->TreeView1->topLevelItemCount(), 0);
        QTest::mouseClick(FormTree->Button2, Qt::LeftButton);
    });
    ui::showModal(FormTree);
    QCOMPARE(changedEdits(page1.get()), QStringList{"edt_12"});

    // An edit whose form is gone is skipped, not written through a dangling pointer.
    page1.reset();
    app.modals().then(choose(u("110  数学")));
    QCOMPARE(pickTreeCode(TreeOwner::Page1, 0), int(QDialog::Accepted));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, raiseTreeRequest(TreeOwner::Page1, 4));
}

// Rows out of the usual shape: missing parents, deep levels, bad levels.
void TestTreePicker::buildsOddTables()
{
    TempDir dir;
    writeTree(dir.path(), "odd.dbf",
              {{"2", "X1", u("孤二")}, {"1", "A", u("甲")}, {"2", "A1", u("甲一")}, {"3", "A11", u("甲一一")},
               {"4", "A111", u("甲四")}, {"5", "A1111", u("甲五")}, {"1", "B", u("乙")},
               {"3", "B11", u("乙缺二")}, {"0", "Z", u("零")}, {" 2", " B1 ", u("乙一 ")},
               {"x", "Y", u("坏")}, {"1", "C", u("丙")}});
    db::Table table;
    table.setDatabaseName(dir.path());
    table.setTableName("odd.dbf");
    QTreeWidget tree;
    QString error;
    try {
        BuildClassTree(&table, &tree);
    } catch (const db::DbError &e) {
        error = e.message();
    }
    QVERIFY2(error.contains("odd.dbf") && error.contains(u("第 11 行")) && error.contains(u("“x”")), qPrintable(error));
    QVERIFY(!table.active());

    QCOMPARE(topLevelTexts(&tree, 10), QStringList({u("详细分类"), u("X1  孤二"), u("B11  乙缺二")}));
    QTreeWidgetItem *root = tree.topLevelItem(0);
    QVERIFY(root->isExpanded());
    QCOMPARE(root->childCount(), 2); // A and B; Z of level 0 skipped, C after the bad row not reached
    QTreeWidgetItem *deep = tree.findItems(u("A1111  甲五"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(deep);
    QCOMPARE(deep->parent()->text(0), u("A111  甲四"));
    QCOMPARE(root->child(1)->child(0)->text(0), u("B1  乙一")); // trimmed, under B
}

// An absent optional table is told and the picker not shown; gxjs works
// even when both optional tables are absent.
void TestTreePicker::missingClassificationTables()
{
    AppFixture app;
    destroyApplication();
    for (const char *name : {"xkfl.dbf", "ztflh.dbf"})
        QVERIFY(QFile::remove(db::DbfFile::findFile(app.dataDir(), name)));
    createApplication(app.dataDir());
    QVERIFY(!HasXkfl && !HasZtflh);

    auto page4a = standInForm(TreeOwner::Page4a);
    QCOMPARE(pickTreeCode(TreeOwner::Page4a, 15), int(QDialog::Rejected));
    QCOMPARE(app.modals().shown(), QStringList());
    QCOMPARE(app.boxes().last().text, u("找不到分类表 xkfl.dbf，无法选择分类！"));
    QCOMPARE(changedEdits(page4a.get()), QStringList());

    app.modals().then(choose(u("01  电子信息")));
    QCOMPARE(pickTreeCode(TreeOwner::Page4a, 20), int(QDialog::Accepted));
    QCOMPARE(changedEdits(page4a.get()), QStringList{"edt_124_1_1"});
    QCOMPARE(editText(page4a.get(), "edt_124_1_1"), u("01  电子信息"));
    QCOMPARE(app.boxes().count(), 1);
}

QTEST_MAIN(TestTreePicker)
#include "tst_treepicker.moc"
