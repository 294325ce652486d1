#pragma once
// The first step of reading exchange text: physical lines joined into
// logical records. A physical line ends at CR LF or at a lone LF; a quoted
// value that holds line breaks continues on the following lines, which are
// joined to it with the line ends that separated them.
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
    // Runs after every physical line read.
    void setAfterLine(std::function<void()> afterLine) { m_afterLine = std::move(afterLine); }

private:
    bool readLine(QByteArray &line);
    bool atEnd();
    bool fill();

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    QByteArray m_lineEnd; // of the last line read
    int m_lineNo = 0;
    int m_firstLine = 0;
    std::function<void()> m_afterLine;
};
