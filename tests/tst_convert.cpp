#include "AppFixture.h"
#include "OldPackage.h"
#include "Packages.h"
#include "Unitin.h"
#include "archiver/Archiver.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/HandlerGuard.h"
#include "ui/Seam.h"

#include <QtTest>

namespace {

const QStringList kCurrent{"CGWCDW.TXT", "CGWCR.TXT", "JDWYHMD.TXT", "KJCG.TXT", "ZLQK.TXT"};

// The five members under the old names of unit code d (or the current
// names when d is empty), each holding its own name.
QMap<QString, QByteArray> oldMembers(const QString &d)
{
    QMap<QString, QByteArray> members;
    const QStringList old{"KJCG", "CGDW", "CGWCR", "JDMD", "ZLQK"};
    const QStringList current{"KJCG", "CGWCDW", "CGWCR", "JDWYHMD", "ZLQK"};
    for (int i = 0; i < 5; ++i)
        members.insert((d.isEmpty() ? current[i] : old[i] + d) + ".TXT", current[i].toLatin1() + "\r\n");
    return members;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// 改名 on the file, as the user picks it.
void convert(const QString &file)
{
    ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &r) {
        return r.caption == u("请选择要改名的文件夹") ? file : QString();
    });
    Formin->Label7Click();
}

} // namespace

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void namesOfOldPackages();
    void convertsIntoTheCurrentPackage();
    void missingMemberOrWrongNameChangesNothing();
};

void TestConvert::namesOfOldPackages()
{
    QCOMPARE(OldPackageUnitCode("cgsb1.arj"), std::optional<QString>("1"));
    QCOMPARE(OldPackageUnitCode("CGSB12.ARJ"), std::optional<QString>("12"));
    QCOMPARE(OldPackageUnitCode("Cgsb12a.Arj"), std::optional<QString>("12a"));
    QCOMPARE(OldPackageUnitCode("CGSBQY.ARJ"), std::optional<QString>("QY"));
    for (const char *refused : {"CGSB1234.ARJ", "CGSB.ARJ", "XGSB1.ARJ", "CGSB1.ZIP", "CGSB1", "1.ARJ", "CGSB*.ARJ",
                                "CGSB1?.ARJ", "CGSB 1.ARJ"})
        QVERIFY2(!OldPackageUnitCode(refused), refused);
}

// Old names and current ones alike come out as a package of the five
// current members. One already there takes them in and keeps its other
// members; it is replaced only once the new one is complete.
void TestConvert::convertsIntoTheCurrentPackage()
{
    AppFixture app;
    TempDir folder;
    packWithArj(folder.path(), "cgsb7.arj", oldMembers("7"));
    // Current names, and the unit profile, which stays in the package.
    QMap<QString, QByteArray> current = oldMembers("");
    current.insert("UNIT.TXT", "UNIT\r\n");
    current.insert("EXPERT.TXT", "EXPERT\r\n");
    packWithArj(folder.path(), "CGSB123.ARJ", current);
    // A package already there, with the unit profile of its own.
    packWithArj(folder.path(), "cgsbqy.arj",
                {{"UNIT.TXT", "kept unit\r\n"}, {"EXPERT.TXT", "kept expert\r\n"}, {"KJCG.TXT", "stale\r\n"}});

    for (const char *old : {"cgsb7.arj", "CGSB123.ARJ"}) {
        app.boxes().clear();
        convert(folder.file(old));
        QCOMPARE(app.boxes().texts(), QStringList{u("你已改名成功!文件在") + QDir::toNativeSeparators(folder.file("cgsbqy.arj"))});
        QStringList members = archiver::memberNames(folder.file("cgsbqy.arj"));
        members.sort();
        QStringList expected = kCurrent + QStringList{"EXPERT.TXT", "UNIT.TXT"};
        expected.sort();
        QCOMPARE(members, expected);
        // The package's own profile stays until one that travels along replaces it.
        const bool ownProfile = QString(old).startsWith("cgsb7");
        QCOMPARE(arjMember(folder.file("cgsbqy.arj"), "UNIT.TXT"), QByteArray(ownProfile ? "kept unit\r\n" : "UNIT\r\n"));
        QCOMPARE(arjMember(folder.file("cgsbqy.arj"), "CGWCDW.TXT"), QByteArray("CGWCDW\r\n"));
        QCOMPARE(arjMember(folder.file("cgsbqy.arj"), "KJCG.TXT"), QByteArray("KJCG\r\n"));
        // Nothing else appears or goes.
        QCOMPARE(entries(folder.path()), QStringList({"CGSB123.ARJ", "cgsb7.arj", "cgsbqy.arj"}));
        QCOMPARE(ImportDir, folder.path() + QDir::separator());
    }
}

void TestConvert::missingMemberOrWrongNameChangesNothing()
{
    AppFixture app;
    TempDir folder;
    QMap<QString, QByteArray> lacking = oldMembers("5");
    lacking.remove("JDMD5.TXT");
    packWithArj(folder.path(), "CGSB5.ARJ", lacking);
    packWithArj(folder.path(), "CGSB1234.ARJ", oldMembers("1234"));
    packWithArj(folder.path(), "CGSB*.ARJ", oldMembers("*"));
    packWithArj(folder.path(), "cgsbqy.arj", {{"KJCG.TXT", "kept\r\n"}});
    const QByteArray kept = folder.read("cgsbqy.arj");
    QByteArray damaged = folder.read("CGSB5.ARJ");
    damaged.truncate(damaged.size() - 20);
    folder.write("CGSB6.ARJ", damaged);

    convert(folder.file("CGSB5.ARJ"));
    QCOMPARE(app.boxes().texts(), QStringList{u("包内文件不正确，可能有缺失!")});
    for (const char *wrong : {"CGSB1234.ARJ", "CGSB*.ARJ"}) {
        convert(folder.file(wrong));
        QCOMPARE(app.boxes().texts().last(), u("请选择正确文件,被改名的文件类似CGSBXXX.ARJ(XXX为数字)!"));
    }
    convert(QString()); // cancelled
    QCOMPARE(app.boxes().count(), 3);
    // A damaged package: the cause in one sentence, arj's words behind it.
    QVERIFY(!ui::guarded([&] { convert(folder.file("CGSB6.ARJ")); }));
    QCOMPARE(app.boxes().last().text, u("压缩文件 CGSB6.ARJ 已损坏（不完整或数据出错），无法解开。"));
    QVERIFY(app.boxes().last().details.contains("ARJ"));
    QCOMPARE(folder.read("cgsbqy.arj"), kept);
    QCOMPARE(entries(folder.path()), QStringList({"CGSB*.ARJ", "CGSB1234.ARJ", "CGSB5.ARJ", "CGSB6.ARJ", "cgsbqy.arj"}));

    // A package already there that arj cannot read is named and kept.
    TempDir other;
    packWithArj(other.path(), "CGSB5.ARJ", oldMembers("5"));
    other.write("CGSBQY.ARJ", "not an archive");
    QVERIFY(!ui::guarded([&] { convert(other.file("CGSB5.ARJ")); }));
    QCOMPARE(app.boxes().last().text, u("文件夹中原有的 CGSBQY.ARJ 已损坏或不是 ARJ 压缩文件，没有改动；请把它移走后再改名。"));
    QCOMPARE(other.read("CGSBQY.ARJ"), QByteArray("not an archive"));
    QCOMPARE(entries(other.path()), QStringList({"CGSB5.ARJ", "CGSBQY.ARJ"}));
}

QTEST_MAIN(TestConvert)
#include "tst_convert.moc"
