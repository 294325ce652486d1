#include "instance/InstanceGuard.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using instance::InstanceGuard;

namespace {

// The test binary doubles as the other copy of the program: "--hold-lock HEX
// [FOLDER]" takes the lock (and the folder's), starts a long-running program
// of its own (as the archiver would be), says "held PID" and waits to be
// killed. The name travels hex-encoded past the locale.
int holdLock(const char *hexName, const char *folder)
{
    InstanceGuard guard, folderGuard;
    if (guard.acquire(QString::fromUtf8(QByteArray::fromHex(hexName))) != InstanceGuard::Acquired)
        return 1;
    if (folder && folderGuard.acquireFolder(QString::fromLocal8Bit(folder)) != InstanceGuard::Acquired)
        return 1;
    qint64 pid = 0;
    QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("60")}, {}, &pid);
    std::printf("held %lld\n", pid);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

// The program's own title, made unique so a running copy is not disturbed.
const QString Name = QStringLiteral("Corvane－【TavrinV4.0】/测试 %1").arg(::getpid());

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (const char *suffix : {"", "y"})
            QFile::remove(InstanceGuard::lockFilePath(Name + suffix));
    }

    void guardsExcludeEachOtherUntilReleased()
    {
        // The title's Chinese and full-width characters never reach the file name.
        const QString file = QFileInfo(InstanceGuard::lockFilePath(Name)).fileName();
        QVERIFY2(QRegularExpression("^[A-Za-z0-9._-]+$").match(file).hasMatch(), qPrintable(file));
        QVERIFY(InstanceGuard::lockFilePath("A－B") != InstanceGuard::lockFilePath("A-B"));

        InstanceGuard first, second;
        QCOMPARE(first.acquire(Name), InstanceGuard::Acquired);
        QCOMPARE(first.acquire(Name), InstanceGuard::Acquired);
        QCOMPARE(second.acquire(Name), InstanceGuard::HeldElsewhere);
        QVERIFY(!second.held());
        first.release();
        QCOMPARE(second.acquire(Name), InstanceGuard::Acquired);
        // Switching a guard to another name lets go of the first.
        QCOMPARE(second.acquire(Name + "y"), InstanceGuard::Acquired);
        QCOMPARE(first.acquire(Name), InstanceGuard::Acquired);
    }

    void otherProcessIsRefusedAtOnceAndCrashFreesTheLock()
    {
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"--hold-lock", QString::fromLatin1(Name.toUtf8().toHex())});
        QVERIFY(holder.waitForReadyRead(10000));
        const QList<QByteArray> words = holder.readAll().trimmed().split(' ');
        const qint64 grandchild = words.value(0) == "held" ? words.value(1).toLongLong() : 0;
        QVERIFY2(grandchild > 0, "the holder did not take the lock");
        auto killGrandchild = qScopeGuard([grandchild] { ::kill(pid_t(grandchild), SIGKILL); });

        // A lock that waited would hang here until the test's time runs out.
        InstanceGuard guard;
        QCOMPARE(guard.acquire(Name), InstanceGuard::HeldElsewhere);

        // SIGKILL runs no clean-up; the lock must drop even while the program
        // the holder started still runs.
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(::kill(pid_t(grandchild), 0), 0);
        QCOMPARE(guard.acquire(Name), InstanceGuard::Acquired);
    }

    // Another user runs the program with a runtime folder of their own: the
    // same name does not shut either out, the same data folder does.
    void namesAreTheUsersOwnAndFoldersEveryonesOwn()
    {
        QTemporaryDir otherRuntime, data, otherData;
        // The user's lock lies in the session's runtime folder, or else
        // carries the user's id in the shared temp folder.
        {
            const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
            auto restore = qScopeGuard([&] {
                runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
            });
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(otherRuntime.path()));
            QCOMPARE(QFileInfo(InstanceGuard::lockFilePath(Name)).absolutePath(), otherRuntime.path());
            qunsetenv("XDG_RUNTIME_DIR");
            const QFileInfo shared(InstanceGuard::lockFilePath(Name));
            QCOMPARE(shared.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
            QVERIFY(shared.fileName().startsWith(QString::number(::getuid()) + "-"));
        }
        // There another user could make the file first: it is not taken.
        if (::getuid() == 0) {
            const QString planted = InstanceGuard::lockFilePath(Name + "z");
            QFile file(planted);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            auto remove = qScopeGuard([&] { QFile::remove(planted); });
            QCOMPARE(::chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
            InstanceGuard guard;
            QCOMPARE(guard.acquire(Name + "z"), InstanceGuard::Failed);
            QVERIFY(guard.errorString().contains(planted));
        }

        const QString dataFolder = data.filePath(QStringLiteral("数据/data")); // made by the guard
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime.path());
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(),
                     {"--hold-lock", QString::fromLatin1(Name.toUtf8().toHex()), dataFolder});
        QVERIFY(holder.waitForReadyRead(10000));
        const QList<QByteArray> words = holder.readAll().trimmed().split(' ');
        const qint64 grandchild = words.value(0) == "held" ? words.value(1).toLongLong() : 0;
        QVERIFY2(grandchild > 0, "the holder did not take its locks");
        auto cleanUp = qScopeGuard([&] {
            ::kill(pid_t(grandchild), SIGKILL);
            holder.kill();
            holder.waitForFinished(10000);
        });

        InstanceGuard mine, folder, elsewhere;
        QCOMPARE(mine.acquire(Name), InstanceGuard::Acquired);
        QCOMPARE(folder.acquireFolder(dataFolder), InstanceGuard::HeldElsewhere);
        QCOMPARE(folder.acquireFolder(data.filePath(QStringLiteral("数据/./data"))), InstanceGuard::HeldElsewhere);
        QCOMPARE(elsewhere.acquireFolder(otherData.path()), InstanceGuard::Acquired);
        // Listings of a data folder pass its lock by.
        QCOMPARE(QDir(otherData.path()).entryList(QDir::Files), QStringList());
        QVERIFY(QFileInfo::exists(InstanceGuard::folderLockPath(otherData.path())));

        // A folder that cannot be made is a failure, not a lock held elsewhere.
        QCOMPARE(elsewhere.acquireFolder(InstanceGuard::folderLockPath(otherData.path()) + "/sub"), InstanceGuard::Failed);
        QVERIFY(!elsewhere.held() && !elsewhere.errorString().isEmpty());
    }
};

int main(int argc, char **argv)
{
    if ((argc == 3 || argc == 4) && qstrcmp(argv[1], "--hold-lock") == 0)
        return holdLock(argv[2], argc == 4 ? argv[3] : nullptr);
    QCoreApplication app(argc, argv);
    TestInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance.moc"
