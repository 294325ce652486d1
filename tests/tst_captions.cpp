// No caption of any window is cut off with the installed CJK font. Every
// window the program creates at start-up is walked, so windows added later
// are held to the same rule.
#include "AppFixture.h"
#include "Captions.h"
#include "Records.h"
#include "ui/DBGrid.h"
#include "Unit1.h"
#include "UnitPage1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

#include <optional>

namespace {

// With CORVANE_SHOTS naming a folder, each window is also saved there as a
// picture, to be looked at.
void saveShot(QWidget *window, const QString &suffix = {})
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    const QString name = window->objectName().isEmpty() ? window->metaObject()->className() : window->objectName();
    window->grab().save(QDir(dir).filePath(name + suffix + ".png"));
}

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void noCaptionIsClipped()
    {
        const QWidgetList before = QApplication::topLevelWidgets();
        std::optional<AppFixture> app;
        app.emplace();
        QWidgetList windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!before.contains(w) && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip))
                windows << w;
        QVERIFY(windows.size() >= 10);

        QStringList clipped;
        for (QWidget *window : windows) {
            clipped += describeClippedCaptions(window);
            if (window != Fpage1)
                saveShot(window);
        }
        // Section 01 shows other controls and captions for the other categories.
        const auto showCategory = [](bool applied) {
            for (QWidget *w : std::initializer_list<QWidget *>{Fpage1->PL_123, Fpage1->Pl_124_1, Fpage1->cb_16,
                                                               Fpage1->cb_33, Fpage1->Cb_125_1})
                w->setVisible(applied);
            for (QWidget *w : std::initializer_list<QWidget *>{Fpage1->PL_200, Fpage1->cb_210})
                w->setVisible(!applied);
            Fpage1->Label22->setText(QString::fromUtf8(applied ? "所属高新科技领域" : "社会经济目标"));
        };
        for (const bool applied : {true, false}) {
            showCategory(applied);
            clipped += describeClippedCaptions(Fpage1);
            saveShot(Fpage1, applied ? "" : "-other");
        }
        for (const QString &line : clipped)
            qWarning("%s", qPrintable(line));
        QVERIFY2(clipped.isEmpty(), "captions cut off: see the lines above");
    }

    // No drop-down list of a section or its row dialogs cuts an item it
    // lists, nor does the record list cut a management number of twenty wide
    // letters.
    void noListItemIsCut()
    {
        AppFixture app;
        showWithRecords({{"2005000001", "1", QString::fromUtf8("新型材料")}});
        setRecordField("2005000001", "ITEM_120", QString(20, QLatin1Char('W')));
        MainForm->RefreshRecordList();
        QStringList cut = describeCutColumns(MainForm->DBGrid1);
        const auto measure = [&](QDialog *window) {
            cut += describeCutComboItems(window);
            // A list section's row dialog, opened by its 新增.
            if (auto *add = window->findChild<QAbstractButton *>("Button2"); add && window->findChild<DBGrid *>()) {
                app.modals().then([&](QDialog *row) {
                    cut += describeCutComboItems(row);
                    row->hide();
                });
                add->click();
            }
            window->hide();
        };
        for (QAbstractButton *section : {MainForm->btn_page01, MainForm->btn_page02, MainForm->btn_page03,
                                         MainForm->btn_page04, MainForm->btn_page05, MainForm->btn_page07,
                                         MainForm->btn_page08, MainForm->btn_page09}) {
            app.modals().then(measure);
            section->click();
        }
        // The lists the other categories show in sections 01 and 03.
        addRecord("2005000002", "2", QString::fromUtf8("软科学成果"));
        MainForm->ComboBox1->setCurrentIndex(1);
        MainForm->ComboBox1Change();
        QCOMPARE(listed(), QStringList{QString::fromUtf8("软科学成果")});
        for (QAbstractButton *section : {MainForm->btn_page01, MainForm->btn_page03}) {
            app.modals().then(measure);
            section->click();
        }
        QCOMPARE(app.modals().shown().size(), 14);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
    }

    // Tests and routines find controls by name; uic would quietly rename a
    // second control of the same name.
    void everyControlHasItsOwnName()
    {
        const QDir layouts(CORVANE_UI_DIR);
        const QStringList files = layouts.entryList({"*.ui"}, QDir::Files);
        QVERIFY(files.size() >= 30);
        QStringList repeated;
        for (const QString &file : files) {
            QFile f(layouts.filePath(file));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&f);
            QSet<QString> names;
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement() || (xml.name() != u"widget" && xml.name() != u"layout"))
                    continue;
                const QString name = xml.attributes().value("name").toString();
                if (!name.isEmpty() && names.contains(name))
                    repeated << file + ": " + name;
                names.insert(name);
            }
            QVERIFY2(!xml.hasError(), qPrintable(file + ": " + xml.errorString()));
        }
        QCOMPARE(repeated, QStringList());
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
