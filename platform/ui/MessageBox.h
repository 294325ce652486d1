#pragma once
// The one message box routine. Callers pass Windows-style flags and get
// Windows answer codes back, because the windows were written against them.
// Every box goes through one replaceable handler so tests can answer boxes
// without a display.
#include <QList>
#include <QString>
#include <functional>

class QFont;

namespace ui {

// Button sets (low four bits).
constexpr int MB_OK = 0x00;
constexpr int MB_OKCANCEL = 0x01;
constexpr int MB_YESNOCANCEL = 0x03;
constexpr int MB_YESNO = 0x04;
// Icons.
constexpr int MB_ICONHAND = 0x10;
constexpr int MB_ICONSTOP = MB_ICONHAND;
constexpr int MB_ICONERROR = MB_ICONHAND;
constexpr int MB_ICONQUESTION = 0x20;
constexpr int MB_ICONEXCLAMATION = 0x30;
constexpr int MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int MB_ICONASTERISK = MB_ICONINFORMATION;
// Which button has the focus at first.
constexpr int MB_DEFBUTTON1 = 0x000;
constexpr int MB_DEFBUTTON2 = 0x100;
constexpr int MB_DEFBUTTON3 = 0x200;

// Our own: Escape and the box's close button answer IDCANCEL though the box
// shows no 取消 button (a question whose 否 drops what the user typed).
constexpr int MB_ESCAPECANCELS = 0x01000000;

constexpr int MB_TYPEMASK = 0x00F;
constexpr int MB_ICONMASK = 0x0F0;
constexpr int MB_DEFMASK = 0xF00;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageRequest
{
    QString text;
    QString caption;
    int flags = MB_OK;
    QString details; // shown on request under the text (a tool's own words)

    int buttonSet() const { return flags & MB_TYPEMASK; }
    int icon() const { return flags & MB_ICONMASK; }
};

// The answers of the buttons a box with these flags shows, in button order.
// An unknown button set counts as MB_OK.
QList<int> answersFor(int flags);
// The answer of Escape and of the box's close button: IDCANCEL where the box
// has 取消 or MB_ESCAPECANCELS, else its last button's.
int escapeAnswer(int flags);

int messageBox(const QString &text, const QString &caption, int flags = MB_OK);

// The standard error box: the application's name as caption, stop icon, OK;
// details, where there are any, wait behind the box's details button.
void showError(const QString &text, const QString &details = {});

using MessageBoxHandler = std::function<int(const MessageRequest &)>;

// Installs handler and returns the one it replaces; an empty handler brings
// back the real box.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// The real modal QMessageBox, for handlers that want to pass a box through.
// It is at least as wide as its caption needs (captionRoom).
int execMessageBox(const MessageRequest &request);
// The width a window needs so that a window manager shows its whole caption
// in the title bar beside its buttons.
int captionRoom(const QString &caption, const QFont &font);

} // namespace ui
