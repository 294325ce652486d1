#pragma once
// An in-memory list of text rows: fields are named once, rows are appended
// and posted one at a time and read back in the order they were posted.
// Values are cut to the field size in GBK bytes, as a text field of a table.
#include <QString>
#include <QStringList>
#include <QVector>

namespace clientdata {

class ClientDataSet
{
public:
    static constexpr int kFieldSize = 254;

    explicit ClientDataSet(const QStringList &fieldNames, int fieldSize = kFieldSize);

    const QStringList &fieldNames() const { return m_names; }
    int fieldSize() const { return m_size; }
    // The field's position, any letter case; -1 when there is none.
    int fieldIndex(const QString &name) const;

    // Removes every row and drops a row being appended.
    void emptyDataSet();
    // Starts a new row with every field empty; a row still being appended is
    // posted first.
    void append();
    // Sets a field of the row being appended. Throws when no row is being
    // appended or the dataset has no such field.
    void setFieldText(const QString &name, const QString &text);
    void setFieldText(int field, const QString &text); // by position
    QString fieldText(const QString &name) const; // of the row being appended
    void post();
    void cancel();
    bool appending() const { return m_appending; }

    int recordCount() const { return int(m_rows.size()); }
    // A posted row's field; empty for a row or field that does not exist.
    QString value(int row, const QString &name) const;
    QString value(int row, int field) const;

private:
    int requireField(const QString &name) const;

    QStringList m_names;
    int m_size;
    QVector<QStringList> m_rows;
    QStringList m_pending;
    bool m_appending = false;
};

} // namespace clientdata
