// A field's value read from and written to its dataset's current row, by type.
#include "Field.h"

#include "Dataset.h"
#include "db/file/DbError.h"

#include <cmath>

namespace db {

QString Field::fieldName() const
{
    return m_dataset->m_columns[m_index].name;
}

QString Field::displayLabel() const
{
    return m_dataset->fieldLabel(m_index);
}

char Field::dataType() const
{
    return isLookup() ? 'K' : m_dataset->m_columns[m_index].type;
}

int Field::size() const
{
    return m_dataset->m_columns[m_index].length;
}

int Field::decimals() const
{
    return m_dataset->m_columns[m_index].decimals;
}

bool Field::isLookup() const
{
    return m_index >= m_dataset->m_dataColumns;
}

Value Field::value() const
{
    return m_dataset->currentValue(m_index);
}

void Field::setValue(const Value &v)
{
    m_dataset->setCurrentValue(m_index, v);
}

QString Field::asString() const
{
    return value().toString(m_dataset->numberDecimals(m_index));
}

void Field::setAsString(const QString &s)
{
    setValue(s.isEmpty() ? Value() : Value::fromString(s));
}

int Field::asInteger() const
{
    return int(std::llround(value().toNumber()));
}

double Field::asFloat() const
{
    return value().toNumber();
}

QString Field::storedText() const
{
    return m_dataset->storedText(m_index);
}

QDate Field::asDate() const
{
    return value().toDate();
}

} // namespace db
