#include "FixedSize.h"

#include <QEvent>
#include <QWidget>

namespace ui {

namespace {

// Maximizing goes around the size limits on some platforms and window
// managers; the window is put back to its normal state and size.
class FixedSizeKeeper : public QObject
{
public:
    explicit FixedSizeKeeper(QWidget *window)
        : QObject(window), m_window(window)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::WindowStateChange) {
            const Qt::WindowStates state = m_window->windowState();
            if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
                m_window->setWindowState(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        }
        return false;
    }

private:
    QWidget *m_window;
};

} // namespace

void fixWindowSize(QWidget *window, int width, int height)
{
    // Minimum and maximum both set: resize(), setGeometry() and a layout's own
    // minimum size are held to it, and window managers offer no resizing for
    // a window whose size hints agree.
    window->setFixedSize(width, height);
    const QString keeperName = QStringLiteral("fixedSizeKeeper");
    if (window->isWindow() && !window->findChild<QObject *>(keeperName, Qt::FindDirectChildrenOnly)) {
        auto *keeper = new FixedSizeKeeper(window);
        keeper->setObjectName(keeperName);
        window->installEventFilter(keeper);
    }
}

} // namespace ui
