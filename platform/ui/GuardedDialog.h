#pragma once
// A dialog that closes only through its leave routine: its buttons, Escape,
// the title bar's close box and Alt+F4 all call leaveRequested(), which
// closes the window with closeNow() or refuses by returning without it.
// No push button is a default one, so Enter clicks nothing.
#include <QDialog>

namespace ui {

class GuardedDialog : public QDialog
{
    Q_OBJECT

public:
    explicit GuardedDialog(QWidget *parent = nullptr);

    // Closes the window for good (hidden, exec() returns result). Only the
    // leave routine and the window's own accepting actions call it.
    void closeNow(int result = QDialog::Rejected);

    // Escape and a programmatic reject() go through the leave routine too.
    void reject() override;

protected:
    // The leave routine; runs inside the handler guard. The default leaves at once.
    virtual void leaveRequested() { closeNow(); }

    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    bool m_closing = false;
};

// Takes every push button of window out of the default-button rule.
void clearDefaultButtons(QWidget *window);

} // namespace ui
