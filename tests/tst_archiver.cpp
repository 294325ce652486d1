#include "TempDir.h"
#include "archiver/Archiver.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QtTest>
#include <functional>

using namespace archiver;

namespace {

const QByteArray kKjcg = "2005000001\t.\t\"a\r\nb\"\r\n";
const QByteArray kUnit = QByteArray("9990001000\t\xBA\xBA\r\n");

// Runs the real arj by hand, as another installation would.
QByteArray arj(const QString &folder, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("arj", arguments);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitCode();
    return p.readAll();
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const ArchiverError &e) {
        return e.message() + '\n' + e.details();
    }
    return {};
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char ch : data) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

// An archive of the real arj whose member "ab/x.txt" is renamed "../x.txt",
// its header checksum mended so that arj takes it.
QByteArray withDotDotMember(const QByteArray &archive)
{
    QByteArray out = archive;
    const qsizetype name = out.indexOf("ab/x.txt");
    const qsizetype header = out.lastIndexOf("\x60\xEA", name);
    const int size = uchar(out[header + 2]) | uchar(out[header + 3]) << 8;
    out.replace(name, 2, "..");
    const quint32 crc = crc32(out.mid(header + 4, size));
    for (int i = 0; i < 4; ++i)
        out[header + 4 + size + i] = char(crc >> (8 * i));
    return out;
}

// A stand-in for arj on an otherwise empty PATH.
class FakeArj
{
public:
    explicit FakeArj(const QByteArray &script) : m_path(qgetenv("PATH"))
    {
        m_bin.write("arj", "#!/bin/sh\n" + script);
        QFile(m_bin.file("arj")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        qputenv("PATH", m_bin.path().toLocal8Bit());
    }
    ~FakeArj() { qputenv("PATH", m_path); }

private:
    TempDir m_bin;
    QByteArray m_path;
};

} // namespace

class TestArchiver : public QObject
{
    Q_OBJECT

private slots:
    void packAndUnpackWithArj();
    void refusesNamesWithPaths();
    void failuresAreErrors();
    void unreadableArchivesInTheUsersWords();
};

void TestArchiver::packAndUnpackWithArj()
{
    TempDir dir;
    dir.write("KJCG.TXT", kKjcg);
    dir.write("UNIT.TXT", kUnit);
    // A default switch that would garble the archive with a password.
    qputenv("ARJ_SW", "-gsecret");
    addFiles(dir.file("cgsbqy.arj"), {"KJCG.TXT", "UNIT.TXT"});
    qunsetenv("ARJ_SW");
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(entries(dir.path()), QStringList({"KJCG.TXT", "UNIT.TXT", "cgsbqy.arj"}));

    // arj itself reads what we packed, without a password.
    int code = -1;
    arj(dir.path(), {"t", "-y", "cgsbqy.arj"}, &code);
    QCOMPARE(code, 0);
    TempDir other;
    QFile::copy(dir.file("cgsbqy.arj"), other.file("CGSBQY.ARJ"));
    arj(other.path(), {"e", "-y", "CGSBQY.ARJ"}, &code);
    QCOMPARE(code, 0);
    QCOMPARE(other.read("KJCG.TXT"), kKjcg);
    QCOMPARE(other.read("UNIT.TXT"), kUnit);

    // Adding to an existing archive keeps its members.
    dir.write("EXPERT.TXT", "e\r\n");
    addFiles(dir.file("cgsbqy.arj"), {"EXPERT.TXT"});
    QCOMPARE(memberNames(dir.file("cgsbqy.arj")), QStringList({"KJCG.TXT", "UNIT.TXT", "EXPERT.TXT"}));

    // What arj packs we read: members matched without regard to case, each
    // written under the name asked for; a missing one is reported.
    TempDir in;
    in.write("kjcg.txt", kKjcg);
    in.write("Unit.Txt", kUnit);
    arj(in.path(), {"a", "-y", "PKG.ARJ", "kjcg.txt", "Unit.Txt"}, &code);
    QCOMPARE(code, 0);
    QFile::remove(in.file("kjcg.txt"));
    QFile::remove(in.file("Unit.Txt"));
    in.write("UNIT.TXT", "stale");
    QCOMPARE(extractMembers(in.file("PKG.ARJ"), {"KJCG.TXT", "UNIT.TXT", "ZLQK.TXT"}), QStringList({"ZLQK.TXT"}));
    QCOMPARE(entries(in.path()), QStringList({"KJCG.TXT", "PKG.ARJ", "UNIT.TXT"}));
    QCOMPARE(in.read("KJCG.TXT"), kKjcg);
    QCOMPARE(in.read("UNIT.TXT"), kUnit);
}

void TestArchiver::refusesNamesWithPaths()
{
    TempDir dir;
    QDir(dir.path()).mkpath("sub");
    QDir(dir.path()).mkpath("ab");
    dir.write("sub/KJCG.TXT", kKjcg);
    dir.write("ab/x.txt", "x");
    int code = -1;
    arj(dir.path(), {"a", "-y", "path.arj", "sub/KJCG.TXT"}, &code);
    arj(dir.path(), {"a", "-y", "dots.arj", "ab/x.txt"}, &code);
    QCOMPARE(code, 0);
    dir.write("dots.arj", withDotDotMember(dir.read("dots.arj")));
    QCOMPARE(memberNames(dir.file("dots.arj")), QStringList({"../x.txt"}));

    QVERIFY(errorOf([&] { extractMembers(dir.file("path.arj"), {"KJCG.TXT"}); }).contains("sub/KJCG.TXT"));
    QVERIFY(errorOf([&] { extractMembers(dir.file("dots.arj"), {"x.txt"}); }).contains("../x.txt"));
    QVERIFY(!errorOf([&] { extractMembers(dir.file("path.arj"), {"../KJCG.TXT"}); }).isEmpty());
    QVERIFY(!errorOf([&] { addFiles(dir.file("new.arj"), {"sub/KJCG.TXT"}); }).isEmpty());
    QVERIFY(!errorOf([&] { addFiles(dir.file("new.arj"), {"*.TXT"}); }).isEmpty());
    QCOMPARE(entries(dir.path()), QStringList({"ab", "dots.arj", "path.arj", "sub"}));
    QCOMPARE(entries(dir.path() + "/sub"), QStringList({"KJCG.TXT"}));
}

