// The sorted keys of a text field: built, read from and written to an image, searched and kept up to date.
#include "KeyIndex.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory_resource>
#include <set>

namespace db {

namespace {

int compareKeys(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (n > 0)
        if (const int c = std::memcmp(a.data(), b.data(), size_t(n)))
            return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool startsWith(QByteArrayView key, QByteArrayView prefix)
{
    return key.size() >= prefix.size() && std::memcmp(key.data(), prefix.data(), size_t(prefix.size())) == 0;
}

constexpr char kMagic[4] = {'C', 'V', 'K', 'I'};
constexpr quint32 kVersion = 1;

// A key's first sixteen bytes as two numbers, with its length: keys of up to
// sixteen bytes, most keys, sort and compare without reading their bytes.
struct Head
{
    quint64 high, low;
    qsizetype length;

    static Head of(QByteArrayView key)
    {
        uchar b[16] = {};
        std::memcpy(b, key.data(), size_t(std::min<qsizetype>(16, key.size())));
        return {qFromBigEndian<quint64>(b), qFromBigEndian<quint64>(b + 8), key.size()};
    }
};

// Whether (key a, record) comes before (key b, record). Heads in order are
// keys in order. With equal heads (the bytes beyond a key's end read as
// zeros) two short keys differ only in length, the shorter first; longer
// keys leave it to their bytes.
bool before(const Head &ha, QByteArrayView a, qint64 recA, const Head &hb, QByteArrayView b, qint64 recB)
{
    if (ha.high != hb.high)
        return ha.high < hb.high;
    if (ha.low != hb.low)
        return ha.low < hb.low;
    const int c = ha.length <= 16 && hb.length <= 16 ? (ha.length > hb.length) - (ha.length < hb.length)
                                                     : compareKeys(a, b);
    return c != 0 ? c < 0 : recA < recB;
}

// An added entry: its key in the set's pool (a length byte, then the
// bytes), and the key's head.
struct Added
{
    Head head;
    quint32 key;
    int rec;
};

// A key looked for, with a record (-1: before every record of the key).
struct Probe
{
    QByteArrayView key;
    Head head;
    qint64 rec;
};

struct AddedOrder
{
    using is_transparent = void;
    const QByteArray *pool;

    QByteArrayView keyOf(const Added &a) const
    {
        return QByteArrayView(pool->constData() + a.key + 1, uchar(pool->at(a.key)));
    }
    bool operator()(const Added &a, const Added &b) const
    {
        return before(a.head, keyOf(a), a.rec, b.head, keyOf(b), b.rec);
    }
    bool operator()(const Added &a, const Probe &b) const { return before(a.head, keyOf(a), a.rec, b.head, b.key, b.rec); }
    bool operator()(const Probe &a, const Added &b) const { return before(a.head, a.key, a.rec, b.head, keyOf(b), b.rec); }
};

} // namespace

struct KeyIndex::AddedSet
{
    QByteArray keys;
    std::pmr::unsynchronized_pool_resource nodes;
    std::pmr::set<Added, AddedOrder> entries{AddedOrder{&keys}, &nodes};

