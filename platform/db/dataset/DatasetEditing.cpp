// Editing a dataset's rows: edit, append, post, cancel and delete, each
// through to the table at once or kept as a cached update.
#include "Dataset.h"

#include "db/file/DbError.h"
#include "db/journal/Journal.h"

#include <cstring>

namespace db {

void Dataset::edit()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        return;
    syncWithFile();
    if (m_view.isEmpty()) {
        append();
        return;
    }
    if (!writable() && !m_cached)
        throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
    m_changes.clear();
    m_state = Edit;
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::append()
{
    checkBrowseMode();
    if (!writable() && !m_cached)
        throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
    syncWithFile();
    m_changes.clear();
    m_beforeInsert = m_current;
    m_state = Insert;
    m_eof = m_bof = false;
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::removeFromView(int row)
{
    m_view.remove(row);
    if (!controlsDisabled())
        emit rowRemoved(row);
    if (m_view.isEmpty()) {
        m_current = -1;
        m_eof = m_bof = true;
    } else if (row >= rowCount()) {
        m_current = rowCount() - 1;
        m_eof = true;
    } else {
        m_current = row;
    }
}

void Dataset::post()
{
    checkActive();
    if (m_state != Edit && m_state != Insert)
        return;
    if (m_state == Edit) {
        const int base = m_view[m_current];
        if (m_changes.contains(m_sortedColumn))
            m_sortedColumn = -1;
        if (m_cached) {
            Row &r = m_baseRows[base];
            auto values = std::make_shared<QVector<Value>>(rowValues(m_current));
            if (r.status == Row::Unmodified) {
                r.original = std::make_shared<QVector<Value>>(storedValues(r));
                r.status = Row::Modified;
            }
            r.cache = values;
        } else if (!m_changes.isEmpty()) {
            const int rec = m_baseRows.at(base).rec;
            // The bytes stay put while the changes go in (memos are
            // written to the memo file, the table file is not touched).
            // A row left as it was is not written (nor looked at in the
            // mapping, see recordBytes).
            const char *current = recordBytes(rec);
            // A row deleted since it was read (an operation taken back, a
            // record deleted elsewhere) would take the changes out of sight.
            if (current[0] == '*')
                throw DbError(QString::fromUtf8("表 %1 中要修改的记录已被删除，修改没有保存。").arg(m_file->tableName()));
            if (!changesStored(current)) {
                QByteArray raw(current, m_file->recordLength());
                putChanges(raw);
                if (std::memcmp(raw.constData(), current, size_t(raw.size())) != 0)
                    m_file->writeRecord(rec, raw);
            }
            if (followsFile())
                m_fileGeneration = m_file->generation();
        }
        m_changes.clear();
        m_state = Browse;
        const int row = m_current;
        if (!rowMatchesFilter(m_baseRows.at(base))) {
            // The row leaves a filtered view; the cursor goes to the next.
            removeFromView(row);
            if (!controlsDisabled())
                emit currentChanged(m_current);
        } else if (!controlsDisabled()) {
            emit rowUpdated(row);
        }
    } else {
        m_sortedColumn = -1; // the new row comes last
        Row r;
        if (m_cached) {
            QVector<Value> values(m_dataColumns);
            for (int col : m_changes.columns())
                values[col] = m_changes.at(col);
            r.status = Row::Inserted;
            r.cache = std::make_shared<QVector<Value>>(values);
        } else {
            QByteArray raw = m_file->blankRecord();
            putChanges(raw);
            r.rec = m_file->appendRecord(raw);
            if (followsFile())
                m_fileGeneration = m_file->generation();
        }
        m_changes.clear();
        m_state = Browse;
        m_baseRows.append(r);
        if (rowMatchesFilter(r)) {
            m_view.append(m_baseRows.size() - 1);
            m_current = rowCount() - 1;
            if (!controlsDisabled())
                emit rowInserted(m_current);
        } else {
            m_current = std::min(std::max(m_beforeInsert, 0), rowCount() - 1);
        }
        m_bof = m_eof = false;
        if (!controlsDisabled())
            emit currentChanged(m_current);
    }
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::cancel()
{
    if (m_state != Edit && m_state != Insert)
        return;
    if (m_state == Insert)
        m_current = m_view.isEmpty() ? -1 : std::min(std::max(m_beforeInsert, 0), rowCount() - 1);
    m_changes.clear();
    m_state = Browse;
    m_eof = m_bof = m_view.isEmpty();
    if (!controlsDisabled()) {
        emit stateChanged(m_state);
        emit currentChanged(m_current);
    }
}

void Dataset::deleteRecord()
{
    checkActive();
    if (m_state == Insert) {
        cancel();
        return;
    }
    if (m_state == Edit)
        cancel();
    syncWithFile();
    if (m_view.isEmpty())
        throw DbError(QString::fromUtf8("数据集 %1 中没有可删除的记录").arg(tableLabel()));
    Row &r = m_baseRows[m_view[m_current]];
    if (m_cached) {
        if (r.status == Row::Unmodified)
            r.original = std::make_shared<QVector<Value>>(storedValues(r));
        if (r.status != Row::Inserted)
            m_deleted.append(r);
    } else {
        if (!writable())
            throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
        m_file->setDeleted(r.rec, true);
        if (followsFile())
            m_fileGeneration = m_file->generation();
    }
    r.rec = kGone;
    r.cache.reset();
    removeFromView(m_current);
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::setCachedUpdates(bool on)
{
    if (on == m_cached)
        return;
    if (active() && updatesPending())
        throw DbError(QString::fromUtf8("数据集 %1 还有未提交的修改").arg(tableLabel()));
    m_cached = on;
}

bool Dataset::updatesPending() const
{
    if (!m_deleted.isEmpty())
        return true;
    for (const Row &r : m_baseRows.kept())
        if (r.rec != kGone && r.status != Row::Unmodified)
            return true;
    return false;
}

void Dataset::cancelUpdates()
{
    if (!active())
        return;
    if (m_state == Edit || m_state == Insert)
        cancel();
    m_deleted.clear();
    for (Row &r : m_baseRows.kept()) {
        r.status = Row::Unmodified;
        r.cache.reset();
        r.original.reset();
    }
    refresh();
}

void Dataset::keepRows(Transaction &transaction, const QList<int> &rows, const QString &field) const
{
    if (!m_file || !active())
        return;
    QVector<int> recs;
    for (const int row : rows)
        if (row >= 0 && row < rowCount() && baseRow(row).rec >= 0)
            recs.append(baseRow(row).rec);
    if (field.isEmpty()) {
        transaction.keepRows(*m_file, recs);
        return;
    }
    const int index = m_file->fieldIndex(field);
    if (index < 0)
        throw DbError(QString::fromUtf8("表 %1 没有字段 %2").arg(m_file->tableName(), field));
    const FieldDef &f = m_file->fields()[index];
    transaction.keepRows(*m_file, recs, f.offset, f.length);
}

} // namespace db
