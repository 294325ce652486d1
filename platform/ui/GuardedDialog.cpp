#include "GuardedDialog.h"

#include "HandlerGuard.h"

#include <QCloseEvent>
#include <QPushButton>

namespace ui {

GuardedDialog::GuardedDialog(QWidget *parent) : QDialog(parent)
{
}

void GuardedDialog::closeNow(int result)
{
    m_closing = true;
    done(result);
    m_closing = false;
}

void GuardedDialog::reject()
{
    if (m_closing)
        QDialog::reject();
    else
        guarded([this] { leaveRequested(); });
}

void GuardedDialog::closeEvent(QCloseEvent *e)
{
    // The window manager's close box and Alt+F4 arrive here; the leave
    // routine decides and closes through closeNow() itself.
    e->ignore();
    if (!m_closing && isVisible())
        guarded([this] { leaveRequested(); });
}

void GuardedDialog::showEvent(QShowEvent *e)
{
    clearDefaultButtons(this);
    QDialog::showEvent(e);
}

void clearDefaultButtons(QWidget *window)
{
    for (QPushButton *b : window->findChildren<QPushButton *>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

} // namespace ui
