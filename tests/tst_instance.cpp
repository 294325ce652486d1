#include "instance/InstanceGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using instance::InstanceGuard;

// The test binary doubles as the other copy of the program:
//   --hold-lock HEXNAME  takes the lock, starts a long-running program of its
//                        own (as the archiver would be), says "held PID" and
//                        waits to be killed;
//   --try-lock HEXNAME   exits with the status of one acquire.
// Names travel hex-encoded so no locale can bend them.
namespace {

QString decodeName(const char *hex)
{
    return QString::fromUtf8(QByteArray::fromHex(hex));
}

int childMain(const char *mode, const char *hexName)
{
    InstanceGuard guard;
    const InstanceGuard::Status status = guard.acquire(decodeName(hexName));
    if (qstrcmp(mode, "--try-lock") == 0)
        return int(status);
    if (status != InstanceGuard::Acquired)
        return 1;
    qint64 pid = 0;
    QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("60")}, {}, &pid);
    std::printf("held %lld\n", pid);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lockFileNameIsSafeAndPerName();
    void guardsExcludeEachOtherUntilReleased();
    void otherProcessIsRefusedAtOnceAndCrashFreesTheLock();

private:
    QProcess *startHolder(qint64 *grandchild);
    int tryInChild();

    QString m_name;
};

void TestInstance::init()
{
    // The program's own title, made unique so a running copy is not disturbed.
    m_name = QStringLiteral("Corvane－【TavrinV4.0】/测试 %1 %2").arg(QCoreApplication::applicationPid()).arg(QTest::currentTestFunction());
}

void TestInstance::cleanup()
{
    for (const char *suffix : {"", "x", "y"})
        QFile::remove(InstanceGuard::lockFilePath(m_name + suffix));
}

QProcess *TestInstance::startHolder(qint64 *grandchild)
{
    auto *holder = new QProcess(this);
    holder->start(QCoreApplication::applicationFilePath(), {"--hold-lock", QString::fromLatin1(m_name.toUtf8().toHex())});
    *grandchild = 0;
    if (holder->waitForReadyRead(10000)) {
        const QList<QByteArray> words = holder->readAll().trimmed().split(' ');
        if (words.size() == 2 && words[0] == "held")
            *grandchild = words[1].toLongLong();
    }
    return holder;
}

int TestInstance::tryInChild()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--try-lock", QString::fromLatin1(m_name.toUtf8().toHex())});
    if (!child.waitForFinished(10000) || child.exitStatus() != QProcess::NormalExit)
        return -1;
    return child.exitCode();
}

void TestInstance::lockFileNameIsSafeAndPerName()
{
    const QString path = InstanceGuard::lockFilePath(m_name);
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(QDir::tempPath()).absolutePath());
    const QString file = QFileInfo(path).fileName();
    QVERIFY2(QRegularExpression("^[A-Za-z0-9._-]+$").match(file).hasMatch(), qPrintable(file));
    QCOMPARE(InstanceGuard::lockFilePath(m_name), path);
    // Names differing only in a full-width character are different locks.
    QVERIFY(InstanceGuard::lockFilePath(QStringLiteral("A－B")) != InstanceGuard::lockFilePath(QStringLiteral("A-B")));

    InstanceGuard guard;
    QCOMPARE(guard.acquire(m_name), InstanceGuard::Acquired);
    QVERIFY(QFile::exists(path));
}

void TestInstance::guardsExcludeEachOtherUntilReleased()
{
    InstanceGuard first, second, unrelated;
    QCOMPARE(first.acquire(m_name), InstanceGuard::Acquired);
    QCOMPARE(first.acquire(m_name), InstanceGuard::Acquired);
    QCOMPARE(second.acquire(m_name), InstanceGuard::HeldElsewhere);
    QVERIFY(!second.held());
    QVERIFY(second.errorString().isEmpty());
    QCOMPARE(unrelated.acquire(m_name + "x"), InstanceGuard::Acquired);
    QCOMPARE(tryInChild(), int(InstanceGuard::HeldElsewhere));

    first.release();
    QVERIFY(!first.held());
    QCOMPARE(second.acquire(m_name), InstanceGuard::Acquired);

    // Switching a guard to another name lets go of the first.
    QCOMPARE(second.acquire(m_name + "y"), InstanceGuard::Acquired);
    QCOMPARE(tryInChild(), int(InstanceGuard::Acquired));
}

void TestInstance::otherProcessIsRefusedAtOnceAndCrashFreesTheLock()
{
    qint64 grandchild = 0;
    QProcess *holder = startHolder(&grandchild);
    QVERIFY2(grandchild > 0, "the holder did not take the lock");
    // Whatever happens below, the holder's own program does not outlive the test.
    auto killGrandchild = qScopeGuard([grandchild] {
        if (grandchild > 0) // kill(0) would hit our whole process group
            ::kill(pid_t(grandchild), SIGKILL);
    });

    InstanceGuard guard;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(guard.acquire(m_name), InstanceGuard::HeldElsewhere);
    QVERIFY2(timer.elapsed() < 500, "a held lock must refuse without waiting");

    // SIGKILL: no destructor, no clean-up; the kernel alone drops the lock, even
    // while a program the holder started still runs.
    holder->kill();
    QVERIFY(holder->waitForFinished(10000));
    QCOMPARE(holder->exitStatus(), QProcess::CrashExit);
    QCOMPARE(::kill(pid_t(grandchild), 0), 0);
    QVERIFY(QFile::exists(InstanceGuard::lockFilePath(m_name)));
    QCOMPARE(guard.acquire(m_name), InstanceGuard::Acquired);
    QCOMPARE(tryInChild(), int(InstanceGuard::HeldElsewhere));
}

int main(int argc, char **argv)
{
    if (argc == 3 && (qstrcmp(argv[1], "--hold-lock") == 0 || qstrcmp(argv[1], "--try-lock") == 0))
        return childMain(argv[1], argv[2]);
    QCoreApplication app(argc, argv);
    TestInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance.moc"
