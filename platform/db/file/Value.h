#pragma once
// A field's value as the engine passes it around: null, text (GBK bytes), number, date or flag.
#include "NumberText.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace db {

// One field value. Texts are kept as their GBK bytes so that comparisons and
// round trips are byte-exact; decoding happens only when a caller asks.
struct Value
{
    enum Kind : quint8 { Null, Text, Number, Date, Bool };

    Kind kind = Null;
    bool flag = false;
    double number = 0;
    QDate date;
    QByteArray text;

    static Value null() { return {}; }
    static Value fromBytes(const QByteArray &gbk);
    static Value fromString(const QString &s);
    static Value fromNumber(double v);
    static Value fromDate(const QDate &d);
    static Value fromBool(bool b);

    bool isNull() const { return kind == Null; }
    // Display text: numbers in plain decimals with up to 15 significant
    // digits (and at most maxDecimals decimals when given), dates as
    // yyyy-MM-dd, booleans as T/F.
    QString toString(int maxDecimals = -1) const;
    QByteArray toBytes(int maxDecimals = -1) const; // toString() in GBK; Text as stored
    // Conversions used by SQL comparisons and typed field access; throw
    // DbError when a text is not a number or a date.
    double toNumber() const;
    QDate toDate() const;
};

// Parses "yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d" and "yyyyMMdd".
QDate parseDate(const QString &s);

// Byte order of texts with trailing blanks ignored (as dBASE compares).
int compareText(const QByteArray &a, const QByteArray &b);
// -1, 0, 1; texts against numbers or dates convert the text. Null sorts first.
int compareValues(const Value &a, const Value &b);
bool sameValue(const Value &a, const Value &b);

} // namespace db
