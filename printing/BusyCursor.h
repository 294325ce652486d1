#pragma once
// The wait cursor while a print action lays out its pages. It is given back
// as soon as a window appears (the preview, a question about PDF, an error),
// so no window that waits for the user shows it, and at the latest when the
// action ends.
#include <QObject>

class BusyCursor : public QObject
{
public:
    BusyCursor();
    ~BusyCursor() override;
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    bool m_active = true;
};
