#include "BitBtn.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ui {

namespace {

// Glyphs are drawn on a 16-unit grid and scaled, so they stay sharp at any size.
void drawCheck(QPainter &p)
{
    p.setPen(QPen(QColor(0, 128, 0), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
}

void drawCross(QPainter &p)
{
    p.setPen(QPen(QColor(192, 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawNoSign(QPainter &p)
{
    p.setPen(QPen(QColor(192, 0, 0), 2.0));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    p.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
}

void drawQuestion(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 64, 192));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QPainterPath hook;
    hook.moveTo(5.5, 6.0);
    hook.arcTo(QRectF(5.5, 3.5, 5, 5), 180, -270);
    hook.lineTo(8, 10);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.5), 1.1, 1.1);
}

void drawDoor(QPainter &p)
{
    p.setPen(QPen(QColor(96, 64, 0), 1.4));
    p.setBrush(QColor(176, 128, 48));
    p.drawRect(QRectF(4, 1.5, 8, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 224, 0));
    p.drawEllipse(QPointF(10, 8.5), 1, 1);
}

QPixmap drawGlyph(BitBtn::Kind kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (kind) {
    case BitBtn::bkOK:
    case BitBtn::bkYes:
        drawCheck(p);
        break;
    case BitBtn::bkCancel:
        drawCross(p);
        break;
    case BitBtn::bkNo:
        drawNoSign(p);
        break;
    case BitBtn::bkHelp:
        drawQuestion(p);
        break;
    case BitBtn::bkClose:
        drawDoor(p);
        break;
    case BitBtn::bkCustom:
        break;
    }
    return pixmap;
}

} // namespace

BitBtn::BitBtn(QWidget *parent)
    : QPushButton(parent)
{
}

BitBtn::BitBtn(Kind kind, QWidget *parent)
    : QPushButton(parent)
{
    setKind(kind);
}

QString BitBtn::standardCaption(Kind kind)
{
    switch (kind) {
    case bkOK:
        return QStringLiteral("确定");
    case bkCancel:
        return QStringLiteral("取消");
    case bkHelp:
        return QStringLiteral("帮助");
    case bkYes:
        return QStringLiteral("是");
    case bkNo:
        return QStringLiteral("否");
    case bkClose:
        return QStringLiteral("关闭");
    case bkCustom:
        break;
    }
    return {};
}

QIcon BitBtn::standardGlyph(Kind kind)
{
    if (kind == bkCustom)
        return {};
    // Drawn once: the section marks change kinds on every row click. Never
    // destroyed, so that no pixmap outlives the application object.
    static auto *glyphs = new QIcon[bkClose + 1];
    QIcon &icon = glyphs[kind];
    if (icon.isNull())
        for (int size : {16, 24, 32})
            icon.addPixmap(drawGlyph(kind, size));
    return icon;
}

void BitBtn::setKind(Kind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    setIcon(standardGlyph(kind));
    if (kind != bkCustom)
        setText(standardCaption(kind));
}

} // namespace ui
