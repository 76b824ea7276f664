#include "app/dataset.h"

#include "app/datamodule.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/sqlvalue.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

using sqlvalue::quoteIdent;

namespace {

const char* kRowidColumn = "corvane_rowid";

FieldDef::Kind kindOfDecl(const char* decl)
{
    if (!decl)
        return FieldDef::Any;
    const QByteArray d = QByteArray(decl).toUpper();
    if (d.contains("INT"))
        return FieldDef::Integer;
    if (d.contains("CHAR") || d.contains("TEXT") || d.contains("CLOB"))
        return FieldDef::Text;
    if (d.contains("BLOB"))
        return FieldDef::Blob;
    if (d.contains("REAL") || d.contains("FLOA") || d.contains("DOUB"))
        return FieldDef::Float;
    return FieldDef::Any;
}

} // namespace

Dataset::Dataset(QObject* parent) : QObject(parent)
{
    // Any change of the rows or their values drops the locate index.
    for (auto sig : {&Dataset::aboutToReset, &Dataset::rowsReset, &Dataset::valuesChanged})
        connect(this, sig, this, [this] { m_locateIndex.reset(); });
    for (auto sig : {&Dataset::rowInserted, &Dataset::rowRemoved, &Dataset::rowChanged})
        connect(this, sig, this, [this] { m_locateIndex.reset(); });
}

Dataset::~Dataset() = default;

sqlite3* Dataset::handle() const
{
    if (m_db)
        return m_db;
    return frmDm ? frmDm->handle() : nullptr;
}

void Dataset::setSql(const QString& sql)
{
    m_sql = sql;
}

void Dataset::setParams(const QVariantList& values)
{
    m_params = values;
}

void Dataset::bindValue(const QString& name, const QVariant& value)
{
    QString key = name;
    if (!key.startsWith(QLatin1Char(':')) && !key.startsWith(QLatin1Char('@')) &&
        !key.startsWith(QLatin1Char('$')))
        key.prepend(QLatin1Char(':'));
    m_named.insert(key, value);
}

QString Dataset::describeStatement() const
{
    QString text = m_sql;
    QStringList parts;
    for (int i = 0; i < m_params.size(); ++i)
        parts << QStringLiteral("%1=%2").arg(i + 1).arg(sqlvalue::logLiteral(m_params.at(i)));
    for (auto it = m_named.cbegin(); it != m_named.cend(); ++it)
        parts << QStringLiteral("%1=%2").arg(it.key(), sqlvalue::logLiteral(it.value()));
    if (!parts.isEmpty())
        text += QStringLiteral("\r\n绑定值：") + parts.join(QStringLiteral("; "));
    return text;
}

// ---------------------------------------------------------------- life cycle

void Dataset::open()
{
    // A dataset that is open already shows its new rows in one reset; one
    // whose statement fails ends closed.
    try {
        openRows();
    } catch (...) {
        close();
        throw;
    }
}

