// Finding rows again: by a field's value (locate, lookups) and by bookmark.
#include "Dataset.h"

#include "db/file/DbError.h"
#include "text/Gbk.h"

namespace db {

bool Dataset::locate(const QString &fieldName, const QString &value, bool partialKey, bool caseInsensitive)
{
    checkBrowseMode();
    syncWithFile();
    const int col = fieldByName(fieldName)->index();
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString wanted = gbk::trimRight(value);
    for (int r = 0; r < rowCount(); ++r) {
        const QString s = gbk::trimRight(rowValue(r, col).toString());
        if (partialKey ? s.startsWith(wanted, cs) : s.compare(wanted, cs) == 0) {
            setCurrent(r);
            return true;
        }
    }
    return false;
}

Value Dataset::lookupValue(const QString &keyField, const Value &key, const QString &resultField) const
{
    if (key.isNull())
        return {};
    const auto k = m_fieldIndex.constFind(keyField.toLower());
    const auto res = m_fieldIndex.constFind(resultField.toLower());
    if (k == m_fieldIndex.constEnd() || res == m_fieldIndex.constEnd())
        return {};
    for (int r = 0; r < rowCount(); ++r)
        if (sameValue(rowValue(r, *k), key))
            return rowValue(r, *res);
    return {};
}

void Dataset::addLookupField(const LookupDef &def)
{
    m_lookups.append(def);
    if (active())
        refresh();
}

Dataset::Bookmark Dataset::bookmark() const
{
    if (!active() || m_current < 0 || m_state == Insert)
        return {};
    return bookmarkOf(baseRow(m_current));
}

Dataset::Bookmark Dataset::bookmarkOf(const Row &r) const
{
    if (r.rec >= 0)
        return {r.rec, m_file->identity()};
    return {r.computed >= 0 ? (1 << 30) + r.computed : -1, 0};
}

bool Dataset::gotoBookmark(const Bookmark &b)
{
    if (!b.valid() || !active())
        return false;
    checkBrowseMode();
    syncWithFile();
    for (int i = 0; i < rowCount(); ++i) {
        const Bookmark here = bookmarkOf(baseRow(i));
        if (here.rec == b.rec && here.source == b.source) {
            setCurrent(i);
            return true;
        }
    }
    return false;
}

} // namespace db
