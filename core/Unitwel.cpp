#include "Unitwel.h"

#include "ui/Placement.h"

#include <QLinearGradient>
#include <QPainter>

Tformwel *formwel = nullptr;

QPixmap splashPicture()
{
    QPixmap pm(800, 600);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 600);
    g.setColorAt(0, QColor(18, 58, 110));
    g.setColorAt(1, QColor(92, 148, 200));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(255, 255, 255, 40));
    for (int x = -600; x < 800; x += 40)
        p.drawLine(x, 600, x + 600, 0);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(54);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 170, 800, 90), Qt::AlignCenter, QString::fromUtf8("科技成果登记"));
    f.setPixelSize(28);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 270, 800, 50), Qt::AlignCenter, QStringLiteral("Corvane  TavrinV4.0"));
    f.setPixelSize(16);
    p.setFont(f);
    p.drawText(QRect(0, 520, 800, 30), Qt::AlignCenter, QString::fromUtf8("正在启动，请稍候……"));
    return pm;
}

Tformwel::Tformwel(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setFixedSize(807, 600);
    Image1->setPixmap(splashPicture());
    ui::centreOnScreen(this);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &Tformwel::Timer1Timer);
    Timer1->start();
}

void Tformwel::Timer1Timer()
{
    Timer1->stop();
    closeNow();
}

void Tformwel::Button1Click()
{
    hide();
    emit dismissed();
}
