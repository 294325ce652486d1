#include "ScriptedModals.h"

#include <QDialog>
#include <QPointer>

namespace ui {

ScriptedModals::ScriptedModals()
{
    m_previous = setModalHandler([this](QDialog *dialog) { return run(dialog); });
}

ScriptedModals::~ScriptedModals()
{
    setModalHandler(std::move(m_previous));
}

void ScriptedModals::then(Script script)
{
    m_scripts << std::move(script);
}

int ScriptedModals::run(QDialog *dialog)
{
    m_shown << (dialog->objectName().isEmpty() ? QString::fromLatin1(dialog->metaObject()->className())
                                               : dialog->objectName());
    QPointer<QDialog> guard(dialog);
    // Like exec(): a fresh result, and the window on screen while it is worked.
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    if (!m_scripts.isEmpty())
        m_scripts.takeFirst()(dialog);
    if (guard && guard->isVisible()) {
        guard->close();
        // A window that refuses to close would keep exec() waiting for ever;
        // here it is simply hidden.
        if (guard && guard->isVisible())
            guard->hide();
    }
    const int result = guard ? guard->result() : int(QDialog::Rejected);
    m_results << result;
    return result;
}

} // namespace ui
