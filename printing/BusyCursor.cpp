#include "BusyCursor.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

BusyCursor::~BusyCursor()
{
    release();
}

bool BusyCursor::eventFilter(QObject *watched, QEvent *event)
{
    if (m_active && event->type() == QEvent::Show && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow())
        release();
    return false;
}

void BusyCursor::release()
{
    if (!m_active)
        return;
    m_active = false;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}
