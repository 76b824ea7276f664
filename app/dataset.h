#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

enum class DatasetState { Inactive, Browse, Edit, Insert };

// One column of a dataset.
struct FieldDef {
    enum Kind { Text, Integer, Float, Blob, Any };
    QString name;            // as the statement names it
    QString table;           // table the column comes from ("" for an expression)
    QString origin;          // column name in that table
    Kind kind = Any;         // declared type; Any for expressions
    bool autoNumber = false; // assigned by the engine, read-only
    bool readOnly = false;   // auto-number, expression or lookup
    bool lookup = false;     // computed from another dataset, never stored
    int lookupBytes = 0;     // lookup text is cut to this many bytes (GBK count)
};

// A query's result as a static snapshot held in memory, with a current row
// and a state.  Rows are written back to the update table by SQLite rowid,
// so a row whose code changes is still found.  Errors are thrown as DbError;
// a before-hook may call Dataset::abort() to stop its operation silently.
class Dataset : public QObject {
    Q_OBJECT
public:
    using Hook = std::function<void(Dataset&)>;
    struct SortKey {
        int column;
        bool descending;
    };

    // Uses the data module's connection (frmDm) unless another handle is set.
    explicit Dataset(QObject* parent = nullptr);
    ~Dataset() override;

    // Uses this engine handle instead of the data module's (benchmarks, tools).
    void setHandle(sqlite3* db) { m_db = db; }

    // --- the statement ---
    void setSql(const QString& sql);
    const QString& sql() const { return m_sql; }
    // Values bound in order to the statement's parameters (?, :name).
    void setParams(const QVariantList& values);
    const QVariantList& params() const { return m_params; }
    // Binds one named parameter (":tCode"); kept across re-opens.
    void bindValue(const QString& name, const QVariant& value);
    // Rows of this table can be posted and deleted (written back by rowid).
    void setUpdateTable(const QString& table) { m_updateTable = table; }
    const QString& updateTable() const { return m_updateTable; }

    // The statement with its bound values, for the error log.
    QString describeStatement() const;

    // --- life cycle ---
    void open();    // runs the statement and holds its rows; throws DbError
    void close();   // drops the rows (an edit in progress is cancelled)
    void execute(); // runs the statement without a result; throws DbError
    bool isActive() const { return m_state != DatasetState::Inactive; }
    DatasetState state() const { return m_state; }
    bool isEditing() const { return m_state == DatasetState::Edit || m_state == DatasetState::Insert; }

    // --- rows (visible rows: after filter and sort) ---
    int recordCount() const { return int(m_view.size()); }
    bool isEmpty() const { return m_view.empty(); }
    int recNo() const { return m_cur; } // -1 when there is no row
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);

    // --- fields ---
    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef& field(int column) const { return m_fields[column]; }
    int fieldIndex(const QString& name) const; // ignores letter case; -1 when absent
    QStringList fieldNames() const;

    // Values of the current row (the edit buffer while editing).
    QVariant value(int column) const;
    QVariant value(const QString& name) const;
    QString asString(const QString& name) const; // null reads as empty text
    qint64 asInteger(const QString& name) const;
    double asFloat(const QString& name) const;
    bool isNull(const QString& name) const;
    // Value of any visible row (the edit buffer for the row being edited).
    QVariant valueAt(int row, int column) const;
    qint64 rowIdAt(int row) const;
    qint64 rowId() const { return m_cur < 0 ? 0 : rowIdAt(m_cur); }

    // Sets a value of the row being edited or added.
    void setValue(int column, const QVariant& value);
    void setValue(const QString& name, const QVariant& value);

    // --- editing ---
    void append();
    void edit();
    void post();
    void cancel();
    void remove();
    // Deletes several visible rows (the selection of a grid): beforeDelete
    // runs for each with it current, the rows go from the table one by one
    // and from the snapshot at once.  An abort stops the rest.  Run it inside
    // a transaction to make it all or nothing.
    void removeRows(const QList<int>& rows);
    // Leaves editing by posting first; used before moving to another row.
    void checkBrowseMode();
    [[noreturn]] static void abort();

    // Hooks the window code sets; a before-hook may call abort().
    Hook afterOpen, afterInsert, beforeEdit, beforePost, afterPost, beforeDelete, afterDelete, afterScroll,
        afterCancel;
    // Runs when writing a row failed after beforePost let it through (the
    // error then goes on to the caller): undoes what beforePost started.
    Hook postFailed;

    // Whether the row being edited or added was changed by the user: values
    // set by afterInsert do not count.  A new row nobody changed is dropped,
    // not saved, when the cursor leaves it.
    bool isModified() const { return m_userModified; }

    // --- lookup, locate, filter, sort, master ---
    // A read-only text column whose value is source's resultField on the row
    // whose sourceKey equals this row's keyField (ignoring letter case), cut
    // to maxBytes counted as the local code page counts (2 per Chinese char).
    void addLookupField(const QString& name, const QString& keyField, Dataset* source,
                        const QString& sourceKey, const QString& resultField, int maxBytes);
    // Moves to the first visible row whose column equals value; false when none.
    bool locate(const QString& fieldName, const QVariant& value, bool caseInsensitive = true);
    // Builds an index of a text column's values for locate (the quick-locate
    // box calls it at the first key, while its wait runs); any change of the
    // rows drops it again.
    void prepareLocate(const QString& fieldName, bool caseInsensitive = true);
    // Row filter: conditions "col='text'" joined by AND, text quotes doubled;
    // text compares ignoring letter case.  Empty clears.  Throws on bad text.
    void setFilterText(const QString& filter);
    const QString& filterText() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    void setSort(const QList<SortKey>& keys);
    const QList<SortKey>& sortKeys() const { return m_sort; }
    // Re-opens this dataset with the master's current value of masterField
    // bound to paramName whenever the master's current row changes.
    void setMaster(Dataset* master, const QString& masterField, const QString& paramName);

    // --- recordset files ---
    // Saves all columns (names, kinds) and visible rows as a JSON recordset.
    void saveToFile(const QString& path) const;
    // Loads a recordset file: active, browsing, not bound to any table.
    void loadFromFile(const QString& path);