void Dataset::openRows()
{
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));

    QString text = m_sql;
    m_hasRowid = false;
    if (!m_updateTable.isEmpty()) {
        // Carry each row's rowid so posts and deletes find the row again.
        static const QRegularExpression lead(QStringLiteral("^\\s*SELECT\\s+"),
                                             QRegularExpression::CaseInsensitiveOption);
        const auto m = lead.match(text);
        const QString qualifier = rowidQualifier();
        if (m.hasMatch() && !qualifier.isEmpty()) {
            text.insert(m.capturedEnd(),
                        QStringLiteral("%1._rowid_ AS %2, ").arg(qualifier, QLatin1String(kRowidColumn)));
            m_hasRowid = true;
        }
    }

    const QByteArray utf8 = text.toUtf8();
    const char* tail = nullptr;
    sqlvalue::Statement statement(db, utf8.constData(), int(utf8.size()), &tail);
    sqlite3_stmt* st = statement.get();
    if (!st)
        throw DbError(QStringLiteral("语句为空"));
    refuseSecondStatement(db, tail, utf8.constData() + utf8.size());

    bindAll(st, true);

    const int nCols = sqlite3_column_count(st);
    const int first = m_hasRowid ? 1 : 0;
    std::vector<FieldDef> fields;
    fields.reserve(size_t(nCols - first) + m_lookups.size());
    for (int c = first; c < nCols; ++c) {
        FieldDef f;
        f.name = QString::fromUtf8(sqlite3_column_name(st, c));
        f.table = QString::fromUtf8(sqlite3_column_table_name(st, c));
        f.origin = QString::fromUtf8(sqlite3_column_origin_name(st, c));
        f.kind = kindOfDecl(sqlite3_column_decltype(st, c));
        if (!f.table.isEmpty() && !f.origin.isEmpty()) {
            int notNull = 0, pk = 0, autoinc = 0;
            if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, c),
                                              sqlite3_column_table_name(st, c),
                                              sqlite3_column_origin_name(st, c), nullptr, nullptr, &notNull,
                                              &pk, &autoinc) == SQLITE_OK)
                f.autoNumber = autoinc != 0;
        }
        f.readOnly = f.autoNumber || f.table.isEmpty() ||
                     (!m_updateTable.isEmpty() && f.table.compare(m_updateTable, Qt::CaseInsensitive) != 0);
        fields.push_back(f);
    }

    std::vector<Row> rows;
    const int stored = nCols - first;
    while (statement.step()) {
        Row r;
        if (m_hasRowid)
            r.rowid = sqlite3_column_int64(st, 0);
        r.packed = sqlvalue::packRow(st, first, stored);
        rows.push_back(std::move(r));
    }

    emit aboutToReset();
    m_original.clear(); // an edit in progress is dropped, as by close()
    m_storedCount = stored;
    m_fields = std::move(fields);
    m_rows = std::move(rows);
    for (Lookup& l : m_lookups)
        l.cacheValid = false;
    // Lookup fields follow the stored columns; their key columns resolve now.
    for (Lookup& l : m_lookups) {
        FieldDef f;
        f.name = l.name;
        f.kind = FieldDef::Text;
        f.readOnly = true;
        f.lookup = true;
        f.lookupBytes = l.maxBytes;
        l.keyColumn = -1;
        for (int c = 0; c < m_storedCount; ++c)
            if (m_fields[size_t(c)].name.compare(l.keyField, Qt::CaseInsensitive) == 0)
                l.keyColumn = c;
        m_fields.push_back(f);
    }

    activate();
}

void Dataset::activate()
{
    m_state = DatasetState::Browse;
    m_editData = -1;
    m_buffer.clear();
    m_modified.clear();
    m_userModified = false;
    m_lastScrolled = -2;
    rebuildView(false);
    m_cur = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
    emit rowsReset();
    emit stateChanged(m_state);
    emit currentChanged(m_cur);
    runHook(afterOpen);
    scrolled(true);
}

void Dataset::close()
{
    if (m_state == DatasetState::Inactive)
        return;
    emit aboutToReset();
    m_state = DatasetState::Inactive;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_view.clear();
    m_view.shrink_to_fit();
    m_fields.clear();
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_editData = -1;
    m_cur = -1;
    m_bof = m_eof = true;
    // Lookup definitions survive a close.
    for (Lookup& l : m_lookups)
        l.cacheValid = false;
    emit rowsReset();
    emit stateChanged(m_state);
    emit currentChanged(m_cur);
}

void Dataset::execute()
{
    close();
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    const QByteArray utf8 = m_sql.toUtf8();
    const char* end = utf8.constData() + utf8.size();
    const char* tail = nullptr;
    sqlvalue::Statement st(db, utf8.constData(), int(utf8.size()), &tail);
    if (!st.get())
        return; // only blanks or a comment
    // Checked before anything runs, so a refused text changes nothing.
    refuseSecondStatement(db, tail, end);
    bindAll(st.get(), true);
    while (st.step()) {
    }
}

void Dataset::refuseSecondStatement(sqlite3* db, const char* tail, const char* end)
{
    // Only blanks, semicolons and comments may follow the one statement: a
    // second statement is neither run nor silently dropped.
    while (tail && tail < end) {
        const char* next = nullptr;
        bool another = true;
        try {
            sqlvalue::Statement st(db, tail, int(end - tail), &next);
            another = st.get() != nullptr;
        } catch (const DbError&) {
        }
        if (another)
            throw DbError(QStringLiteral("一次只能执行一条语句"));
        if (!next || next == tail)
            break;
        tail = next;
    }
}

