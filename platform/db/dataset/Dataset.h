#pragma once
// A cursor over rows with typed fields: the common ground of tables and
// queries. Rows are records of one dBASE file or computed rows of a query;
// a filter narrows them; changes are written to the file at post, or held
// back until applied when the dataset caches its updates.
#include "db/file/DbfFile.h"
#include "Field.h"
#include "db/sql/Sql.h"
#include "db/file/Value.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

namespace db {

class Transaction;

struct Column
{
    QString name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
    int sourceField = -1; // field of the file, -1 for computed or lookup columns
};

// A display-only column showing a value of another dataset's row whose key
// equals this row's column.
struct LookupDef
{
    QString name;
    QString label;
    QString keyField;           // in this dataset
    class Dataset *lookup = nullptr;
    QString lookupKeyField;     // in the lookup dataset
    QString lookupResultField;  // shown
};

class Dataset : public QObject
{
    Q_OBJECT

public:
    enum State { Inactive, Browse, Edit, Insert };
    struct Bookmark
    {
        int rec = -1; // record of the file, or row index of a computed result
        // The file's identity (DbfFile::identity), 0 for a computed result:
        // a bookmark never finds a row of another table or of a packed copy.
        quint64 source = 0;
        bool valid() const { return rec >= 0; }
    };

    explicit Dataset(QObject *parent = nullptr);
    ~Dataset() override;

    void setDatabaseName(const QString &dir);
    QString databaseName() const { return m_dir; }

    void open();
    void close();
    bool active() const { return m_state != Inactive; }
    void setActive(bool on) { on ? open() : close(); }
    State state() const { return m_state; }
    // Re-reads the rows, staying on the same record where it still exists.
    void refresh();

    // Filter: "col='value'" terms with and/or; a value ending in '*' matches
    // every text that starts with what precedes it.
    void setFilter(const QString &text);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Navigation
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int n);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return rowCount() == 0; }
    int recordCount() const { return active() ? rowCount() : 0; }
    int recNo() const; // 1-based; 0 when empty
    bool locate(const QString &fieldName, const QString &value, bool partialKey = false, bool caseInsensitive = false);
    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark &b);
    // Tells the transaction that the records behind these rows of the view
    // are about to change: the bytes of one field, or whole records.
    void keepRows(Transaction &transaction, const QList<int> &rows, const QString &field = QString()) const;

    // While disabled, bound views get no notifications; enabling again resets them.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // Fields
    int fieldCount() const { return int(m_fields.size()); }
    Field *field(int i);
    Field *findField(const QString &name);
    Field *fieldByName(const QString &name); // throws when absent
    const QVector<Column> &columns() const { return m_columns; }
    void setFieldLabel(const QString &fieldName, const QString &label);
    QString fieldLabel(int i) const;
    void addLookupField(const LookupDef &def);

    // Values of any row without moving (for views and lookups)
    int rowCount() const { return int(m_view.size()); }
    // The column whose stored text (trailing blanks removed) the rows are
    // sorted by, byte by byte, ascending or descending, so that rows whose
    // text starts alike follow each other; -1 when the rows are in no such
    // order (or a change since the open may have moved one).
    int sortedColumn() const;
    int currentRow() const { return m_current; } // -1 when empty
    Value rowValue(int row, int col) const;
    // A row as its file stores it, when the row shows just that (a record
    // of the file with no change held back or being made): the file, the
    // record and its bytes, valid until the next read of the dataset; the
    // value of column col is then file->value(bytes, rec, sourceField).
    // Null file otherwise.
    struct StoredRow
    {
        const DbfFile *file = nullptr;
        int rec = -1;
        const char *bytes = nullptr;
    };
    StoredRow storedRow(int row) const;
    // A row's value as text: numbers with at most their column's decimals.
    QString rowText(int row, int col) const { return rowValue(row, col).toString(numberDecimals(col)); }
    // The decimals a number column keeps; -1 for other columns.
    int numberDecimals(int col) const;
    // The value of resultField in the first row whose keyField equals key.
    Value lookupValue(const QString &keyField, const Value &key, const QString &resultField) const;

    // Changes
    void edit();
    void append();
    void insert() { append(); }
    void post();
    void cancel();
    void deleteRecord();
    bool modified() const { return !m_changes.isEmpty(); }

    // Cached updates
    void setCachedUpdates(bool on);
    bool cachedUpdates() const { return m_cached; }
    bool updatesPending() const;
    void cancelUpdates();

    // Used by Field
    Value currentValue(int col) const;
    QString storedText(int col) const;
    void setCurrentValue(int col, const Value &v);