signals:
    // "About to" signals come before the rows change, the others after.
    void aboutToReset();
    void rowAboutToBeInserted(int row);
    void rowAboutToBeRemoved(int row);
    void stateChanged(DatasetState state);
    void currentChanged(int row);
    void rowsReset();         // opened, closed, filtered, sorted
    void rowChanged(int row); // values of a visible row changed
    void rowInserted(int row);
    void rowRemoved(int row);
    void valuesChanged(); // every row's values may have changed (a lookup source moved)

private:
    struct Row {
        qint64 rowid = 0;
        QByteArray packed; // values in the packed form of sqlvalue::pack()
    };

    sqlite3* handle() const;
    void setState(DatasetState s);
    void rebuildView(bool keepCurrent);
    void refreshView(bool scroll); // rebuilds the visible rows and tells the views
    void openRows();               // open() without the clean-up of a failure
    void activate();               // browsing the rows just loaded, first row current
    void scrolled(bool force);
    QVariant storedValue(const Row& row, int column) const;
    QVariant lookupValue(const QVariant& keyValue, int column) const;
    QVariant bufferOrStored(int dataRow, int column) const;
    void reloadRow(int dataRow);          // reads a posted row back from the table
    bool isTableColumn(int column) const; // a column of the update table itself
    void leaveEditing();                  // drops the edit buffer, back to browsing
    bool rowMatchesFilter(const Row& row) const;
    bool runHook(const Hook& hook);
    void masterMoved();
    void bindAll(sqlite3_stmt* st, bool positional) const; // throws when a parameter stays unbound
    static void refuseSecondStatement(sqlite3* db, const char* tail, const char* end);
    QString rowidQualifier() const; // how the update table is named in the statement; "" when not editable
    QString findRowidQualifier() const;
    mutable QString m_qualifierSql, m_qualifierTable, m_qualifier;
    mutable bool m_qualifierKnown = false;

    QVariantList unpackAll(const Row& row) const;

    sqlite3* m_db = nullptr;
    QString m_sql;
    QVariantList m_params;
    QHash<QString, QVariant> m_named;
    QString m_updateTable;
    bool m_hasRowid = false;
    int m_storedCount = 0; // columns held in rows (lookups come after)

    DatasetState m_state = DatasetState::Inactive;
    std::vector<FieldDef> m_fields;
    std::vector<Row> m_rows; // all rows in statement order
    std::vector<int> m_view; // visible rows: indexes into m_rows
    int m_cur = -1;          // current visible row
    bool m_eof = true;
    bool m_bof = true;
    int m_lastScrolled = -2;
    QVariantList m_buffer;   // edit buffer of the current row
    QVariantList m_original; // the edited row as read, to find it again
    std::vector<bool> m_modified;
    bool m_userModified = false;
    int m_editData = -1; // m_rows index of the row being edited or added

    struct Lookup {
        QString name;
        QString keyField;
        int maxBytes = 0;
        int keyColumn = -1; // resolved on open
        QPointer<Dataset> source;
        QString sourceKey;
        QString resultField;
        mutable QHash<QString, QString> cache;
        mutable bool cacheValid = false;
    };
    std::vector<Lookup> m_lookups; // one per lookup field, after the stored columns

    struct FilterTerm {
        QString field;
        QString text;
    };
    QString m_filterText;
    QList<FilterTerm> m_filterTerms;
    bool m_filtered = false;
    QList<SortKey> m_sort;

    struct LocateIndex {
        int column = -1;
        bool caseInsensitive = true;
        QHash<QByteArray, int> firstRow; // folded text -> first visible row
    };
    std::optional<LocateIndex> m_locateIndex; // valid while no row changes
    static QByteArray locateKey(const char* data, qsizetype size, bool caseInsensitive);

    QPointer<Dataset> m_master;
    QString m_masterField;
    QString m_masterParam;
    QMetaObject::Connection m_masterConn;
    QMetaObject::Connection m_masterResetConn;
};
