#include "AppFixture.h"
#include "Startup.h"
#include "TreePicks.h"
#include "TreeRequests.h"
#include "UnitDM.h"
#include "Unittree.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// A calling form: an edit holding "old" for each target slot, named as the real form names it.
std::unique_ptr<QWidget> standInForm(TreeOwner owner)
{
    auto form = std::make_unique<QWidget>();
    for (int slot = 0; slot < int(treeFlags(owner).size()); ++slot) {
        const QString name = treeEditNameOf(owner, slot);
        if (!name.isEmpty() && !form->findChild<QLineEdit *>(name))
            (new QLineEdit("old", form.get()))->setObjectName(name);
    }
    setTreeTargets(owner, form.get());
    return form;
}

// "name=text" of every edit of the form no longer holding "old".
QStringList changed(QWidget *form)
{
    QStringList out;
    for (QLineEdit *e : form->findChildren<QLineEdit *>())
        if (e->text() != "old")
            out << e->objectName() + "=" + e->text();
    return out;
}

// The tree by codes, children in brackets: "A(A1 A2) B".
QString codes(QTreeWidgetItem *item)
{
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << codes(item->child(i));
    const QString code = item->text(0).section("  ", 0, 0);
    return children.isEmpty() ? code : code + "(" + children.join(' ') + ")";
}

} // namespace

class TestTreePicker : public QObject
{
    Q_OBJECT

private slots:
    // Each request fills only the edit asked for, from its own table, and
    // flags another form left raised never steer it.
    void picksIntoRequestingEdit()
    {
        AppFixture app;
        auto page1 = standInForm(TreeOwner::Page1);
        auto page4a = standInForm(TreeOwner::Page4a);

        app.modals().then(choose(u("1101410  演绎逻辑学")));
        QCOMPARE(pickTreeCode(TreeOwner::Page4a, 12), int(QDialog::Accepted));
        QCOMPARE(changed(page4a.get()), QStringList{u("edt_15_1_3=1101410  演绎逻辑学")});
        QCOMPARE(page4a->findChild<QLineEdit *>("edt_15_1_3")->cursorPosition(), 0); // the code in view
        QCOMPARE(DM->Table1->tableName(), QString("xkfl.dbf"));
        QVERIFY(!DM->Table1->active());
        QCOMPARE(FormTree->TreeView1->topLevelItemCount(), 0); // only while shown

        app.modals().then(choose(u("A1  马克思、恩格斯著作")));
        pickTreeCode(TreeOwner::Page1, 2);
        QCOMPARE(DM->Table1->tableName(), QString("ztflh.dbf"));
        QCOMPARE(changed(page1.get()), QStringList{u("edt_12=A1  马克思、恩格斯著作")});
        app.modals().then(choose(u("详细分类"))); // the root clears
        pickTreeCode(TreeOwner::Page1, 2);
        QCOMPARE(changed(page1.get()), QStringList{"edt_12="});

        // Nothing chosen: told so and the window stays; then cancel keeps the edit.
        app.modals().then([&](QDialog *dialog) {
            QTest::mouseClick(FormTree->Button1, Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QCOMPARE(app.boxes().last().text, u("请先选择一个分类！"));
            QTest::mouseClick(FormTree->Button2, Qt::LeftButton);
        });
        QCOMPARE(pickTreeCode(TreeOwner::Page1, 0), int(QDialog::Rejected));
        QCOMPARE(changed(page1.get()), QStringList{"edt_12="});

        // The high-tech table for the unit forms; a drop-down list as target.
        QComboBox combo;
        setTreeTarget(TreeOwner::Page10, 3, &combo);
        app.modals().then(choose(u("010101  高性能计算机及服务器")));
        pickTreeCode(TreeOwner::Page10, 3);
        QCOMPARE(combo.currentText(), u("010101  高性能计算机及服务器"));
        QCOMPARE(changed(page4a.get()), QStringList{u("edt_15_1_3=1101410  演绎逻辑学")});

        // Shown with nobody asking (the last request ended): nothing to fill.
        app.modals().then([](QDialog *) {
            QCOMPARE(FormTree->TreeView1->topLevelItemCount(), 0);
            QTest::mouseClick(FormTree->Button2, Qt::LeftButton);
        });
        ui::showModal(FormTree);

        // An edit whose form is gone is skipped, not written through a dangling pointer.
        page1.reset();
        app.modals().then(choose(u("110  数学")));
        QCOMPARE(pickTreeCode(TreeOwner::Page1, 0), int(QDialog::Accepted));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, raiseTreeRequest(TreeOwner::Page1, 4));

        // An absent optional table is told and the picker not shown; gxjs still works.
        destroyApplication();
        for (const char *name : {"xkfl.dbf", "ztflh.dbf"})
            QVERIFY(QFile::remove(db::DbfFile::findFile(app.dataDir(), name)));
        createApplication(app.dataDir());
        setTreeTargets(TreeOwner::Page4a, page4a.get()); // the new windows took the slots
        const int shown = app.modals().shown().size(), boxes = app.boxes().count();
        QCOMPARE(pickTreeCode(TreeOwner::Page4a, 15), int(QDialog::Rejected));
        QCOMPARE(app.modals().shown().size(), shown);
        QCOMPARE(app.boxes().last().text, u("找不到分类表 xkfl.dbf，无法选择分类！"));
        app.modals().then(choose(u("01  电子信息")));
        QCOMPARE(pickTreeCode(TreeOwner::Page4a, 20), int(QDialog::Accepted));
        QCOMPARE(app.boxes().count(), boxes + 1);
        QCOMPARE(changed(page4a.get()), QStringList({u("edt_15_1_3=1101410  演绎逻辑学"), u("edt_124_1_1=01  电子信息")}));
    }