void Dataset::bindAll(sqlite3_stmt* st, bool positional) const
{
    const int n = sqlite3_bind_parameter_count(st);
    std::vector<bool> bound(size_t(n) + 1, false);
    if (positional) {
        if (m_params.size() > n)
            throw DbError(QStringLiteral("绑定值多于语句的参数"));
        for (int i = 0; i < m_params.size(); ++i) {
            sqlvalue::bind(st, i + 1, m_params.at(i));
            bound[size_t(i) + 1] = true;
        }
    }
    for (auto it = m_named.cbegin(); it != m_named.cend(); ++it) {
        const int idx = sqlite3_bind_parameter_index(st, it.key().toUtf8().constData());
        if (idx > 0) {
            sqlvalue::bind(st, idx, it.value());
            bound[size_t(idx)] = true;
        }
    }
    // A parameter without a value would silently read as NULL and drop its
    // condition; that is a fault of the caller, not an empty result.
    for (int i = 1; i <= n; ++i) {
        if (!bound[size_t(i)]) {
            const char* name = sqlite3_bind_parameter_name(st, i);
            throw DbError(QStringLiteral("语句的参数 %1 没有值")
                              .arg(name ? QString::fromUtf8(name) : QString::number(i)));
        }
    }
}

QString Dataset::rowidQualifier() const
{
    // A dataset re-opened with the same statement (the detail grids, every
    // move of the cursor) takes the answer of last time.
    if (m_qualifierKnown && m_qualifierSql == m_sql && m_qualifierTable == m_updateTable)
        return m_qualifier;
    m_qualifierSql = m_sql;
    m_qualifierTable = m_updateTable;
    m_qualifier = findRowidQualifier();
    m_qualifierKnown = true;
    return m_qualifier;
}

QString Dataset::findRowidQualifier() const
{
    // Grouped, distinct and compound results have no row of the table behind
    // each line: such a dataset stays read-only.
    static const QRegularExpression notRows(
        QStringLiteral("^\\s*SELECT\\s+(DISTINCT|ALL)\\b|\\bGROUP\\s+BY\\b|\\b(UNION|INTERSECT|EXCEPT)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    if (notRows.match(m_sql).hasMatch())
        return QString();
    static const QRegularExpression from(QStringLiteral("\\bFROM\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto f = from.match(m_sql);
    if (!f.hasMatch())
        return QString();
    // The update table in the FROM list, with its alias when it has one.
    const QRegularExpression table(
        QStringLiteral("(?:^|[\\s,(])\"?%1\"?(?:\\s+(?:AS\\s+)?([A-Za-z_][A-Za-z0-9_]*))?")
            .arg(QRegularExpression::escape(m_updateTable)),
        QRegularExpression::CaseInsensitiveOption);
    const auto t = table.match(m_sql, f.capturedEnd());
    if (!t.hasMatch())
        return QString();
    static const QStringList keywords{"WHERE",  "ORDER", "GROUP",   "HAVING", "LIMIT", "LEFT",
                                      "INNER",  "CROSS", "NATURAL", "JOIN",   "ON",    "USING",
                                      "WINDOW", "UNION", "OUTER",   "RIGHT",  "FULL"};
    const QString alias = t.captured(1);
    if (!alias.isEmpty() && !keywords.contains(alias.toUpper()))
        return alias;
    return quoteIdent(m_updateTable);
}

void Dataset::setState(DatasetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(s);
}

bool Dataset::runHook(const Hook& hook)
{
    if (!hook)
        return true;
    try {
        hook(*this);
    } catch (const DatasetAbort&) {
        return false;
    }
    return true;
}

void Dataset::abort()
{
    throw DatasetAbort{};
}

// ---------------------------------------------------------------- values

QVariantList Dataset::unpackAll(const Row& row) const
{
    QVariantList out;
    out.reserve(m_storedCount);
    for (int c = 0; c < m_storedCount; ++c)
        out << sqlvalue::unpack(row.packed, c);
    return out;
}

QVariant Dataset::storedValue(const Row& row, int column) const
{
    if (column < m_storedCount)
        return sqlvalue::unpack(row.packed, column);
    const int key = m_lookups[size_t(column - m_storedCount)].keyColumn;
    return key < 0 ? QVariant() : lookupValue(sqlvalue::unpack(row.packed, key), column);
}

QVariant Dataset::bufferOrStored(int dataRow, int column) const
{
    const bool editingThis = isEditing() && dataRow == m_editData;
    if (editingThis && column < m_storedCount)
        return m_buffer.at(column);
    if (editingThis) {
        // A lookup follows the key typed into the edit buffer.
        const int key = m_lookups[size_t(column - m_storedCount)].keyColumn;
        return key < 0 ? QVariant() : lookupValue(m_buffer.at(key), column);
    }
    return storedValue(m_rows[size_t(dataRow)], column);
}

int Dataset::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    for (const FieldDef& f : m_fields)
        names << f.name;
    return names;
}

QVariant Dataset::value(int column) const
{
    if (column < 0 || column >= fieldCount())
        throw DbError(QStringLiteral("找不到字段：%1").arg(column));
    if (m_cur < 0)
        return QVariant();
    return bufferOrStored(m_view[size_t(m_cur)], column);
}

QVariant Dataset::value(const QString& name) const
{
    const int c = fieldIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(name));
    return value(c);
}

QString Dataset::asString(const QString& name) const
{
    return sqlvalue::text(value(name));
}

qint64 Dataset::asInteger(const QString& name) const
{
    const QVariant v = value(name);
    if (v.metaType().id() == QMetaType::Double)
        return qint64(std::llround(v.toDouble()));
    return v.toString().trimmed().toLongLong();
}

double Dataset::asFloat(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0.0;
    if (v.metaType().id() == QMetaType::QString)
        return v.toString().trimmed().toDouble();
    return v.toDouble();
}

bool Dataset::isNull(const QString& name) const
{
    return value(name).isNull();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= fieldCount())
        return QVariant();
    return bufferOrStored(m_view[size_t(row)], column);
}

qint64 Dataset::rowIdAt(int row) const
{
    if (row < 0 || row >= recordCount())
        return 0;
    return m_rows[size_t(m_view[size_t(row)])].rowid;
}

void Dataset::setValue(int column, const QVariant& value)
{
    if (!isEditing())
        throw DbError(QStringLiteral("数据集不在编辑状态，不能修改字段"));
    if (column < 0 || column >= fieldCount())
        throw DbError(QStringLiteral("找不到字段：%1").arg(column));
    const FieldDef& f = m_fields[size_t(column)];
    if (f.readOnly)
        throw DbError(QStringLiteral("字段“%1”不能修改").arg(f.name));
    QVariant v = value;
    // Number columns take typed text: empty text is null, a number is stored
    // as a number; anything else goes on as text for the engine to refuse.
    if ((f.kind == FieldDef::Integer || f.kind == FieldDef::Float) &&
        v.metaType().id() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        bool ok = false;
        if (t.isEmpty())
            v = QVariant();
        else if (f.kind == FieldDef::Integer) {
            const qint64 i = t.toLongLong(&ok);
            if (ok)
                v = QVariant(i);
        } else {
            const double d = t.toDouble(&ok);
            if (ok)
                v = QVariant(d);
        }
    } else if (f.kind == FieldDef::Text && v.isValid() && !v.isNull() &&
               v.metaType().id() != QMetaType::QString) {
        v = QVariant(v.toString());
    }
    m_buffer[column] = v;
    m_modified[size_t(column)] = true;
    m_userModified = true;
    emit rowChanged(m_cur);
}

void Dataset::setValue(const QString& name, const QVariant& value)
{
    const int c = fieldIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(name));
    setValue(c, value);
}