    QByteArrayView keyOf(const Added &a) const { return entries.key_comp().keyOf(a); }
    auto from(QByteArrayView key, qint64 rec = -1) const { return entries.lower_bound(Probe{key, Head::of(key), rec}); }
    void clear()
    {
        entries.clear();
        nodes.release();
        keys.clear();
    }
};

KeyIndex::KeyIndex() : m_added(std::make_unique<AddedSet>()) {}
KeyIndex::~KeyIndex() = default;
KeyIndex::KeyIndex(KeyIndex &&) noexcept = default;
KeyIndex &KeyIndex::operator=(KeyIndex &&) noexcept = default;

int KeyIndex::size() const
{
    return int(m_entries.size()) - m_dead + int(m_added->entries.size());
}

KeyIndex KeyIndex::fromSorted(std::vector<Building> &all)
{
    std::vector<std::pair<Head, quint32>> order(all.size()); // head, position in all
    for (size_t i = 0; i < all.size(); ++i)
        order[i] = {Head::of(all[i].key), quint32(i)};
    std::sort(order.begin(), order.end(), [&](const auto &a, const auto &b) {
        const Building &x = all[a.second], &y = all[b.second];
        return before(a.first, x.key, x.rec, b.first, y.key, y.rec);
    });
    KeyIndex index;
    index.m_entries.reserve(all.size());
    QByteArrayView previous;
    bool any = false;
    for (const auto &o : order) {
        const Building &b = all[o.second];
        if (!any || compareKeys(b.key, previous) != 0) {
            const quint32 at = quint32(index.m_keys.size());
            index.m_keys.append(char(b.key.size()));
            index.m_keys.append(b.key.data(), b.key.size());
            index.m_entries.push_back({at, quint32(b.rec)});
            previous = b.key;
            any = true;
        } else {
            index.m_entries.push_back({index.m_entries.back().key, quint32(b.rec)});
        }
    }
    return index;
}

size_t KeyIndex::lowerBound(QByteArrayView key, qint64 rec) const
{
    const auto it = std::partition_point(m_entries.begin(), m_entries.end(), [&](const Entry &e) {
        const int c = compareKeys(keyAt(e), key);
        return c < 0 || (c == 0 && qint64(e.rec & ~kRemoved) < rec);
    });
    return size_t(it - m_entries.begin());
}

size_t KeyIndex::endOfPrefix(size_t from, QByteArrayView prefix) const
{
    // Keys that start with the prefix follow each other.
    const auto it = std::partition_point(m_entries.begin() + qsizetype(from), m_entries.end(),
                                         [&](const Entry &e) { return startsWith(keyAt(e), prefix); });
    return size_t(it - m_entries.begin());
}

void KeyIndex::insert(QByteArrayView key, int rec)
{
    AddedSet &added = *m_added;
    const quint32 at = quint32(added.keys.size());
    added.keys.append(char(key.size()));
    added.keys.append(key.data(), key.size());
    if (!added.entries.insert({Head::of(key), at, rec}).second)
        added.keys.truncate(at); // held already
    // A merge rewrites the whole array, so it waits for additions in
    // proportion to it: each addition then pays a few entry copies however
    // many follow, where a fixed or root-sized batch would make a long run of
    // additions cost more than linear.
    if (added.entries.size() > std::max<size_t>(64, m_entries.size() / 4))
        merge();
}

bool KeyIndex::remove(QByteArrayView key, int rec)
{
    if (auto it = m_added->entries.find(Probe{key, Head::of(key), rec}); it != m_added->entries.end()) {
        m_added->entries.erase(it); // its key stays in the pool until the merge
        return true;
    }
    const size_t i = lowerBound(key, rec);
    if (i >= m_entries.size() || m_entries[i].rec != quint32(rec) || compareKeys(keyAt(m_entries[i]), key) != 0)
        return false;
    m_entries[i].rec |= kRemoved;
    if (++m_dead > int(m_entries.size() / 4) + 64)
        merge();
    return true;
}

QVector<int> KeyIndex::records(QByteArrayView key) const
{
    QVector<int> found;
    for (size_t i = lowerBound(key); i < m_entries.size() && compareKeys(keyAt(m_entries[i]), key) == 0; ++i)
        if (!(m_entries[i].rec & kRemoved))
            found.append(int(m_entries[i].rec));
    const qsizetype fromIndex = found.size();
    for (auto it = m_added->from(key); it != m_added->entries.end() && m_added->keyOf(*it) == key; ++it)
        found.append(it->rec);
    if (fromIndex > 0 && fromIndex < found.size())
        std::inplace_merge(found.begin(), found.begin() + fromIndex, found.end());
    return found;
}

QVector<int> KeyIndex::recordsWithPrefix(QByteArrayView prefix) const
{
    QVector<int> found;
    const size_t from = lowerBound(prefix);
    const size_t to = endOfPrefix(from, prefix);
    found.reserve(qsizetype(to - from));
    for (size_t i = from; i < to; ++i)
        if (!(m_entries[i].rec & kRemoved))
            found.append(int(m_entries[i].rec));
    for (auto it = m_added->from(prefix); it != m_added->entries.end() && startsWith(m_added->keyOf(*it), prefix); ++it)
        found.append(it->rec);
    std::sort(found.begin(), found.end());
    return found;
}

void KeyIndex::visitPrefixDescending(QByteArrayView prefix, const std::function<bool(QByteArrayView, int)> &visit)
{
    merge();
    const size_t from = lowerBound(prefix);
    for (size_t i = endOfPrefix(from, prefix); i > from; --i)
        if (!visit(keyAt(m_entries[i - 1]), int(m_entries[i - 1].rec)))
            return;
}

QVector<int> KeyIndex::inKeyOrder(bool descending)
{
    merge();
    QVector<int> out;
    out.reserve(qsizetype(m_entries.size()));
    if (!descending) {
        for (const Entry &e : m_entries)
            out.append(int(e.rec));
        return out;
    }
    // Groups of one key from the last, each in ascending records.
    size_t end = m_entries.size();
    while (end > 0) {
        size_t begin = end - 1;
        while (begin > 0 && m_entries[begin - 1].key == m_entries[end - 1].key)
            --begin;
        for (size_t i = begin; i < end; ++i)
            out.append(int(m_entries[i].rec));
        end = begin;
    }
    return out;
}

QVector<std::pair<int, QByteArray>> KeyIndex::sample(int n) const
{
    QVector<std::pair<int, QByteArray>> out;
    const size_t count = m_entries.size();
    for (int i = 0; count > 0 && i < n; ++i) {
        const Entry &e = m_entries[count == 1 || n == 1 ? 0 : size_t(i) * (count - 1) / size_t(n - 1)];
        if (!(e.rec & kRemoved))
            out.append({int(e.rec), keyAt(e).toByteArray()});
    }
    return out;
}

// The live entries and the added ones as one sorted array again.
void KeyIndex::merge()
{
    const AddedSet &fresh = *m_added;
    if (fresh.entries.empty() && m_dead == 0)
        return;
    QByteArray keys;
    std::vector<Entry> entries;
    keys.reserve(m_keys.size());
    entries.reserve(m_entries.size() - size_t(m_dead) + fresh.entries.size());
    const auto last = [&] {
        const quint32 at = entries.back().key;
        return QByteArrayView(keys.constData() + at + 1, uchar(keys[at]));
    };
    const auto put = [&](QByteArrayView key, int rec) {
        if (entries.empty() || compareKeys(key, last()) != 0) {
            const quint32 at = quint32(keys.size());
            keys.append(char(key.size()));
            keys.append(key.data(), key.size());
            entries.push_back({at, quint32(rec)});
        } else {
            entries.push_back({entries.back().key, quint32(rec)});
        }
    };
    auto added = fresh.entries.begin();
    for (const Entry &e : m_entries) {
        if (e.rec & kRemoved)
            continue;
        const QByteArrayView key = keyAt(e);
        for (; added != fresh.entries.end(); ++added) {
            const int c = compareKeys(fresh.keyOf(*added), key);
            if (c > 0 || (c == 0 && added->rec > int(e.rec)))
                break;
            put(fresh.keyOf(*added), added->rec);
        }
        put(key, int(e.rec));
    }
    for (; added != fresh.entries.end(); ++added)
        put(fresh.keyOf(*added), added->rec);
    m_keys = keys;
    m_entries = std::move(entries);
    m_added->clear();
    m_dead = 0;
}

QByteArray KeyIndex::image()
{
    merge();
    QByteArray out;
    const auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    out.append(kMagic, 4);
    put32(kVersion);
    put32(quint32(m_entries.size()));
    put32(quint32(m_keys.size()));
    out.append(m_keys);
    for (const Entry &e : m_entries) {
        put32(e.key);
        put32(e.rec);
    }
    return out;
}

std::optional<KeyIndex> KeyIndex::fromImage(const QByteArray &image, int recordCount, int keyLength)
{
    const char *p = image.constData();
    const qint64 size = image.size();
    if (size < 16 || std::memcmp(p, kMagic, 4) != 0 || qFromLittleEndian<quint32>(p + 4) != kVersion)
        return std::nullopt;
    const quint32 count = qFromLittleEndian<quint32>(p + 8);
    const quint32 keyBytes = qFromLittleEndian<quint32>(p + 12);
    if (recordCount < 0 || count != quint32(recordCount) || size != 16 + qint64(keyBytes) + 8 * qint64(count))
        return std::nullopt;

    KeyIndex index;
    index.m_keys = image.mid(16, keyBytes);
    // The distinct keys: each as long as the field at most, without trailing
    // blanks, in strictly ascending order.
    std::vector<quint32> starts;
    QByteArrayView previous;
    for (quint32 at = 0; at < keyBytes;) {
        const int length = uchar(index.m_keys[at]);
        if (length > keyLength || at + 1 + quint32(length) > keyBytes)
            return std::nullopt;
        const QByteArrayView key(index.m_keys.constData() + at + 1, length);
        if (length > 0 && (key.back() == ' ' || key.back() == '\0'))
            return std::nullopt;
        if (!starts.empty() && compareKeys(previous, key) >= 0)
            return std::nullopt;
        starts.push_back(at);
        previous = key;
        at += 1 + quint32(length);
    }
    // One entry for every record, each pointing at a key, ascending.
    std::vector<bool> seen(size_t(count), false);
    index.m_entries.resize(count);
    const char *e = p + 16 + keyBytes;
    size_t keyNo = 0;
    for (quint32 i = 0; i < count; ++i, e += 8) {
        const Entry entry{qFromLittleEndian<quint32>(e), qFromLittleEndian<quint32>(e + 4)};
        if (entry.rec >= count || seen[entry.rec])
            return std::nullopt;
        seen[entry.rec] = true;
        if (i > 0 && entry.key == index.m_entries[i - 1].key && entry.rec < index.m_entries[i - 1].rec)
            return std::nullopt;
        while (keyNo < starts.size() && starts[keyNo] < entry.key)
            ++keyNo;
        if (keyNo == starts.size() || starts[keyNo] != entry.key)
            return std::nullopt;
        index.m_entries[i] = entry;
    }
    return index;
}

} // namespace db