    // Rows out of the usual shape: missing parents, deep levels, bad levels.
    void buildsOddTables()
    {
        TempDir dir;
        db::DbfFile::create(dir.path(), "odd.dbf", {{"JB", 'C', 2}, {"XXDM", 'C', 12}, {"XXMC", 'C', 100}});
        db::Table table;
        table.setDatabaseName(dir.path());
        table.setTableName("odd.dbf");
        table.open();
        const char *rows[][3] = {{"2", "X1", "孤二"}, {"1", "A", "甲"}, {"2", "A1", "甲一"}, {"3", "A11", "甲一一"},
                                 {"4", "A111", "甲四"}, {"5", "A1111", "甲五"}, {"1", "B", "乙"}, {"3", "B11", "乙缺二"},
                                 {"0", "Z", "零"}, {" 2", " B1 ", "乙一 "}, {"x", "Y", "坏"}, {"1", "C", "丙"}};
        for (const auto &row : rows) {
            table.append();
            for (int i = 0; i < 3; ++i)
                table.field(i)->setAsString(u(row[i]));
            table.post();
        }
        QTreeWidget tree;
        QString error;
        try {
            BuildClassTree(&table, &tree);
        } catch (const db::DbError &e) {
            error = e.message();
        }
        QVERIFY2(error.contains("odd.dbf") && error.contains(u("第 11 行")) && error.contains(u("“x”")), qPrintable(error));
        QVERIFY(!table.active());

        // Orphans at the top, level 0 skipped, C after the bad row not reached.
        QCOMPARE(codes(tree.invisibleRootItem()), u("(详细分类(A(A1(A11(A111(A1111)))) B(B1)) X1 B11)"));
        QVERIFY(tree.topLevelItem(0)->isExpanded());
        QCOMPARE(tree.topLevelItem(0)->child(1)->child(0)->text(0), u("B1  乙一"));
    }
};

QTEST_MAIN(TestTreePicker)
#include "tst_treepicker.moc"