signals:
    void layoutReset();            // rows or columns changed wholesale
    void rowUpdated(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentChanged(int row);
    void stateChanged(int state);

protected:
    struct Row
    {
        int rec = -1;      // record of m_file, -1 for a computed or cached-inserted row
        int computed = -1; // index into m_values
        enum Status : quint8 { Unmodified, Modified, Inserted } status = Unmodified;
        std::shared_ptr<QVector<Value>> cache;    // values held back (cached updates)
        std::shared_ptr<QVector<Value>> original; // stored values when first changed
    };

    // Numbers held compactly: "all of 0..n-1" costs nothing until one is
    // removed or added out of turn.
    class IndexList
    {
    public:
        void clear() { setAll(0); }
        void setAll(int n)
        {
            m_all = true;
            m_count = n;
            m_list.clear();
        }
        int size() const { return m_all ? m_count : int(m_list.size()); }
        bool isEmpty() const { return size() == 0; }
        int operator[](int i) const { return m_all ? i : m_list[i]; }
        void append(int v);
        void remove(int i);
        void reserve(int n) { if (!m_all) m_list.reserve(n); }

    private:
        void materialize();
        bool m_all = true;
        int m_count = 0;
        QVector<int> m_list;
    };

    // The rows before filtering. While every row is record i of the file at
    // position i, unchanged, nothing per row is kept.
    class RowStore
    {
    public:
        void clear() { setPlainRecords(0); }
        void setPlainRecords(int n)
        {
            m_rows.clear();
            m_plain = n;
        }
        bool plain() const { return m_rows.isEmpty(); }
        int size() const { return plain() ? m_plain : int(m_rows.size()); }
        Row at(int i) const;
        Row &operator[](int i);
        void append(const Row &r);
        void reserve(int n) { m_rows.reserve(n); }
        // The rows kept one by one; empty while every row is a plain record
        // (which is never changed, so loops over changed rows may skip them).
        QVector<Row> &kept() { return m_rows; }
        const QVector<Row> &kept() const { return m_rows; }

    private:
        void materialize();
        int m_plain = 0;
        QVector<Row> m_rows;
    };

    // Subclasses fill m_file, m_columns, m_baseRows (and m_values).
    virtual void openRows() = 0;
    virtual void closeRows() {}
    // Whether posted rows go to m_file (tables, live queries).
    virtual bool writable() const { return m_file != nullptr; }
    // Tables follow rows added or removed by other datasets on the same file.
    virtual bool followsFile() const { return false; }

    QString tableLabel() const;
    void rebuildView(int keepRec);
    void resetFields();
    void notifyReset();
    void setCurrent(int row);
    bool rowMatchesFilter(const Row &row) const;
    void syncWithFile();
    void checkBrowseMode();
    void checkActive() const;
    void removeFromView(int row);
    bool isCurrentRowEdited(int row) const;
    Row baseRow(int row) const { return m_baseRows.at(m_view[row]); }
    Bookmark bookmarkOf(const Row &row) const;
    QVector<Value> rowValues(int row) const;
    QVector<Value> storedValues(const Row &row) const;
    // The file's values of a row (before held-back changes), for OLD_ parameters.
    Value storedValue(const Row &row, int col) const;
    // Tables list the live records of the file (through the filter) again.
    virtual void relistRows() {}
    Value normalise(int col, const Value &v) const;

    QString m_dir;
    std::shared_ptr<DbfFile> m_file;
    QVector<Column> m_columns; // lookup columns follow the data columns
    int m_dataColumns = 0;
    RowStore m_baseRows;       // every row before filtering; removed rows have rec == kGone
    QVector<QVector<Value>> m_values;
    IndexList m_view;          // indices into m_baseRows of the rows seen
    QVector<Row> m_deleted;    // cached deletions
    static constexpr int kGone = -2;
    quint64 m_fileGeneration = 0;

    State m_state = Inactive;
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;
    // Column → new value while editing: a slot for each column and the
    // columns set, in the order they were set (a load sets and clears many).
    class Changes
    {
    public:
        bool isEmpty() const { return m_set.isEmpty(); }
        bool contains(int col) const { return col >= 0 && col < m_has.size() && m_has[col]; }
        const Value *find(int col) const { return contains(col) ? &m_values[col] : nullptr; }
        Value value(int col) const { return contains(col) ? m_values[col] : Value(); }
        void insert(int col, const Value &v);
        void remove(int col);
        void clear();
        const QVector<int> &columns() const { return m_set; }
        const Value &at(int col) const { return m_values[col]; }

    private:
        QVector<Value> m_values;
        QVector<bool> m_has;
        QVector<int> m_set;
    };
    Changes m_changes;
    int m_beforeInsert = -1;

    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<sql::Condition> m_filter;
    bool m_cached = false;
    int m_sortedColumn = -1;
    quint64 m_sortedGeneration = 0; // of the file when the rows were sorted

    std::vector<std::unique_ptr<Field>> m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name → column
    QHash<QString, QString> m_labels; // lower-case name → display label
    QVector<LookupDef> m_lookups;
    int m_disableCount = 0;
    bool m_resetPending = false;
    // What is remembered of the file the dataset has open, forgotten
    // whenever it opens or closes: the same object is often opened on
    // another table next, with other records under the same numbers.
    struct ReadState
    {
        // The last record read alone (see recordBytes), for the file at
        // this generation (unique in the process: see DbfFile::generation).
        QByteArray recordBuffer;
        int bufferedRec = -1;
        quint64 bufferedGeneration = 0;
        int lastRec = -1;
        int walkFrom = -1; // where the run of rows read through the mapping began
        QByteArray scratch; // a record to put values through the file's format
        QVector<QByteArray> encoded; // column → its last normalised value's bytes
    };
    mutable ReadState m_read;
    const char *recordBytes(int rec) const;
    void putChanges(QByteArray &raw);
    bool changesStored(const char *record) const;

    friend class Field;
};

} // namespace db
