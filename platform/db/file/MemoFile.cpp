// The memo file: reading a memo within the file's bounds, writing one in
// place or after the last block, and keeping the header's next free block.
#include "MemoFile.h"

#include "DbfBytes.h"

#include <algorithm>
#include <sys/stat.h>

namespace db {

using namespace dbf;

namespace {

// A memo longer than this is taken for a damaged pointer, not for a text.
constexpr qint64 kMaxMemo = 16 * 1024 * 1024;

} // namespace

MemoFile::~MemoFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<MemoFile> MemoFile::open(const QString &memoPath, bool dbase4Table)
{
    std::unique_ptr<MemoFile> m(new MemoFile);
    m->m_path = memoPath;
    m->m_blockSize = kMemoBlock;
    bool readOnly = false;
    m->m_fd = openFd(memoPath, &readOnly);
    if (m->m_fd < 0)
        throw DbError(QString::fromUtf8("无法打开备注文件 %1：%2").arg(shortName(memoPath), QString::fromLocal8Bit(strerror(errno))));
    struct stat st;
    if (::fstat(m->m_fd, &st) != 0)
        throw DbError(QString::fromUtf8("无法读取备注文件 %1").arg(shortName(memoPath)));
    m->m_size = st.st_size;
    char head[22];
    const qint64 got = preadAll(m->m_fd, 0, head, sizeof head);
    if (got < 4)
        throw DbError(QString::fromUtf8("备注文件 %1 已损坏：文件头不完整").arg(shortName(memoPath)));
    if (dbase4Table && got >= 22) {
        m->m_dbase4 = true;
        const int bs = readLe16(head + 20);
        if (bs >= 64)
            m->m_blockSize = bs;
    }
    // The header's next free block is not trusted: one behind the end would
    // let new memos overwrite old ones, one past the end would blow the file
    // up (or wrap to the header block). New memos go at the end of the file.
    const qint64 blocksInFile = (m->m_size + m->m_blockSize - 1) / m->m_blockSize;
    m->m_nextBlock = quint32(std::clamp<qint64>(blocksInFile, 1, kMaxMemoBlock));
    return m;
}

QByteArray MemoFile::read(quint32 block)
{
    if (!m_pending.isEmpty() && block >= m_pendingFrom)
        flush();
    const QString name = shortName(m_path);
    const qint64 pos = qint64(block) * m_blockSize;
    if (block == 0 || pos >= m_size)
        throw DbError(QString::fromUtf8("备注文件 %1 已损坏：块号 %2 超出文件末尾").arg(name).arg(block));
    if (m_dbase4) {
        char head[8];
        if (preadAll(m_fd, pos, head, 8) == 8 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xFF) {
            const quint32 len = readLe32(head + 4);
            if (len < 8 || pos + len > m_size || len - 8 > kMaxMemo)
                throw DbError(QString::fromUtf8("备注文件 %1 已损坏：块 %2 的长度无效").arg(name).arg(block));
            QByteArray out(len - 8, '\0');
            if (preadAll(m_fd, pos + 8, out.data(), out.size()) != out.size())
                throw DbError(QString::fromUtf8("读取备注文件 %1 失败").arg(name));
            return out;
        }
    }
    // dBASE III memos end at the first end-of-file mark, which must come
    // within the file and within a sane length.
    QByteArray out;
    qint64 at = pos;
    char chunk[4096];
    while (true) {
        const qint64 n = preadAll(m_fd, at, chunk, std::min<qint64>(sizeof chunk, m_size - at));
        if (n <= 0)
            break;
        if (const void *end = std::memchr(chunk, kEndOfFile, size_t(n))) {
            out.append(chunk, static_cast<const char *>(end) - chunk);
            return out;
        }
        if (out.size() + n > kMaxMemo)
            break;
        out.append(chunk, n);
        at += n;
    }
    throw DbError(QString::fromUtf8("备注文件 %1 已损坏：块 %2 的备注没有结束标记").arg(name).arg(block));
}

// The blocks the text fills, and the blocks of zeros after them that an
// earlier, longer text of the same memo left when it was rewritten in place.
qint64 MemoFile::capacity(quint32 block, const QByteArray &text)
{
    flush(); // the blocks after it may still be in memory
    const int bs = m_blockSize;
    qint64 blocks = ((m_dbase4 ? text.size() + 8 : text.size() + 1) + bs - 1) / bs;
    // A dBASE III text that ends a byte before a block's end has its second
    // end mark at the start of the next block.
    bool markAtStart = !m_dbase4 && (text.size() + 1) % bs == 0;
    QByteArray buffer(bs, '\0');
    while (blocks < 256 && qint64(block) + blocks < qint64(m_nextBlock)) {
        if (preadAll(m_fd, (qint64(block) + blocks) * bs, buffer.data(), bs) != bs)
            break;
        if (markAtStart && buffer[0] == kEndOfFile)
            buffer[0] = '\0';
        markAtStart = false;
        if (buffer.count('\0') != bs)
            break;
        ++blocks;
    }
    return blocks;
}

QByteArray MemoFile::formatted(const QByteArray &text) const
{
    QByteArray data;
    if (m_dbase4) {
        data.resize(8);
        data[0] = char(0xFF);
        data[1] = char(0xFF);
        data[2] = 0x08;
        data[3] = 0x00;
        writeLe32(data.data() + 4, quint32(text.size() + 8));
        data += text;
    } else {
        data = text;
        data.append(kEndOfFile).append(kEndOfFile);
    }
    const qint64 blocks = (data.size() + m_blockSize - 1) / m_blockSize;
    data.append(QByteArray(blocks * m_blockSize - data.size(), '\0'));
    return data;
}

quint32 MemoFile::write(const QByteArray &text, quint32 at, qint64 blocksInPlace, bool collect)
{
    QByteArray data = formatted(text);
    const int bs = m_blockSize;
    const qint64 blocks = std::max<qint64>(data.size() / bs, at ? blocksInPlace : 0);
    data.append(QByteArray(blocks * bs - data.size(), '\0'));
    const quint32 block = at ? at : std::max<quint32>(m_nextBlock, 1); // block 0 is the header
    if (qint64(block) + blocks > qint64(kMaxMemoBlock))
        throw DbError(QString::fromUtf8("备注文件 %1 已满，不能再写入备注").arg(shortName(m_path)));
    if (!at && collect) {
        // A bulk load collects its memos and writes them in large pieces,
        // always before the records that point to them, and the header once.
        if (m_pending.isEmpty())
            m_pendingFrom = block;
        m_pending.append(data);
        m_nextBlock = quint32(block + blocks);
        m_size = std::max(m_size, qint64(m_nextBlock) * bs);
        m_headerBehind = true;
        if (m_pending.size() >= kBulkChunk)
            flush();
        return block;
    }
    flush();
    // Memo blocks first, then the pointer to the next free block: an
    // interrupted write leaves only unused space behind.
    pwriteAll(m_fd, qint64(block) * bs, data.constData(), data.size(), m_path);
    if (!at) {
        m_nextBlock = quint32(block + blocks);
        m_size = std::max(m_size, qint64(m_nextBlock) * bs);
        m_headerBehind = true;
        writeHeader();
    }
    return block;
}

void MemoFile::flush()
{
    if (m_pending.isEmpty())
        return;
    pwriteAll(m_fd, qint64(m_pendingFrom) * m_blockSize, m_pending.constData(), m_pending.size(), m_path);
    m_pending.truncate(0);
}

void MemoFile::writeHeader()
{
    if (!m_headerBehind)
        return;
    char head[4];
    writeLe32(head, m_nextBlock);
    pwriteAll(m_fd, 0, head, 4, m_path);
    m_headerBehind = false;
}

} // namespace db
