#include "HandlerGuard.h"

#include "MessageBox.h"
#include "SilentAbort.h"
#include "db/journal/Journal.h"

namespace ui {

namespace {

// An error with, the first time, what the user must know of tables left
// half changed until a restart (an operation that failed could not be
// taken back either).
QString withRefusalNotice(const QString &text)
{
    const QString notice = db::takeRefusalNotice();
    return notice.isEmpty() || text.contains(notice) ? text : text + QStringLiteral("\n\n") + notice;
}

// A handler that showed its own failure still leaves the notice to tell.
void tellRefusal()
{
    if (const QString notice = db::takeRefusalNotice(); !notice.isEmpty())
        showError(notice);
}

} // namespace

QString errorText(const std::exception &error)
{
    // The table engine's errors (and our own) carry UTF-8 in what().
    return QString::fromUtf8(error.what());
}

QString errorDetails(const std::exception &error)
{
    const auto *detailed = dynamic_cast<const ErrorDetails *>(&error);
    return detailed ? detailed->details() : QString();
}

bool guarded(const std::function<void()> &handler)
{
    try {
        handler();
        tellRefusal();
        return true;
    } catch (const SilentAbort &) {
        tellRefusal();
        return false;
    } catch (const std::exception &error) {
        showError(withRefusalNotice(errorText(error)), errorDetails(error));
        return false;
    } catch (...) {
        showError(withRefusalNotice(QStringLiteral("发生了未知的错误，操作没有完成。")));
        return false;
    }
}

QMetaObject::Connection connectGuarded(QAbstractButton *button, const QObject *context,
                                       std::function<void()> handler)
{
    return QObject::connect(button, &QAbstractButton::clicked, context,
                            [handler = std::move(handler)] { guarded(handler); });
}

} // namespace ui
