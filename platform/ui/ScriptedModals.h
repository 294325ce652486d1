#pragma once
// For tests: works modal windows from a queue of scripts instead of exec().
// Each window is shown (so its show-time code runs), handed to the next
// script, and closed as the user's close button would if the script left it
// open. Installs itself for its lifetime and puts back the handler before it.
#include "ModalWindows.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace ui {

class ScriptedModals
{
public:
    using Script = std::function<void(QDialog *)>;

    ScriptedModals();
    ~ScriptedModals();
    ScriptedModals(const ScriptedModals &) = delete;
    ScriptedModals &operator=(const ScriptedModals &) = delete;

    // The script for the next window not yet scripted. Windows beyond the
    // scripts are closed at once.
    void then(Script script);
    int unusedScripts() const { return int(m_scripts.size()); }

    // objectName (class name when it has none) of every window shown, in order.
    const QStringList &shown() const { return m_shown; }
    const QList<int> &results() const { return m_results; }

private:
    int run(QDialog *dialog);

    QList<Script> m_scripts;
    QStringList m_shown;
    QList<int> m_results;
    ModalHandler m_previous;
};

} // namespace ui
