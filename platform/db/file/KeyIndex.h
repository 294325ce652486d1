#pragma once
// The records of a table ordered by the bytes of one text field (trailing
// blanks removed): the records of a key, of a key prefix, or all of them in
// key order, without reading a record. Every record is listed, deleted ones
// included; records of equal keys ascend.
//
// Kept as one sorted array of (key, record) over a pool of the distinct
// keys, which loads and scans in a few passes over memory, plus a small
// ordered set of the entries added since: a removal marks its entry, an
// addition goes to the set, and the set is merged into the array once it
// holds a quarter as many entries as the array, so a change costs log n
// and a long run of additions stays linear. The set's keys lie in a pool
// of their own and its nodes come from a pool given back at each merge: a
// store adds entries by the hundred thousand.
#include <QByteArray>
#include <QByteArrayView>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {

class KeyIndex
{
public:
    KeyIndex();
    ~KeyIndex();
    KeyIndex(KeyIndex &&) noexcept;
    KeyIndex &operator=(KeyIndex &&) noexcept;

    // The keys of records 0..count-1, keyOf(rec) giving a view of each
    // one's bytes, valid until the next call: each key is copied at once, so
    // the caller may give back the pages of the records it has passed.
    template <typename KeyOf>
    static KeyIndex build(int count, KeyOf keyOf)
    {
        QByteArray pool; // the keys one after another, each after its length byte
        for (int r = 0; r < count; ++r) {
            const QByteArrayView key = keyOf(r);
            pool.append(char(key.size()));
            pool.append(key.data(), key.size());
        }
        std::vector<Building> all;
        all.reserve(size_t(count));
        for (qsizetype at = 0, r = 0; r < count; ++r) {
            const int length = uchar(pool[at]);
            all.push_back({QByteArrayView(pool.constData() + at + 1, length), int(r)});
            at += 1 + length;
        }
        return fromSorted(all);
    }

    void insert(QByteArrayView key, int rec);
    // False when the index does not hold the entry (it no longer matches the
    // table and must be built again).
    bool remove(QByteArrayView key, int rec);

    int size() const;
    QVector<int> records(QByteArrayView key) const;
    QVector<int> recordsWithPrefix(QByteArrayView prefix) const;
    // The entries whose key starts with prefix, from the largest key down,
    // until visit returns false.
    void visitPrefixDescending(QByteArrayView prefix, const std::function<bool(QByteArrayView key, int rec)> &visit);
    // Every record in key order; equal keys keep ascending records either way.
    QVector<int> inKeyOrder(bool descending);

    // A compact image for the cache, and the index read back from one. The
    // image is checked whole: an index whose entries are not one per record
    // 0..recordCount-1, in order, with keys no longer than keyLength, is
    // refused.
    QByteArray image();
    static std::optional<KeyIndex> fromImage(const QByteArray &image, int recordCount, int keyLength);
    // Up to n (record, key) pairs spread over the index, for checking an
    // index read from the cache against the table.
    QVector<std::pair<int, QByteArray>> sample(int n) const;

private:
    struct Building
    {
        QByteArrayView key;
        int rec;
    };
    struct Entry
    {
        quint32 key; // offset of the key in m_keys: a length byte, then the bytes
        quint32 rec; // record number; the top bit marks a removed entry
    };
    struct AddedSet; // the entries added since the last merge
    static constexpr quint32 kRemoved = 0x80000000u;

    static KeyIndex fromSorted(std::vector<Building> &all);
    QByteArrayView keyAt(const Entry &e) const
    {
        return QByteArrayView(m_keys.constData() + e.key + 1, uchar(m_keys[e.key]));
    }
    // First entry whose key is not below key (or, with rec, whose (key, record) is not below).
    size_t lowerBound(QByteArrayView key, qint64 rec = -1) const;
    size_t endOfPrefix(size_t from, QByteArrayView prefix) const;
    void merge();

    QByteArray m_keys;
    std::vector<Entry> m_entries;
    std::unique_ptr<AddedSet> m_added;
    int m_dead = 0;
};

} // namespace db