// ---------------------------------------------------------------- navigation

void Dataset::scrolled(bool force)
{
    if (!force && m_cur == m_lastScrolled)
        return;
    m_lastScrolled = m_cur;
    runHook(afterScroll);
}

void Dataset::moveTo(int row)
{
    if (!isActive())
        return;
    if (m_view.empty()) {
        m_bof = m_eof = true;
        return;
    }
    row = std::clamp(row, 0, recordCount() - 1);
    if (row != m_cur) {
        checkBrowseMode();
        if (isEditing())
            return; // the post was stopped by a check: stay on the row
        if (m_view.empty())
            return; // the untouched new row was the only one
        row = std::min(row, recordCount() - 1); // it may have been dropped
        m_cur = row;
        emit currentChanged(m_cur);
    }
    m_bof = false;
    m_eof = false;
    scrolled(false);
}

// A move that a before-post check refused ends a row loop (eof or bof set)
// instead of leaving it spinning on the row being edited.
void Dataset::first()
{
    moveTo(0);
    m_bof = true;
    m_eof = m_view.empty() || m_cur != 0;
}

void Dataset::last()
{
    moveTo(recordCount() - 1);
    m_eof = true;
    m_bof = m_view.empty() || m_cur != recordCount() - 1;
}

void Dataset::next()
{
    if (!isActive() || m_view.empty() || m_cur >= recordCount() - 1) {
        m_eof = true;
        return;
    }
    const int from = m_cur;
    moveTo(m_cur + 1);
    if (m_cur == from)
        m_eof = true;
}

void Dataset::prior()
{
    if (!isActive() || m_view.empty() || m_cur <= 0) {
        m_bof = true;
        return;
    }
    const int from = m_cur;
    moveTo(m_cur - 1);
    if (m_cur == from)
        m_bof = true;
}
