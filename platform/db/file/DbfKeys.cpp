// Lookups through the key indexes of a table's text fields: each index is
// taken from the cache of an earlier run when it still holds, or built from
// the records on first use.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "KeyIndex.h"
#include "TableState.h"

namespace db {

using namespace dbf;

QByteArray DbfFile::indexName(int field) const
{
    const FieldDef &f = m_fields[field];
    return f.name + ':' + QByteArray::number(f.offset) + ':' + QByteArray::number(f.length);
}

// The index of a field: from the cache when it holds one for the file as it
// is now and the index proves sound, else built from the records.
KeyIndex &DbfFile::keyIndex(int field) const
{
    auto it = m_indexes.find(field);
    if (it != m_indexes.end())
        return *it->second.index;
    IndexSlot slot;
    if (m_recordCount >= kCachedIndexFrom && m_bulk == 0 && m_flushed == m_recordCount && m_stamp == diskStamp()) {
        const QByteArray image = tablestate::keyIndexImage(m_path, m_stamp, indexName(field));
        if (std::optional<KeyIndex> cached = KeyIndex::fromImage(image, m_recordCount, m_fields[field].length)) {
            // A last check against the records themselves, spread over the table.
            bool agrees = true;
            for (const auto &[rec, key] : cached->sample(32))
                agrees = agrees && keyOf(record(rec), field) == key;
            if (agrees) {
                slot.index = std::make_unique<KeyIndex>(std::move(*cached));
                slot.cachedStamp = m_stamp;
            }
        }
    }
    if (!slot.index) {
        const FieldDef &f = m_fields[field];
        int from = 0;
        slot.index = std::make_unique<KeyIndex>(KeyIndex::build(m_recordCount, [&](int rec) {
            // The bytes in the record itself, copied before the next; the
            // pages passed are given back as the build goes.
            from = releaseBehind(from, rec);
            const char *p = record(rec) + f.offset;
            int n = f.length;
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            return QByteArrayView(p, n);
        }));
        releaseScannedPages();
    }
    return *m_indexes.emplace(field, std::move(slot)).first->second.index;
}

QVector<int> DbfFile::keyRecords(int field, const QByteArray &key) const
{
    return keyIndex(field).records(key);
}

QVector<int> DbfFile::prefixRecords(int field, const QByteArray &prefix) const
{
    return keyIndex(field).recordsWithPrefix(prefix);
}

QVector<int> DbfFile::recordsInKeyOrder(int field, bool descending) const
{
    return keyIndex(field).inKeyOrder(descending);
}

QByteArray DbfFile::largestKey(int field, const QByteArray &prefix,
                               const std::function<bool(QByteArrayView)> &accept) const
{
    QByteArray found;
    keyIndex(field).visitPrefixDescending(prefix, [&](QByteArrayView key, int rec) {
        if (isDeleted(rec) || !accept(key))
            return true;
        found = key.toByteArray();
        return false;
    });
    return found;
}

} // namespace db
