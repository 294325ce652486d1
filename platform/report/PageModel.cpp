#include "PageModel.h"

namespace report {

QRectF PageItem::textRectOf(const QRectF &rect, int frame, qreal padding)
{
    return rect.adjusted(frame & FrameLeft ? padding : 0, 0, frame & FrameRight ? -padding : 0, 0);
}

const PageItem *Page::item(const QString &name) const
{
    for (const PageItem &i : items)
        if (i.name == name)
            return &i;
    return nullptr;
}

QString Page::text(const QString &name) const
{
    const PageItem *i = item(name);
    return i ? i->text() : QString();
}

QVector<const PageItem *> Page::all(const QString &name) const
{
    QVector<const PageItem *> out;
    for (const PageItem &i : items)
        if (i.name == name)
            out << &i;
    return out;
}

} // namespace report
