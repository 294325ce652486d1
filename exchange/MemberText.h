#pragma once
// What a member file of a package must be before it is read: text as the
// export writes it, GBK without control characters other than TAB, CR and
// LF. The reader would take NUL bytes for blank lines, a memo cannot hold
// 0x1A, and bytes that are not GBK would be stored as they came.
#include <QString>

// Throws ExchangeError naming the file, the line and the column (in bytes,
// from 1) of the first byte that breaks the rule.
void RequireMemberText(const QString &path);
