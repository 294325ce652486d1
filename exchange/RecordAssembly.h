#pragma once
// The first step of reading exchange text: physical lines joined into
// logical records. A physical line ends at CR LF or at a lone LF; a quoted
// value that holds line breaks continues on the following lines, which are
// joined to it with the line ends that separated them. Blank lines (blanks
// and control bytes only) make no record and are passed over in bulk.
#include <QByteArray>
#include <QIODevice>
#include <functional>

class RecordAssembler
{
public:
    explicit RecordAssembler(QIODevice &device);

    // The next logical record; false at the end of the text. Throws
    // ExchangeError when the device fails.
    bool next(QByteArray &record);
    // The physical line (from 1) on which the record last returned begins.
    int firstLine() const { return m_firstLine; }
    // Runs after every piece of the device read, with the bytes read so far.
    void setAfterRead(std::function<void(qint64)> afterRead) { m_afterRead = std::move(afterRead); }
    // Runs on every piece of the device read, before anything of it is read
    // as records; with an empty piece at the end of the device.
    void setOnPiece(std::function<void(QByteArrayView)> onPiece) { m_onPiece = std::move(onPiece); }

private:
    bool readLine(QByteArray &line);
    bool atEnd();
    bool fill();
    void skipBlankLines();

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    QByteArray m_lineEnd; // of the last line read
    int m_lineNo = 0;
    int m_firstLine = 0;
    qint64 m_read = 0;
    std::function<void(qint64)> m_afterRead;
    std::function<void(QByteArrayView)> m_onPiece;
};
