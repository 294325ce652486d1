#include "ArjProcess.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace archiver {

namespace {

int &timeLimit()
{
    static int ms = 10 * 60 * 1000;
    return ms;
}

// The wait cursor for the length of a run, where there is a screen.
class BusyCursor
{
public:
    BusyCursor() : m_on(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_on;
};

// The end of the output, enough to show what went wrong.
QString tail(const QByteArray &output)
{
    constexpr qsizetype kShown = 4000;
    const QString text = QString::fromLocal8Bit(output).trimmed();
    return text.size() > kShown ? QStringLiteral("…") + text.right(kShown) : text;
}

} // namespace

ArchiverError::ArchiverError(const QString &message, const QString &details, int exitCode)
    : std::runtime_error(message.toStdString()), m_message(message), m_details(details), m_exitCode(exitCode)
{
}

int setArjTimeLimit(int milliseconds)
{
    std::swap(milliseconds, timeLimit());
    return milliseconds;
}

QString runArj(const QString &folder, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("arj"));
    if (program.isEmpty())
        throw ArchiverError(QString::fromUtf8("找不到压缩程序 arj（系统中没有安装 arj）。"));

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ARJ_SW"));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);

    BusyCursor busy;
    bool timedOut = false;
    if (QCoreApplication::instance()) {
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                loop.quit();
        });
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        process.start();
        if (process.state() != QProcess::NotRunning) {
            bound.start(timeLimit());
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
    } else {
        process.start();
        timedOut = process.waitForStarted() && !process.waitForFinished(timeLimit());
    }

    if (process.error() == QProcess::FailedToStart)
        throw ArchiverError(QString::fromUtf8("无法启动压缩程序 arj：%1").arg(process.errorString()));
    if (timedOut || process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        throw ArchiverError(QString::fromUtf8("压缩程序 arj 在 %1 秒内没有结束，已被终止。").arg(timeLimit() / 1000),
                            tail(process.readAll()));
    }
    const QByteArray output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        throw ArchiverError(QString::fromUtf8("压缩程序 arj 运行失败（退出状态 %1）。").arg(status), tail(output), status);
    }
    return QString::fromLocal8Bit(output);
}

} // namespace archiver
