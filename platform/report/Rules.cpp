#include "Rules.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// Far below a dot of any device: cell edges computed from different sums
// of the same millimetres differ by rounding only.
constexpr qreal kTouch = 1e-6;

// A segment along one axis: `at` across it, from `from` to `to` along it.
struct Run
{
    qreal at, from, to;
};

bool sameLine(qreal a, qreal b)
{
    return std::abs(a - b) <= kTouch;
}

// Runs sorted and merged where they touch; vertical ones come back with
// their coordinates swapped again.
void join(QList<Run> &runs, bool vertical, QList<QLineF> &out)
{
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.at < b.at; });
    for (qsizetype i = 1; i < runs.size(); ++i)
        if (sameLine(runs[i].at, runs[i - 1].at))
            runs[i].at = runs[i - 1].at;
    std::stable_sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) {
        return a.at != b.at ? a.at < b.at : a.from < b.from;
    });
    auto add = [&](const Run &r) {
        out.append(vertical ? QLineF(r.at, r.from, r.at, r.to) : QLineF(r.from, r.at, r.to, r.at));
    };
    for (qsizetype i = 0; i < runs.size();) {
        Run cur = runs[i++];
        while (i < runs.size() && runs[i].at == cur.at && runs[i].from <= cur.to + kTouch)
            cur.to = std::max(cur.to, runs[i++].to);
        add(cur);
    }
}

} // namespace

QList<QLineF> joinRules(const QList<QLineF> &lines)
{
    QList<Run> across, down;
    QList<QLineF> out;
    for (const QLineF &l : lines) {
        if (l.y1() == l.y2() && l.x1() != l.x2())
            across.append({l.y1(), std::min(l.x1(), l.x2()), std::max(l.x1(), l.x2())});
        else if (l.x1() == l.x2() && l.y1() != l.y2())
            down.append({l.x1(), std::min(l.y1(), l.y2()), std::max(l.y1(), l.y2())});
        else
            out.append(l); // slanted, or a dot: as drawn
    }
    join(across, false, out);
    join(down, true, out);
    return out;
}

} // namespace report
