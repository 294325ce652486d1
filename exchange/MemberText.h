#pragma once
// What a member file of a package must be before it is read: text as the
// export writes it, GBK without control characters other than TAB, CR and
// LF. The reader would take NUL bytes for blank lines, a memo cannot hold
// 0x1A, and bytes that are not GBK would be stored as they came.
#include "ExchangeText.h"

#include <QByteArrayView>
#include <QString>

// A byte that breaks the rule: the file, the line and the column (in bytes,
// from 1) of the first one.
class MemberTextError : public ExchangeError
{
public:
    using ExchangeError::ExchangeError;
};

// The rule applied to a member's bytes piece by piece as they are read, so
// that the file is read once: each piece is looked at before anything of
// it is read as records.
class MemberTextCheck
{
public:
    explicit MemberTextCheck(const QString &fileName) : m_name(fileName) {}
    // Throws MemberTextError.
    void take(QByteArrayView bytes);
    // The end of the file: a lead byte without its trail byte breaks the rule.
    void finish() const;

private:
    MemberTextError notGbk(const QString &bytes, qint64 at) const;

    QString m_name;
    qint64 m_line = 1, m_column = 0; // of the byte last looked at
    uchar m_lead = 0;                // a GBK lead byte waiting for its trail byte
};

// The whole file at path; throws MemberTextError, or ExchangeError when it
// cannot be read.
void RequireMemberText(const QString &path);
