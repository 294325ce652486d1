#pragma once
// The pieces of the exchange text syntax shared by writer and reader: one
// record per line, values separated by TAB, and a value holding a TAB or a
// line break, or beginning with a double quote, enclosed in double quotes
// with its inner quotes doubled. Everything works on GBK bytes: no GBK
// trail byte equals TAB, CR, LF or '"', so scanning bytes is safe.
#include "ui/HandlerGuard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <stdexcept>

// A file of the exchange that cannot be written or read; what() is UTF-8.
// The details keep what a tool said about it (the archiver's transcript).
class ExchangeError : public std::runtime_error, public ui::ErrorDetails
{
public:
    explicit ExchangeError(const QString &message, const QString &details = {});
    QString message() const { return m_message; }
    QString details() const override { return m_details; }

private:
    QString m_message;
    QString m_details;
};

// A read stopped at the user's request; what it wrote is taken back.
class ReadCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "read cancelled"; }
};

// Every double quote doubled.
QByteArray DoubleQuotes(const QByteArray &text);
// The number of double quotes; an odd count means a quoted value is still open.
int CountQuotes(const QByteArray &text);
// Every pair of adjacent double quotes made one, scanning left to right.
QByteArray UndoubleQuotes(const QByteArray &text);

// Whether a value that is not the last of its record must be quoted. A lone
// LF counts as well, or the reader would cut the record in two there.
bool NeedsQuotes(QByteArrayView value);
// The value as written in the middle of a record: quoted when it must be.
QByteArray QuoteField(const QByteArray &value);
// The same appended to out.
void AppendQuoted(QByteArray &out, QByteArrayView value);

// Blanks and control characters removed at both ends.
QByteArray TrimBytes(const QByteArray &text);
// The same as a view of text.
QByteArrayView TrimmedView(QByteArrayView text);
// A quoted value as written: the token less its first and last character,
// pairs of quotes made one.
QByteArray Unquoted(QByteArrayView token);

// The values of a record as the writer separates them, for counting them
// and reading the leading ones back: the first up to the first TAB, as it
// stands; a further one that begins with an odd number of double quotes
// runs on over TABs until its quotes pair up; one that begins with a quote
// is unquoted.
QList<QByteArray> SplitRecord(const QByteArray &record);

// The same values one at a time, without copying the record: for reading
// a few of them back from records of many.
class RecordValues
{
public:
    explicit RecordValues(QByteArrayView record) : m_record(record) {}
    // Moves to the next value; false past the last.
    bool next();
    // The value as SplitRecord gives it.
    QByteArray value() const;

private:
    QByteArrayView m_record;
    qsizetype m_from = 0, m_to = -1; // the current value's bytes as written
    bool m_first = true;
};
