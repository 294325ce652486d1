#include "ReportRun.h"

#include "DataView.h"
#include "Layout.h"
#include "TextFit.h"

#include <algorithm>
#include <limits>

namespace report {

namespace {

constexpr qreal kEps = 0.01;

PageItem textItem(const Element &e, const FittedText &fitted)
{
    PageItem item;
    item.kind = PageItem::Text;
    item.name = e.name;
    item.rect = e.rect;
    item.font = e.font;
    item.hAlign = e.hAlign;
    item.vAlign = e.vAlign;
    item.frame = e.frame;
    item.pen = e.pen;
    item.padding = e.padding;
    item.lines = fitted.lines;
    item.font.size = fitted.size;
    item.font.stretch = fitted.stretch;
    item.lineHeight = fitted.lineHeight;
    item.overflows = fitted.overflows;
    if (e.kind == Element::Memo)
        item.rect.setHeight(qMax(e.rect.height(), fitted.lines.size() * fitted.lineHeight));
    return item;
}

PageItem shapeItem(const Element &e)
{
    PageItem item;
    item.kind = e.kind == Element::Line ? PageItem::Line : PageItem::Box;
    item.name = e.name;
    item.rect = e.rect;
    item.pen = e.pen;
    return item;
}

// For a Line the rect may run upwards; its vertical extent either way.
qreal itemTop(const PageItem &i) { return qMin(i.rect.top(), i.rect.bottom()); }
qreal itemBottom(const PageItem &i) { return qMax(i.rect.top(), i.rect.bottom()); }

} // namespace

ReportRun::ReportRun(const Layout &layout, DataLookup data) : m_layout(layout), m_data(std::move(data)) {}

QVector<Page> ReportRun::pages()
{
    const Layout &l = m_layout;
    startPage();
    place(l.band(Band::Title), -1);
    place(l.band(Band::ColumnHeader), -1);
    if (const Band *detail = l.band(Band::Detail)) {
        if (l.dataset.isEmpty()) {
            place(detail, -1);
        } else {
            const int rows = m_data(l.dataset).rowCount();
            for (int r = 0; r < rows; ++r)
                place(detail, r);
        }
    }
    place(l.band(Band::Summary), -1);
    finishPage(true);
    return m_pages;
}

void ReportRun::startPage()
{
    const Layout &l = m_layout;
    m_pages.append(Page{l.page, {}});
    m_y = l.margins.top();
    const Band *footer = l.band(Band::PageFooter);
    m_bodyBottom = l.page.height() - l.margins.bottom() - (footer ? footer->height : 0);
    if (m_pages.size() > 1 || l.firstPageHeader)
        place(l.band(Band::PageHeader), -1);
    if (m_pages.size() > 1)
        place(l.band(Band::ColumnHeader), -1);
}

void ReportRun::finishPage(bool last)
{
    const Layout &l = m_layout;
    const Band *footer = l.band(Band::PageFooter);
    if (!footer || (last && !l.lastPageFooter))
        return;
    m_y = l.page.height() - l.margins.bottom() - footer->height;
    put(lay(*footer, -1));
}

QString ReportRun::boundText(const Element &e, const Band &band, int row) const
{
    switch (e.kind) {
    case Element::Label:
        return e.caption;
    case Element::PageNumber:
        return e.caption + QString::number(m_pages.size());
    case Element::Memo:
        if (e.field.isEmpty())
            return e.caption;
        [[fallthrough]];
    case Element::Text: {
        const Binding &b = binding(e, band.kind == Band::Detail && row >= 0);
        return b.view->textAt(b.ownRow ? row : b.view->currentRow(), b.column);
    }
    default:
        return {};
    }
}

const FittedText &ReportRun::fitted(const Element &e, const QString &text) const
{
    // The same text in the same element comes out the same: the rows of a
    // list repeat many of their texts, and every page its headings.
    const auto key = std::pair(&e, text);
    auto it = m_fitted.constFind(key);
    if (it == m_fitted.constEnd()) {
        const QRectF box = PageItem::textRectOf(e.rect, e.frame, e.padding);
        it = m_fitted.insert(key, e.kind == Element::Memo ? flowText(text, e.font, box.width())
                                                          : fitText(text, e.font, box.size()));
    }
    return *it;
}

const ReportRun::Binding &ReportRun::binding(const Element &e, bool detailRow) const
{
    auto it = m_bindings.constFind({&e, detailRow});
    if (it != m_bindings.constEnd())
        return *it;
    // Outside the detail band, and in a detail band of a report without a
    // dataset, a text reads the current row of its dataset.
    const QString datasetName = !e.dataset.isEmpty() ? e.dataset
                                : detailRow          ? m_layout.dataset
                                                     : QString();
    const DataView &view = m_data(datasetName);
    const bool ownRow = detailRow && datasetName.compare(m_layout.dataset, Qt::CaseInsensitive) == 0;
    return *m_bindings.insert({&e, detailRow}, {&view, view.column(e.field), ownRow});
}

ReportRun::LaidBand ReportRun::lay(const Band &band, int row) const
{
    LaidBand out;
    struct Growth
    {
        int item;
        qreal top, originalBottom, grown;
        qreal shift = 0;
    };
    QVector<Growth> memos;
    QVector<bool> grows;
    for (const Element &e : band.elements) {
        if (!e.enabled)
            continue;
        if (e.isText()) {
            out.items.append(textItem(e, fitted(e, boundText(e, band, row))));
            if (e.kind == Element::Memo)
                memos.append({int(out.items.size()) - 1, e.rect.top(), e.rect.bottom(),
                              out.items.last().rect.height() - e.rect.height()});
        } else {
            out.items.append(shapeItem(e));
        }
        grows.append(e.grow);
    }

    // A memo that grew pushes down what lies below it, memos below it included.
    std::sort(memos.begin(), memos.end(), [](const Growth &a, const Growth &b) { return a.top < b.top; });
    auto shiftAt = [&](qreal top) {
        qreal shift = 0;
        for (const Growth &m : memos)
            if (m.originalBottom <= top + kEps)
                shift = qMax(shift, m.shift + m.grown);
        return shift;
    };
    for (Growth &m : memos)
        m.shift = shiftAt(m.top);
    const qreal extra = shiftAt(std::numeric_limits<qreal>::max());

    for (int i = 0; i < out.items.size(); ++i) {
        PageItem &item = out.items[i];
        const qreal shift = shiftAt(itemTop(item));
        item.rect.translate(0, shift);
        if (grows[i]) {
            const qreal add = extra - shift;
            if (item.kind == PageItem::Line && item.rect.height() < 0)
                item.rect.setTop(item.rect.top() + add);
            else
                item.rect.setBottom(item.rect.bottom() + add);
        }
    }
    out.height = band.height + extra;
    for (const PageItem &item : out.items)
        out.height = qMax(out.height, itemBottom(item));
    // The band may break inside its topmost memo that holds text.
    for (const Growth &m : memos)
        if (!out.items[m.item].lines.isEmpty()) {
            out.memo = m.item;
            break;
        }
    return out;
}

qreal ReportRun::breakPoint(const LaidBand &laid, qreal avail, bool freshPage)
{
    if (laid.memo < 0)
        return -1;
    const PageItem &memo = laid.items[laid.memo];
    const int fit = int((avail - memo.rect.top() + kEps) / memo.lineHeight);
    const int lines = int(memo.lines.size());
    // A memo whose text all fits is not cut from the rest of its band, unless
    // the band cannot fit on any page.
    if (fit < 1 || (fit >= lines && !freshPage))
        return -1;
    return memo.rect.top() + qMin(fit, lines) * memo.lineHeight;
}

std::pair<ReportRun::LaidBand, ReportRun::LaidBand> ReportRun::split(const LaidBand &laid, qreal cut)
{
    LaidBand head, tail;
    head.height = cut;
    tail.height = laid.height - cut;
    for (int i = 0; i < laid.items.size(); ++i) {
        PageItem item = laid.items[i];
        const qreal top = itemTop(item), bottom = itemBottom(item);
        if (i == laid.memo) {
            const int k = qRound((cut - item.rect.top()) / item.lineHeight);
            PageItem rest = item;
            item.lines = item.lines.mid(0, k);
            item.rect.setBottom(cut);
            head.items.append(item);
            rest.lines = rest.lines.mid(k);
            rest.rect = QRectF(rest.rect.left(), 0, rest.rect.width(), qMax(0.0, rest.rect.bottom() - cut));
            if (!rest.lines.isEmpty()) {
                tail.memo = int(tail.items.size());
                tail.items.append(rest);
            }
        } else if (bottom <= cut + kEps) {
            head.items.append(item);
        } else if (top >= cut - kEps) {
            item.rect.translate(0, -cut);
            tail.items.append(item);
        } else if (item.kind == PageItem::Text) {
            head.items.append(item); // beside the memo: printed whole, where it starts
        } else {
            // Rules and frames run on across the break.
            PageItem below = item;
            const bool up = item.rect.height() < 0;
            QRectF r = item.rect.normalized();
            QRectF upper(r.left(), r.top(), r.width(), cut - r.top());
            QRectF lower(r.left(), 0, r.width(), r.bottom() - cut);
            item.rect = up ? QRectF(upper.bottomLeft(), upper.topRight()) : upper;
            below.rect = up ? QRectF(lower.bottomLeft(), lower.topRight()) : lower;
            head.items.append(item);
            tail.items.append(below);
        }
    }
    return {head, tail};
}

void ReportRun::place(const Band *band, int row)
{
    if (!band)
        return;
    LaidBand laid = lay(*band, row);
    for (;;) {
        const qreal avail = m_bodyBottom - m_y;
        if (laid.height <= avail + kEps) {
            put(laid);
            return;
        }
        // Nothing is gained by a new page when this one has as much room left.
        const bool freshPage = avail >= roomOnNewPage() - kEps;
        const qreal cut = breakPoint(laid, avail, freshPage);
        if (cut > kEps) {
            auto [head, tail] = split(laid, cut);
            put(head);
            laid = tail;
        } else if (freshPage) {
            put(laid); // taller than a page and unbreakable: print what fits
            return;
        }
        finishPage(false);
        startPage();
    }
}

qreal ReportRun::roomOnNewPage() const
{
    const Layout &l = m_layout;
    qreal headers = 0;
    for (Band::Kind k : {Band::PageHeader, Band::ColumnHeader})
        if (const Band *b = l.band(k))
            headers += b->height;
    return m_bodyBottom - l.margins.top() - headers;
}

void ReportRun::put(const LaidBand &laid)
{
    const Layout &l = m_layout;
    Page &page = m_pages.last();
    for (PageItem item : laid.items) {
        item.rect.translate(l.margins.left(), m_y);
        page.items.append(item);
    }
    m_y += laid.height;
}

} // namespace report
