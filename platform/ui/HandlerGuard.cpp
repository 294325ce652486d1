#include "HandlerGuard.h"

#include "MessageBox.h"
#include "SilentAbort.h"

namespace ui {

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
        return true;
    } catch (const SilentAbort &) {
        return false;
    } catch (const std::exception &error) {
        showError(errorText(error), errorDetails(error));
        return false;
    } catch (...) {
        showError(QStringLiteral("发生了未知的错误，操作没有完成。"));
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
