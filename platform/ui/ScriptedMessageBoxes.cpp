#include "ScriptedMessageBoxes.h"

#include <QtGlobal>

namespace ui {

ScriptedMessageBoxes::ScriptedMessageBoxes()
{
    m_previous = setMessageBoxHandler([this](const MessageRequest &r) { return respond(r); });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    setMessageBoxHandler(std::move(m_previous));
}

void ScriptedMessageBoxes::answer(int answer)
{
    m_answers << answer;
}

void ScriptedMessageBoxes::answer(std::initializer_list<int> answers)
{
    for (int a : answers)
        m_answers << a;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList out;
    for (const MessageRequest &r : m_requests)
        out << r.text;
    return out;
}

MessageRequest ScriptedMessageBoxes::last() const
{
    return m_requests.isEmpty() ? MessageRequest{} : m_requests.last();
}

void ScriptedMessageBoxes::clear()
{
    m_requests.clear();
    m_answers.clear();
}

int ScriptedMessageBoxes::respond(const MessageRequest &request)
{
    m_requests << request;
    const QList<int> possible = answersFor(request.flags);
    if (m_answers.isEmpty())
        return possible.first();
    const int answer = m_answers.takeFirst();
    // A script that answers Yes to an OK box is out of step with the code it
    // drives; say so, so the test's author sees it.
    if (!possible.contains(answer) && answer != escapeAnswer(request.flags))
        qWarning("ScriptedMessageBoxes: answer %d cannot come from the box \"%s\"", answer,
                 qUtf8Printable(request.text));
    return answer;
}

} // namespace ui
