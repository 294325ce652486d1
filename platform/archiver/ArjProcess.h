#pragma once
// One run of Debian's arj: started with an argument list (no shell) in a
// given folder, standard input closed, no default switches from ARJ_SW.
// The caller's window keeps repainting meanwhile (an event loop runs, user
// input waits, the cursor shows the wait), and the wait has a bound.
#include "ui/HandlerGuard.h"

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace archiver {

// A missing archiver, a failed run or a refused archive; what() is one
// sentence in UTF-8 for the user, the details hold the archiver's own
// output where there is any, and the exit status of a failed run is kept.
class ArchiverError : public std::runtime_error, public ui::ErrorDetails
{
public:
    explicit ArchiverError(const QString &message, const QString &details = {}, int exitCode = -1);
    QString message() const { return m_message; }
    QString details() const override { return m_details; }
    int exitCode() const { return m_exitCode; }

private:
    QString m_message;
    QString m_details;
    int m_exitCode;
};

// Runs arj with arguments in folder and returns its output. Throws when arj
// is not found, does not start, outlives the bound (it is then killed) or
// ends with an exit status other than 0.
QString runArj(const QString &folder, const QStringList &arguments);

// The bound of one run in milliseconds; returns the one it replaces.
int setArjTimeLimit(int milliseconds);

} // namespace archiver