void TestArchiver::failuresAreErrors()
{
    TempDir dir;
    dir.write("KJCG.TXT", kKjcg);
    dir.write("cgsbqy.arj", "old archive");

    // Not an archive, or no archive at all: arj's own words, or ours.
    dir.write("bad.arj", "this is no archive");
    QVERIFY(errorOf([&] { extractMembers(dir.file("bad.arj"), {"KJCG.TXT"}); }).contains("not an ARJ archive"));
    QVERIFY(errorOf([&] { memberNames(dir.file("none.arj")); }).contains("none.arj"));
    QVERIFY(errorOf([&] { addFiles(dir.file("cgsbqy.arj"), {"KJCG.TXT", "ZLQK.TXT"}); }).contains("ZLQK.TXT"));

    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "");
        QVERIFY(errorOf([&] { addFiles(dir.file("cgsbqy.arj"), {"KJCG.TXT"}); }).contains("arj"));
        QVERIFY(!errorOf([&] { extractMembers(dir.file("cgsbqy.arj"), {"KJCG.TXT"}); }).isEmpty());
        qputenv("PATH", path);
    }
    {
        // A run that fails half-way leaves the archive as it was.
        FakeArj fake("for a; do case $a in *.arj) echo partial > \"$a\";; esac; done; echo disk full; exit 2\n");
        const QString error = errorOf([&] { addFiles(dir.file("cgsbqy.arj"), {"KJCG.TXT"}); });
        QVERIFY2(error.contains("disk full"), qPrintable(error));
    }
    {
        // One that never ends is stopped at the bound.
        FakeArj fake("exec /bin/sleep 60\n");
        const int before = setArjTimeLimit(200);
        QVERIFY(!errorOf([&] { addFiles(dir.file("cgsbqy.arj"), {"KJCG.TXT"}); }).isEmpty());
        setArjTimeLimit(before);
    }
    {
        // One that reports success without writing the archive.
        FakeArj fake("exit 0\n");
        QVERIFY(errorOf([&] { addFiles(dir.file("fresh.arj"), {"KJCG.TXT"}); }).contains("fresh.arj"));
    }
    QCOMPARE(dir.read("cgsbqy.arj"), QByteArray("old archive"));
    QCOMPARE(entries(dir.path()), QStringList({"KJCG.TXT", "bad.arj", "cgsbqy.arj"}));
    QVERIFY(!QGuiApplication::overrideCursor());
}

// A package arj cannot read is named for what it is, in one sentence; arj's
// transcript (over a thousand characters for a damaged one) stays in the
// details. An archive without members is no error: it has none.
void TestArchiver::unreadableArchivesInTheUsersWords()
{
    TempDir dir;
    dir.write("KJCG.TXT", kKjcg);
    dir.write("UNIT.TXT", QByteArray("unit profile line\r\n").repeated(400));
    int code = -1;
    arj(dir.path(), {"a", "-y", "good.arj", "KJCG.TXT", "UNIT.TXT"}, &code);
    const QByteArray good = dir.read("good.arj");
    QByteArray damaged = good;
    damaged[damaged.size() - 40] = char(damaged[damaged.size() - 40] ^ 0x55);
    // The main header and the end mark alone.
    const int headerSize = uchar(good[2]) | uchar(good[3]) << 8;
    const QByteArray noMembers = good.left(4 + headerSize + 4 + 2) + QByteArray("\x60\xEA\x00\x00", 4);

    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *cause;
    } cases[] = {
        {"damaged.arj", damaged, "压缩文件 damaged.arj 已损坏（不完整或数据出错），无法解开。"},
        {"truncated.arj", good.left(good.size() / 2), "压缩文件 truncated.arj 已损坏（不完整或数据出错），无法解开。"},
        {"zero.arj", {}, "文件 zero.arj 是空的（0 字节），不是 ARJ 压缩文件。"},
        {"text.arj", "KJCG\tnot packed\r\n", "文件 text.arj 不是 ARJ 压缩文件。"},
    };
    for (const auto &c : cases) {
        dir.write(c.name, c.bytes);
        try {
            extractMembers(dir.file(c.name), {"KJCG.TXT", "UNIT.TXT"});
            QFAIL(c.name);
        } catch (const ArchiverError &e) {
            QCOMPARE(e.message(), QString::fromUtf8(c.cause));
            QVERIFY2(e.details().contains("ARJ"), c.name);
        }
    }
    dir.write("empty.arj", noMembers);
    QCOMPARE(memberNames(dir.file("empty.arj")), QStringList());
    QCOMPARE(extractMembers(dir.file("empty.arj"), {"KJCG.TXT"}), QStringList{"KJCG.TXT"});
}

QTEST_MAIN(TestArchiver)
#include "tst_archiver.moc"
