#pragma once
// One run of a report: its bands laid out on pages in the order a banded
// report prints them. Page header (on the first page only with the option),
// title, column header (again at the top of every further page), the detail
// band once per row, summary, and the page footer at the bottom of every page
// (on the last only with the option). A band that does not fit goes to the
// next page; a band with a long memo breaks inside the memo and goes on there.
#include "PageModel.h"
#include "TextFit.h"

#include <QHash>
#include <functional>

namespace report {

class DataView;
struct Layout;

class ReportRun
{
public:
    // The view a dataset name stands for (see Report::data).
    using DataLookup = std::function<const DataView &(const QString &datasetName)>;

    ReportRun(const Layout &layout, DataLookup data);
    QVector<Page> pages();

private:
    // A band laid out at its final height, items relative to its top left.
    struct LaidBand
    {
        QVector<PageItem> items;
        qreal height = 0;
        int memo = -1; // the first memo still holding lines, where the band may break
    };

    LaidBand lay(const Band &band, int row) const;
    void place(const Band *band, int row);
    void put(const LaidBand &laid);
    // The part of laid above cut and the part below it, moved to the top.
    static std::pair<LaidBand, LaidBand> split(const LaidBand &laid, qreal cut);
    // Where laid may break at most avail below its top, or -1.
    static qreal breakPoint(const LaidBand &laid, qreal avail, bool freshPage);
    qreal roomOnNewPage() const;
    void startPage();
    void finishPage(bool last);
    QString boundText(const Element &e, const Band &band, int row) const;

    // Where a bound text reads, found once per run: its view, the column
    // and whether it reads the detail band's own row.
    struct Binding
    {
        const DataView *view;
        int column;
        bool ownRow;
    };
    const Binding &binding(const Element &e, bool detailRow) const;

    // A text as it fits its element, worked out once a run.
    const FittedText &fitted(const Element &e, const QString &text) const;

    const Layout &m_layout;
    DataLookup m_data;
    mutable QHash<std::pair<const Element *, bool>, Binding> m_bindings;
    mutable QHash<std::pair<const Element *, QString>, FittedText> m_fitted;
    QVector<Page> m_pages;
    qreal m_y = 0;
    qreal m_bodyBottom = 0;
};

} // namespace report
