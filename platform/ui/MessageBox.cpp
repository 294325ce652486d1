#include "MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

MessageBoxHandler &installedHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::Icon iconFor(int flags)
{
    switch (flags & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Caption and role of each answer's button.
struct AnswerButton
{
    int answer;
    const char *text;
    QMessageBox::ButtonRole role;
};

const AnswerButton &buttonFor(int answer)
{
    static const AnswerButton buttons[] = {
        {IDOK, "确定", QMessageBox::AcceptRole},
        {IDCANCEL, "取消", QMessageBox::RejectRole},
        {IDYES, "是", QMessageBox::YesRole},
        {IDNO, "否", QMessageBox::NoRole},
    };
    for (const AnswerButton &b : buttons)
        if (b.answer == answer)
            return b;
    return buttons[3];
}

} // namespace

QList<int> answersFor(int flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    default:
        return {IDOK};
    }
}

int escapeAnswer(int flags)
{
    const QList<int> answers = answersFor(flags);
    return (flags & MB_ESCAPECANCELS) || answers.contains(IDCANCEL) ? IDCANCEL : answers.last();
}

namespace {

// Escape and the close button leave it without any of its buttons, when
// asked to: QMessageBox itself would answer with 否.
class Box : public QMessageBox
{
public:
    Box(QWidget *parent, bool escapeWithoutButton) : QMessageBox(parent), m_escapeWithoutButton(escapeWithoutButton) {}

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (m_escapeWithoutButton && e->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent *e) override
    {
        if (m_escapeWithoutButton)
            QDialog::closeEvent(e);
        else
            QMessageBox::closeEvent(e);
    }

private:
    bool m_escapeWithoutButton;
};

// Window managers draw the caption in a larger, bold font beside their own
// buttons; a box only as wide as its text shows its caption cut off ("C…").
void leaveRoomForCaption(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid || box.windowTitle().isEmpty())
        return;
    const int width = captionRoom(box.windowTitle(), box.font());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

int captionRoom(const QString &caption, const QFont &font)
{
    QFont title = font;
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    // The title bar's icon and its three buttons.
    return QFontMetrics(title).horizontalAdvance(caption) + 150;
}

int execMessageBox(const MessageRequest &request)
{
    Box box(QApplication::activeWindow(), request.flags & MB_ESCAPECANCELS);
    box.setWindowTitle(request.caption);
    // Error texts carry file names and engine messages; '<' must not turn
    // them into markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setIcon(iconFor(request.flags));
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);

    const QList<int> answers = answersFor(request.flags);
    QHash<QAbstractButton *, int> answerOf;
    QList<QPushButton *> buttons;
    for (int answer : answers) {
        QPushButton *button = box.addButton(QString::fromUtf8(buttonFor(answer).text), buttonFor(answer).role);
        answerOf.insert(button, answer);
        buttons << button;
        if (answer == IDCANCEL)
            box.setEscapeButton(button);
    }
    const int first = (request.flags & MB_DEFMASK) >> 8;
    box.setDefaultButton(buttons.value(first, buttons.first()));
    leaveRoomForCaption(box);

    box.exec();
    // Closing the window without a button counts as its escape answer.
    return answerOf.value(box.clickedButton(), escapeAnswer(request.flags));
}

namespace {

int ask(const MessageRequest &request)
{
    // A copy: the handler may replace itself while it runs.
    const MessageBoxHandler handler = installedHandler();
    return handler ? handler(request) : execMessageBox(request);
}

} // namespace

int messageBox(const QString &text, const QString &caption, int flags)
{
    return ask({text, caption, flags, {}});
}

void showError(const QString &text, const QString &details)
{
    ask({text, QCoreApplication::applicationName(), MB_OK | MB_ICONSTOP, details});
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler)
{
    std::swap(handler, installedHandler());
    return handler;
}

} // namespace ui
