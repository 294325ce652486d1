#pragma once
#include "ui/GuardedDialog.h"
#include "ui_Unitwel.h"

#include <QTimer>

// The splash window. Its timer runs from creation, so a slow start shows it
// only briefly.
class Tformwel : public ui::GuardedDialog, public Ui::Tformwel
{
    Q_OBJECT

public:
    explicit Tformwel(QWidget *parent = nullptr);
    void Timer1Timer();
    void Button1Click();

signals:
    // Left by its handler (which no control calls): the window that showed
    // the splash comes forward.
    void dismissed();

public:

    QTimer *Timer1;
};

// Our own 800 × 600 splash picture.
QPixmap splashPicture();

extern Tformwel *formwel;
