// Qt's own file choosers as the windows open them: Chinese words, sizes and
// dates as the program writes them, and room for every column.
#include "AppFixture.h"
#include "Records.h"

#include "PrintUnit.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitin.h"
#include "report/Printing.h"
#include "text/Utf8.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <functional>

namespace {

// What the chooser shows of one entry: "name|size|type|date".
QString entry(QTreeView *view, const QString &name)
{
    QAbstractItemModel *model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int r = 0; r < model->rowCount(root); ++r)
        if (model->index(r, 0, root).data().toString() == name) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(root); ++c)
                cells << model->index(r, c, root).data().toString();
            return cells.join('|');
        }
    return {};
}

// The columns too narrow for their title or what they show, as "column: needed > width".
QStringList narrowColumns(QTreeView *view)
{
    QStringList out;
    const QAbstractItemView *items = view;
    for (int c = 1; c < view->model()->columnCount(view->rootIndex()); ++c) {
        const int needed = std::max(items->sizeHintForColumn(c), view->header()->sectionSizeHint(c));
        if (needed > view->header()->sectionSize(c))
            out << QString("%1: %2 > %3").arg(c).arg(needed).arg(view->header()->sectionSize(c));
    }
    return out;
}

// Opens the next chooser in folder, lets check look at its file list once
// it lists expected, and cancels it.
void inNextChooser(const QString &folder, const QString &expected, std::function<void(QTreeView *)> check)
{
    QTimer::singleShot(0, [=] {
        QFileDialog *dialog = nullptr;
        QVERIFY(QTest::qWaitFor([&] {
            dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            return dialog && dialog->isVisible();
        }));
        const auto cancel = qScopeGuard([dialog] { dialog->reject(); });
        dialog->setDirectory(folder);
        auto *view = dialog->findChild<QTreeView *>("treeView");
        QVERIFY(view && view->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return !entry(view, expected).isEmpty(); }));
        check(view);
        const QString shots = qEnvironmentVariable("CORVANE_SHOTS");
        if (!shots.isEmpty() && QDir().mkpath(shots))
            dialog->grab().save(QDir(shots).filePath(dialog->fileMode() == QFileDialog::Directory ? "chooser-folder.png"
                                                                                                 : "chooser-file.png"));
    });
}

} // namespace

class TestFileChoosers : public QObject
{
    Q_OBJECT

private slots:
    void choosersSpeakChineseWithRoomForTheirColumns();
};

void TestFileChoosers::choosersSpeakChineseWithRoomForTheirColumns()
{
    AppFixture app;
    TempDir place;
    QDir(place.path()).mkdir(u("上报"));
    place.write(u("成果.arj"), QByteArray(12345, 'x'));
    const QRegularExpression date("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}$");

    // The import package chooser.
    inNextChooser(place.path(), u("成果.arj"), [&](QTreeView *view) {
        const QStringList folder = entry(view, u("上报")).split('|');
        const QStringList package = entry(view, u("成果.arj")).split('|');
        QCOMPARE(folder.value(2), u("文件夹"));
        QCOMPARE(package.value(1), QString("12.1 kB"));
        QVERIFY2(date.match(package.value(3)).hasMatch(), qPrintable(package.value(3)));
        QCOMPARE(view->model()->headerData(3, Qt::Horizontal).toString(), u("修改日期"));
        QCOMPARE(narrowColumns(view), QStringList());
    });
    Formin->Button1Click();
    QVERIFY(Formin->Edit1->text().isEmpty());

    // The PDF folder chooser, where no printer is installed.
    if (report::printerInstalled())
        QSKIP("a printer is installed: printing would not offer the PDF folder");
    registerUnit();
    addRecord("2006000001", "1", u("应用"));
    completeRecord("2006000001");
    MainForm->show();
    MainForm->ComboBox1->setCurrentIndex(0);
    MainForm->ComboBox1Change();
    inNextChooser(place.path(), u("上报"), [&](QTreeView *view) {
        const QStringList folder = entry(view, u("上报")).split('|');
        QCOMPARE(folder.value(2), u("文件夹"));
        QVERIFY2(date.match(folder.value(3)).hasMatch(), qPrintable(folder.value(3)));
        QCOMPARE(narrowColumns(view), QStringList());
    });
    app.modals().then([](QDialog *) {
        PrintForm->Button4->click();
        PrintForm->zBitBtn5->click();
    });
    app.boxes().answer(ui::IDYES);
    MainForm->BitBtn4->click();
    QVERIFY(app.boxes().texts().join('\n').contains(u("没有安装打印机")));
}

QTEST_MAIN(TestFileChoosers)
#include "tst_filechoosers.moc"
