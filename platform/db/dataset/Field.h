#pragma once
// One column of a dataset as callers read and set it (asString, setAsInteger ...).
#include "db/file/Value.h"

#include <QDate>
#include <QString>

namespace db {

class Dataset;

// One column of a dataset's current row. Reads see the row being edited;
// writes need the dataset in edit or insert state.
class Field
{
public:
    Field(Dataset *dataset, int index) : m_dataset(dataset), m_index(index) {}

    int index() const { return m_index; }
    QString fieldName() const;
    QString displayLabel() const;
    char dataType() const; // C N F D M L; 'K' for a lookup column
    int size() const;
    int decimals() const;
    bool isLookup() const;

    Value value() const;
    void setValue(const Value &v);
    // Null: never given a value, or an empty text.
    bool isNull() const { return value().isNull(); }
    // Numbers in plain decimals, with at most the column's decimals.
    QString asString() const;
    void setAsString(const QString &s);
    int asInteger() const;
    void setAsInteger(int v) { setValue(Value::fromNumber(v)); }
    double asFloat() const;
    void setAsFloat(double v) { setValue(Value::fromNumber(v)); }
    QDate asDate() const;
    void setAsDate(const QDate &d) { setValue(Value::fromDate(d)); }
    void clear() { setValue(Value()); }
    // The text the file holds for this field of the current row, as stored:
    // shows what a value that does not read as its type (a date that is no
    // date) really is. Empty for computed rows.
    QString storedText() const;

private:
    Dataset *m_dataset;
    int m_index;
};

} // namespace db
