// A dataset's life and movement: opening and closing its rows, filters,
// and moving the current row.
#include "Dataset.h"

#include "db/file/DbError.h"

namespace db {

Dataset::Dataset(QObject *parent) : QObject(parent) {}

Dataset::~Dataset() = default;

void Dataset::setDatabaseName(const QString &dir)
{
    if (active())
        close();
    m_dir = dir;
}

QString Dataset::tableLabel() const
{
    if (m_file)
        return m_file->tableName();
    return objectName().isEmpty() ? QStringLiteral("dataset") : objectName();
}

void Dataset::checkActive() const
{
    if (!active())
        throw DbError(QString::fromUtf8("数据集 %1 未打开").arg(tableLabel()));
}

void Dataset::open()
{
    if (active())
        return;
    m_baseRows.clear();
    m_values.clear();
    m_deleted.clear();
    m_columns.clear();
    m_sortedColumn = -1;
    m_read = {};
    try {
        openRows();
        m_dataColumns = m_columns.size();
        for (const LookupDef &l : m_lookups) {
            Column c;
            c.name = l.name;
            c.type = 'C';
            m_columns.append(c);
        }
        resetFields();
        m_filter.reset();
        if (m_filtered && !m_filterText.trimmed().isEmpty()) {
            if (!m_file)
                throw DbError(QString::fromUtf8("数据集 %1 不能设置过滤条件").arg(tableLabel()));
            m_filter = std::make_unique<sql::Condition>(sql::Condition::compile(m_filterText, *m_file));
        }
        relistRows();
    } catch (...) {
        closeRows();
        m_file.reset();
        m_baseRows.clear();
        m_values.clear();
        m_columns.clear();
        m_fields.clear();
        m_fieldIndex.clear();
        throw;
    }
    m_fileGeneration = m_file ? m_file->generation() : 0;
    m_sortedGeneration = m_fileGeneration;
    m_state = Browse;
    m_changes.clear();
    rebuildView(-1);
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyReset();
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

int Dataset::sortedColumn() const
{
    // A write to the file by anyone may have changed a sorted value.
    if (!active() || (m_file && m_file->generation() != m_sortedGeneration))
        return -1;
    return m_sortedColumn;
}

void Dataset::close()
{
    if (!active())
        return;
    m_changes.clear();
    m_state = Inactive;
    m_sortedColumn = -1;
    closeRows();
    m_file.reset();
    m_read = {};
    m_baseRows.clear();
    m_values.clear();
    m_view.clear();
    m_deleted.clear();
    m_filter.reset();
    m_current = -1;
    m_eof = m_bof = true;
    notifyReset();
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::refresh()
{
    checkActive();
    checkBrowseMode();
    const Bookmark b = bookmark();
    const int row = m_current;
    disableControls();
    try {
        close();
        open();
    } catch (...) {
        enableControls();
        throw;
    }
    if (!gotoBookmark(b) && row >= 0 && !m_view.isEmpty())
        setCurrent(std::min(row, rowCount() - 1));
    enableControls();
}

void Dataset::setFilter(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    if (active() && m_filtered)
        refresh();
}

void Dataset::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    m_filtered = on;
    if (active())
        refresh();
}

void Dataset::resetFields()
{
    m_fields.clear();
    m_fieldIndex.clear();
    for (int i = 0; i < m_columns.size(); ++i) {
        m_fields.push_back(std::make_unique<Field>(this, i));
        const QString key = m_columns[i].name.toLower();
        if (!m_fieldIndex.contains(key))
            m_fieldIndex.insert(key, i);
    }
}

bool Dataset::rowMatchesFilter(const Row &row) const
{
    if (!m_filter || row.rec < 0 || row.status != Row::Unmodified)
        return true;
    return m_filter->matches(*m_file, row.rec);
}

void Dataset::rebuildView(int keepRec)
{
    const int n = m_baseRows.size();
    if (m_baseRows.plain() && (!m_filter || n == 0)) {
        // Every record, none removed: the view is all of them.
        m_view.setAll(n);
        m_current = keepRec >= 0 && keepRec < n ? keepRec : (n ? 0 : -1);
        return;
    }
    m_view.clear();
    m_view.reserve(n);
    int current = -1;
    for (int i = 0; i < n; ++i) {
        const Row r = m_baseRows.at(i);
        if (r.rec == kGone || !rowMatchesFilter(r))
            continue;
        if (keepRec >= 0 && r.rec == keepRec)
            current = m_view.size();
        m_view.append(i);
    }
    if (current < 0)
        current = m_view.isEmpty() ? -1 : 0;
    m_current = current;
}

void Dataset::syncWithFile()
{
    if (!active() || !m_file || !followsFile() || m_file->generation() == m_fileGeneration)
        return;
    const int keep = m_current >= 0 ? baseRow(m_current).rec : -1;
    const int oldRow = m_current;
    relistRows();
    m_fileGeneration = m_file->generation();
    rebuildView(keep);
    if (keep >= 0 && (m_current < 0 || baseRow(m_current).rec != keep) && !m_view.isEmpty())
        m_current = std::min(std::max(oldRow, 0), rowCount() - 1);
    notifyReset();
}

void Dataset::notifyReset()
{
    if (controlsDisabled()) {
        m_resetPending = true;
        return;
    }
    emit layoutReset();
    emit currentChanged(m_current);
}

void Dataset::setCurrent(int row)
{
    m_current = row;
    m_bof = m_eof = false;
    if (!controlsDisabled())
        emit currentChanged(row);
}

void Dataset::disableControls()
{
    ++m_disableCount;
}

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        m_resetPending = false;
        emit layoutReset();
        emit currentChanged(m_current);
    }
}

void Dataset::checkBrowseMode()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        post();
}

void Dataset::first()
{
    checkBrowseMode();
    syncWithFile();
    m_current = m_view.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.isEmpty();
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::last()
{
    checkBrowseMode();
    syncWithFile();
    m_current = rowCount() - 1;
    m_eof = true;
    m_bof = m_view.isEmpty();
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::next()
{
    moveBy(1);
}

void Dataset::prior()
{
    moveBy(-1);
}

void Dataset::moveBy(int n)
{
    checkBrowseMode();
    syncWithFile();
    if (m_view.isEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    const int target = m_current + n;
    if (target >= rowCount()) {
        m_current = rowCount() - 1;
        m_eof = true;
        m_bof = false;
    } else if (target < 0) {
        m_current = 0;
        m_bof = true;
        m_eof = false;
    } else {
        m_current = target;
        m_bof = m_eof = false;
    }
    if (n != 0 && !controlsDisabled())
        emit currentChanged(m_current);
}

int Dataset::recNo() const
{
    if (!active() || m_state == Insert)
        return 0;
    return m_current + 1;
}

} // namespace db
