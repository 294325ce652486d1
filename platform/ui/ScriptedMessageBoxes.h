#pragma once
// For tests: answers message boxes from a queue and records every box asked
// for. Installs itself for its lifetime and puts back the handler before it.
#include "MessageBox.h"

#include <QList>
#include <QStringList>
#include <initializer_list>

namespace ui {

class ScriptedMessageBoxes
{
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes &) = delete;
    ScriptedMessageBoxes &operator=(const ScriptedMessageBoxes &) = delete;

    // Answers for the next boxes, in order. Once they run out, a box gets its
    // first button: OK or Yes.
    void answer(int answer);
    void answer(std::initializer_list<int> answers);
    int unusedAnswers() const { return int(m_answers.size()); }

    const QList<MessageRequest> &requests() const { return m_requests; }
    int count() const { return int(m_requests.size()); }
    QStringList texts() const;
    // The latest box; an empty request when none was shown.
    MessageRequest last() const;
    void clear();

private:
    int respond(const MessageRequest &request);

    QList<MessageRequest> m_requests;
    QList<int> m_answers;
    MessageBoxHandler m_previous;
};

} // namespace ui
