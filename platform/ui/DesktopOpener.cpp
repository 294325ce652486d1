#include "DesktopOpener.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace ui {

namespace {

// How long the desktop's opener is waited for. It ends at once with a
// failure when no program takes such files; one that is still running
// after this has found its program (some openers stay with it until the
// user closes the document).
constexpr int kOpenerWait = 3000; // ms

DocumentOpener &installedOpener()
{
    static DocumentOpener opener;
    return opener;
}

// xdg-open, run as a process whose exit status tells: starting it in the
// background would count as opened whatever became of the file.
bool openWithDesktop(const QString &path)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty())
        return false;
    auto *process = new QProcess;
    process->setProgram(program);
    process->setArguments({path});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());

    bool finished = false;
    if (QCoreApplication::instance()) {
        QEventLoop loop;
        QObject::connect(process, &QProcess::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QObject::connect(process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                loop.quit();
        });
        QTimer::singleShot(kOpenerWait, &loop, &QEventLoop::quit);
        process->start();
        if (process->state() != QProcess::NotRunning)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    } else {
        process->start();
        finished = process->waitForStarted() && process->waitForFinished(kOpenerWait);
    }

    if (process->error() == QProcess::FailedToStart) {
        delete process;
        return false;
    }
    if (!finished && process->state() != QProcess::NotRunning) {
        // Still with the program it started: left to end on its own, never
        // killed, since that could take the user's document with it.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
}

} // namespace

bool openDocument(const QString &path)
{
    const DocumentOpener opener = installedOpener();
    return opener ? opener(path) : openWithDesktop(path);
}

DocumentOpener setDocumentOpener(DocumentOpener opener)
{
    std::swap(opener, installedOpener());
    return opener;
}

} // namespace ui
