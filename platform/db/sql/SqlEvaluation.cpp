// Running a bound condition: a record tested against it, the records an
// index offers for it, and LIKE on GBK bytes.
#include "SqlEvaluation.h"

namespace db::sql {

using namespace eval;

bool likeMatch(const char *s, int sn, const char *p, int pn, char escape)
{
    int si = 0, pi = 0;
    int starP = -1, starS = 0; // after the last '%': pattern position, subject position
    while (si < sn) {
        if (pi < pn && p[pi] == '%') {
            starP = ++pi;
            starS = si;
            continue;
        }
        if (pi < pn) {
            const bool escaped = escape && p[pi] == escape && pi + 1 < pn;
            const int at = escaped ? pi + 1 : pi; // the character to match
            const int pl = charLength(p, at, pn);
            const int sl = charLength(s, si, sn);
            if (!escaped && pl == 1 && p[at] == '_') {
                ++pi;
                si += sl;
                continue;
            }
            if (pl == sl && std::memcmp(p + at, s + si, size_t(pl)) == 0) {
                pi = at + pl;
                si += sl;
                continue;
            }
        }
        if (starP < 0)
            return false;
        // Let the last '%' take one more character and try again.
        starS += charLength(s, starS, sn);
        si = starS;
        pi = starP;
    }
    while (pi < pn && p[pi] == '%')
        ++pi;
    return pi == pn;
}

std::optional<QVector<int>> candidateRecords(const Condition::Node *condition, const DbfFile &file)
{
    constexpr int kIndexFrom = 64; // below this a scan costs less than an index
    KeyTerm term;
    if (!condition || file.recordCount() < kIndexFrom || !condition->keyTerm(term, file))
        return std::nullopt;
    return term.prefix ? file.prefixRecords(term.field, term.key) : file.keyRecords(term.field, term.key);
}

bool Condition::matches(const DbfFile &file, const char *record) const
{
    return !m_root || m_root->eval(file, record);
}

std::optional<QVector<int>> Condition::candidates(const DbfFile &file) const
{
    return candidateRecords(m_root.get(), file);
}

} // namespace db::sql
