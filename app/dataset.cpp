#include "app/dataset.h"

#include "app/common.h"
#include "app/datamodule.h"
#include "app/dberror.h"
#include "app/globals.h"

#include <QCollator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace {

// Tags of the compact row form: [u32 offset per column][tag][payload]...
enum Tag : char { TagNull = 0, TagInt = 1, TagFloat = 2, TagText = 3, TagBlob = 4 };

const char* kRowidColumn = "corvane_rowid";

struct Stmt {
    sqlite3_stmt* s = nullptr;
    ~Stmt() { sqlite3_finalize(s); }
};

QString engineMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

FieldDef::Kind kindOfDecl(const char* decl) {
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

void bindOne(sqlite3_stmt* st, int index, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
        sqlite3_bind_int64(st, index, v.toLongLong());
        break;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        sqlite3_bind_int64(st, index, qint64(v.toULongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(st, index, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(st, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(st, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        break;
    }
    }
}

QString literal(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QStringLiteral("NULL");
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 17);
    case QMetaType::QByteArray:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(v.toByteArray().toHex()));
    default: {
        QString s = v.toString();
        s.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QLatin1Char('\'') + s + QLatin1Char('\'');
    }
    }
}

QString quoteIdent(const QString& name) {
    QString s = name;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// Appends one engine value of a statement column to a row being packed.
void appendColumn(QByteArray& out, sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER: {
        out.append(char(TagInt));
        const qint64 i = sqlite3_column_int64(st, c);
        out.append(reinterpret_cast<const char*>(&i), sizeof i);
        break;
    }
    case SQLITE_FLOAT: {
        out.append(char(TagFloat));
        const double d = sqlite3_column_double(st, c);
        out.append(reinterpret_cast<const char*>(&d), sizeof d);
        break;
    }
    case SQLITE_TEXT: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        const quint32 n = quint32(sqlite3_column_bytes(st, c));
        out.append(char(TagText));
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
        out.append(t, qsizetype(n));
        break;
    }
    case SQLITE_BLOB: {
        const char* b = static_cast<const char*>(sqlite3_column_blob(st, c));
        const quint32 n = quint32(sqlite3_column_bytes(st, c));
        out.append(char(TagBlob));
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
        if (n)
            out.append(b, qsizetype(n));
        break;
    }
    default:
        out.append(char(TagNull));
        break;
    }
}

// Text cut to a number of bytes as the local code page counts them: one per
// ASCII character, two per Chinese character; never half a character.
QString cutToBytes(const QString& text, int maxBytes) {
    if (maxBytes <= 0)
        return text;
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar ch = text.at(i);
        const int w = ch.unicode() < 0x80 ? 1 : 2;
        const int units = (ch.isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const int need = units == 2 ? 4 : w;
        if (bytes + need > maxBytes)
            break;
        bytes += need;
        i += units;
    }
    return text.left(i);
}

int compareValues(const QVariant& a, const QVariant& b, const QCollator& coll) {
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const int ta = a.metaType().id(), tb = b.metaType().id();
    const bool anum = ta == QMetaType::LongLong || ta == QMetaType::Double;
    const bool bnum = tb == QMetaType::LongLong || tb == QMetaType::Double;
    if (anum && bnum) {
        if (ta == QMetaType::LongLong && tb == QMetaType::LongLong) {
            const qint64 x = a.toLongLong(), y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (anum != bnum)
        return anum ? -1 : 1;
    return coll.compare(a.toString(), b.toString());
}

bool sameValue(const QVariant& a, const QVariant& b, bool caseInsensitive) {
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const int ta = a.metaType().id();
    if (ta == QMetaType::LongLong || ta == QMetaType::Double) {
        bool ok = false;
        const double y = b.toDouble(&ok);
        return ok && a.toDouble() == y;
    }
    return a.toString().compare(b.toString(), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

} // namespace

Dataset::Dataset(QObject* parent) : QObject(parent) {}

Dataset::~Dataset() = default;

sqlite3* Dataset::handle() const {
    if (m_db)
        return m_db;
    return frmDm ? frmDm->handle() : nullptr;
}

void Dataset::setSql(const QString& sql) {
    m_sql = sql;
}

void Dataset::setParams(const QVariantList& values) {
    m_params = values;
}

void Dataset::bindValue(const QString& name, const QVariant& value) {
    QString key = name;
    if (!key.startsWith(QLatin1Char(':')) && !key.startsWith(QLatin1Char('@')) &&
        !key.startsWith(QLatin1Char('$')))
        key.prepend(QLatin1Char(':'));
    m_named.insert(key, value);
}

QString Dataset::describeStatement() const {
    QString text = m_sql;
    QStringList parts;
    for (int i = 0; i < m_params.size(); ++i)
        parts << QStringLiteral("%1=%2").arg(i + 1).arg(literal(m_params.at(i)));
    for (auto it = m_named.cbegin(); it != m_named.cend(); ++it)
        parts << QStringLiteral("%1=%2").arg(it.key(), literal(it.value()));
    if (!parts.isEmpty())
        text += QStringLiteral("\r\n绑定值：") + parts.join(QStringLiteral("; "));
    return text;
}

// ---------------------------------------------------------------- life cycle

void Dataset::open() {
    close();
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
    Stmt st;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st.s, &tail) != SQLITE_OK)
        throw DbError(engineMessage(db));
    if (!st.s)
        throw DbError(QStringLiteral("语句为空"));
    if (tail && QByteArray(tail).trimmed().replace(';', "").trimmed().size() > 0)
        throw DbError(QStringLiteral("一次只能执行一条语句"));

    bindAll(st.s, true);

    const int nCols = sqlite3_column_count(st.s);
    const int first = m_hasRowid ? 1 : 0;
    std::vector<FieldDef> fields;
    fields.reserve(size_t(nCols - first) + m_lookups.size());
    for (int c = first; c < nCols; ++c) {
        FieldDef f;
        f.name = QString::fromUtf8(sqlite3_column_name(st.s, c));
        f.table = QString::fromUtf8(sqlite3_column_table_name(st.s, c));
        f.origin = QString::fromUtf8(sqlite3_column_origin_name(st.s, c));
        f.kind = kindOfDecl(sqlite3_column_decltype(st.s, c));
        if (!f.table.isEmpty() && !f.origin.isEmpty()) {
            int notNull = 0, pk = 0, autoinc = 0;
            if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st.s, c),
                                              sqlite3_column_table_name(st.s, c),
                                              sqlite3_column_origin_name(st.s, c), nullptr, nullptr, &notNull,
                                              &pk, &autoinc) == SQLITE_OK)
                f.autoNumber = autoinc != 0;
        }
        f.readOnly = f.autoNumber || f.table.isEmpty() ||
                     (!m_updateTable.isEmpty() && f.table.compare(m_updateTable, Qt::CaseInsensitive) != 0);
        fields.push_back(f);
    }

    std::vector<Row> rows;
    const int stored = nCols - first;
    const qsizetype header = qsizetype(stored) * qsizetype(sizeof(quint32));
    for (;;) {
        const int rc = sqlite3_step(st.s);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw DbError(engineMessage(db));
        Row r;
        if (m_hasRowid)
            r.rowid = sqlite3_column_int64(st.s, 0);
        QByteArray& p = r.packed;
        p.reserve(header + stored * 12);
        p.resize(header);
        for (int c = 0; c < stored; ++c) {
            const quint32 off = quint32(p.size());
            std::memcpy(p.data() + qsizetype(c) * qsizetype(sizeof(quint32)), &off, sizeof off);
            appendColumn(p, st.s, c + first);
        }
        p.squeeze();
        rows.push_back(std::move(r));
    }

    emit aboutToReset();
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

void Dataset::activate() {
    m_state = DatasetState::Browse;
    m_editData = -1;
    m_buffer.clear();
    m_modified.clear();
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

void Dataset::close() {
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

void Dataset::execute() {
    close();
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    const QByteArray utf8 = m_sql.toUtf8();
    const char* p = utf8.constData();
    const char* end = p + utf8.size();
    bool bound = false;
    while (p < end) {
        Stmt st;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, p, int(end - p), &st.s, &tail) != SQLITE_OK)
            throw DbError(engineMessage(db));
        p = tail ? tail : end;
        if (!st.s)
            continue; // only blanks or a comment
        // The values in order belong to the first statement.
        bindAll(st.s, !bound);
        bound = true;
        int rc;
        while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            throw DbError(engineMessage(db));
    }
}

void Dataset::bindAll(sqlite3_stmt* st, bool positional) const {
    const int n = sqlite3_bind_parameter_count(st);
    std::vector<bool> bound(size_t(n) + 1, false);
    if (positional) {
        if (m_params.size() > n)
            throw DbError(QStringLiteral("绑定值多于语句的参数"));
        for (int i = 0; i < m_params.size(); ++i) {
            bindOne(st, i + 1, m_params.at(i));
            bound[size_t(i) + 1] = true;
        }
    }
    for (auto it = m_named.cbegin(); it != m_named.cend(); ++it) {
        const int idx = sqlite3_bind_parameter_index(st, it.key().toUtf8().constData());
        if (idx > 0) {
            bindOne(st, idx, it.value());
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

QString Dataset::rowidQualifier() const {
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

void Dataset::setState(DatasetState s) {
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(s);
}

bool Dataset::runHook(const Hook& hook) {
    if (!hook)
        return true;
    try {
        hook(*this);
    } catch (const DatasetAbort&) {
        return false;
    }
    return true;
}

void Dataset::abort() {
    throw DatasetAbort{};
}

// ---------------------------------------------------------------- values

QVariant Dataset::unpackOne(const QByteArray& packed, int column) {
    quint32 off = 0;
    std::memcpy(&off, packed.constData() + qsizetype(column) * qsizetype(sizeof(quint32)), sizeof off);
    const char* p = packed.constData() + off;
    switch (*p) {
    case TagInt: {
        qint64 i;
        std::memcpy(&i, p + 1, sizeof i);
        return QVariant(i);
    }
    case TagFloat: {
        double d;
        std::memcpy(&d, p + 1, sizeof d);
        return QVariant(d);
    }
    case TagText: {
        quint32 n;
        std::memcpy(&n, p + 1, sizeof n);
        return QVariant(QString::fromUtf8(p + 1 + sizeof n, qsizetype(n)));
    }
    case TagBlob: {
        quint32 n;
        std::memcpy(&n, p + 1, sizeof n);
        return QVariant(QByteArray(p + 1 + sizeof n, qsizetype(n)));
    }
    default:
        return QVariant();
    }
}

QByteArray Dataset::pack(const QVariantList& values) {
    const qsizetype header = values.size() * qsizetype(sizeof(quint32));
    QByteArray p;
    p.resize(header);
    for (int c = 0; c < values.size(); ++c) {
        const quint32 off = quint32(p.size());
        std::memcpy(p.data() + qsizetype(c) * qsizetype(sizeof(quint32)), &off, sizeof off);
        const QVariant& v = values.at(c);
        if (!v.isValid() || v.isNull()) {
            p.append(char(TagNull));
            continue;
        }
        switch (v.metaType().id()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong: {
            const qint64 i = v.toLongLong();
            p.append(char(TagInt));
            p.append(reinterpret_cast<const char*>(&i), sizeof i);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = v.toDouble();
            p.append(char(TagFloat));
            p.append(reinterpret_cast<const char*>(&d), sizeof d);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            const quint32 n = quint32(b.size());
            p.append(char(TagBlob));
            p.append(reinterpret_cast<const char*>(&n), sizeof n);
            p.append(b);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            const quint32 n = quint32(t.size());
            p.append(char(TagText));
            p.append(reinterpret_cast<const char*>(&n), sizeof n);
            p.append(t);
            break;
        }
        }
    }
    p.squeeze();
    return p;
}

QVariantList Dataset::unpackAll(const Row& row) const {
    QVariantList out;
    out.reserve(m_storedCount);
    for (int c = 0; c < m_storedCount; ++c)
        out << unpackOne(row.packed, c);
    return out;
}

QVariant Dataset::storedValue(const Row& row, int column) const {
    if (column < m_storedCount)
        return unpackOne(row.packed, column);
    return lookupValue(row, column);
}

QVariant Dataset::lookupValue(const Row& row, int column) const {
    const Lookup& l = m_lookups[size_t(column - m_storedCount)];
    if (l.keyColumn < 0 || !l.source || !l.source->isActive())
        return QVariant();
    if (!l.cacheValid) {
        l.cache.clear();
        const int key = l.source->fieldIndex(l.sourceKey);
        const int res = l.source->fieldIndex(l.resultField);
        if (key >= 0 && res >= 0) {
            for (int r = 0; r < l.source->recordCount(); ++r) {
                const QString k = l.source->valueAt(r, key).toString().toLower();
                if (!l.cache.contains(k))
                    l.cache.insert(k, l.source->valueAt(r, res).toString());
            }
        }
        l.cacheValid = true;
    }
    const QVariant keyValue = unpackOne(row.packed, l.keyColumn);
    if (keyValue.isNull())
        return QVariant();
    const auto it = l.cache.constFind(keyValue.toString().toLower());
    if (it == l.cache.cend())
        return QVariant();
    return cutToBytes(it.value(), m_fields[size_t(column)].lookupBytes);
}

QVariant Dataset::bufferOrStored(int dataRow, int column) const {
    const bool editingThis = isEditing() && dataRow == m_editData;
    if (editingThis && column < m_storedCount)
        return m_buffer.at(column);
    if (editingThis && column >= m_storedCount) {
        // A lookup follows the key typed into the edit buffer.
        Row tmp;
        tmp.packed = pack(m_buffer);
        return lookupValue(tmp, column);
    }
    return storedValue(m_rows[size_t(dataRow)], column);
}

int Dataset::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QStringList Dataset::fieldNames() const {
    QStringList names;
    for (const FieldDef& f : m_fields)
        names << f.name;
    return names;
}

QVariant Dataset::value(int column) const {
    if (column < 0 || column >= fieldCount())
        throw DbError(QStringLiteral("找不到字段：%1").arg(column));
    if (m_cur < 0)
        return QVariant();
    return bufferOrStored(m_view[size_t(m_cur)], column);
}

QVariant Dataset::value(const QString& name) const {
    const int c = fieldIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(name));
    return value(c);
}

QString Dataset::asString(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

qint64 Dataset::asInteger(const QString& name) const {
    const QVariant v = value(name);
    if (v.metaType().id() == QMetaType::Double)
        return qint64(std::llround(v.toDouble()));
    return v.toString().trimmed().toLongLong();
}

double Dataset::asFloat(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        return 0.0;
    if (v.metaType().id() == QMetaType::QString)
        return v.toString().trimmed().toDouble();
    return v.toDouble();
}

bool Dataset::isNull(const QString& name) const {
    return value(name).isNull();
}

QVariant Dataset::valueAt(int row, int column) const {
    if (row < 0 || row >= recordCount() || column < 0 || column >= fieldCount())
        return QVariant();
    return bufferOrStored(m_view[size_t(row)], column);
}

qint64 Dataset::rowIdAt(int row) const {
    if (row < 0 || row >= recordCount())
        return 0;
    return m_rows[size_t(m_view[size_t(row)])].rowid;
}

void Dataset::setValue(int column, const QVariant& value) {
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
    emit rowChanged(m_cur);
}

void Dataset::setValue(const QString& name, const QVariant& value) {
    const int c = fieldIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(name));
    setValue(c, value);
}

// ---------------------------------------------------------------- navigation

void Dataset::scrolled(bool force) {
    if (!force && m_cur == m_lastScrolled)
        return;
    m_lastScrolled = m_cur;
    runHook(afterScroll);
}

void Dataset::moveTo(int row) {
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
        m_cur = row;
        emit currentChanged(m_cur);
    }
    m_bof = false;
    m_eof = false;
    scrolled(false);
}

// A move that a before-post check refused ends a row loop (eof or bof set)
// instead of leaving it spinning on the row being edited.
void Dataset::first() {
    moveTo(0);
    m_bof = true;
    m_eof = m_view.empty() || m_cur != 0;
}

void Dataset::last() {
    moveTo(recordCount() - 1);
    m_eof = true;
    m_bof = m_view.empty() || m_cur != recordCount() - 1;
}

void Dataset::next() {
    if (!isActive() || m_view.empty() || m_cur >= recordCount() - 1) {
        m_eof = true;
        return;
    }
    const int from = m_cur;
    moveTo(m_cur + 1);
    if (m_cur == from)
        m_eof = true;
}

void Dataset::prior() {
    if (!isActive() || m_view.empty() || m_cur <= 0) {
        m_bof = true;
        return;
    }
    const int from = m_cur;
    moveTo(m_cur - 1);
    if (m_cur == from)
        m_bof = true;
}

// ---------------------------------------------------------------- editing

void Dataset::checkBrowseMode() {
    if (isEditing())
        post();
}

void Dataset::edit() {
    if (isEditing())
        return;
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能修改"));
    if (m_view.empty()) {
        append(); // nothing to edit: a new row, as the grid expects
        return;
    }
    if (!runHook(beforeEdit))
        return;
    m_editData = m_view[size_t(m_cur)];
    m_buffer = unpackAll(m_rows[size_t(m_editData)]);
    m_original = m_buffer;
    m_modified.assign(size_t(m_storedCount), false);
    setState(DatasetState::Edit);
}

void Dataset::append() {
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能添加"));
    checkBrowseMode();
    if (isEditing())
        return;
    QVariantList nulls;
    for (int c = 0; c < m_storedCount; ++c)
        nulls << QVariant();
    Row r;
    r.packed = pack(nulls);
    emit rowAboutToBeInserted(recordCount());
    m_rows.push_back(std::move(r));
    m_editData = int(m_rows.size()) - 1;
    m_view.push_back(m_editData);
    m_buffer = nulls;
    m_modified.assign(size_t(m_storedCount), false);
    m_cur = recordCount() - 1;
    m_bof = m_eof = false;
    m_state = DatasetState::Insert;
    emit rowInserted(m_cur);
    emit stateChanged(m_state);
    emit currentChanged(m_cur);
    runHook(afterInsert);
    scrolled(true);
}

void Dataset::post() {
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (!isEditing())
        return;
    if (!runHook(beforePost))
        return; // a check refused the row: keep it and its input

    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    const int dataRow = m_editData;
    const bool inserting = m_state == DatasetState::Insert;
    QStringList cols;
    QVariantList vals;
    for (int c = 0; c < m_storedCount; ++c) {
        const FieldDef& f = m_fields[size_t(c)];
        if (f.readOnly)
            continue;
        const bool use =
            inserting ? (m_modified[size_t(c)] || !m_buffer.at(c).isNull()) : m_modified[size_t(c)];
        if (!use)
            continue;
        cols << quoteIdent(f.origin.isEmpty() ? f.name : f.origin);
        vals << m_buffer.at(c);
    }

    QString sql;
    if (inserting) {
        if (cols.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdent(m_updateTable));
        } else {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteIdent(m_updateTable), cols.join(QStringLiteral(", ")),
                           marks.join(QStringLiteral(", ")));
        }
    } else if (!cols.isEmpty()) {
        // The row is found by its rowid and its changed columns' values as
        // read: a rowid that the engine gave to another row since is refused.
        QStringList sets, checks;
        for (const QString& c : cols)
            sets << c + QStringLiteral(" = ?");
        vals << m_rows[size_t(dataRow)].rowid;
        for (int c = 0; c < m_storedCount; ++c) {
            const FieldDef& f = m_fields[size_t(c)];
            if (f.readOnly || !m_modified[size_t(c)])
                continue;
            checks << QStringLiteral(" AND %1 IS ?").arg(quoteIdent(f.origin.isEmpty() ? f.name : f.origin));
            vals << m_original.at(c);
        }
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?%3")
                  .arg(quoteIdent(m_updateTable), sets.join(QStringLiteral(", ")), checks.join(QString()));
    }

    if (!sql.isEmpty()) {
        Stmt st;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st.s, nullptr) != SQLITE_OK)
            throw DbError(engineMessage(db));
        for (int i = 0; i < vals.size(); ++i)
            bindOne(st.s, i + 1, vals.at(i));
        if (sqlite3_step(st.s) != SQLITE_DONE)
            throw DbError(engineMessage(db));
        if (inserting)
            m_rows[size_t(dataRow)].rowid = sqlite3_last_insert_rowid(db);
        else if (sqlite3_changes(db) != 1)
            throw DbError(QStringLiteral("找不到要保存的记录，它可能已被删除或在别处被修改"));
    }

    m_rows[size_t(dataRow)].packed = pack(m_buffer);
    reloadRow(dataRow);
    m_editData = -1;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_state = DatasetState::Browse;
    emit rowChanged(m_cur);
    emit stateChanged(m_state);
    runHook(afterPost);
}

void Dataset::reloadRow(int dataRow) {
    // Read the row back so engine-assigned values (auto-numbers, defaults,
    // stored number forms) are what the dataset holds.
    sqlite3* db = handle();
    QStringList cols;
    QList<int> which;
    for (int c = 0; c < m_storedCount; ++c) {
        const FieldDef& f = m_fields[size_t(c)];
        if (f.table.compare(m_updateTable, Qt::CaseInsensitive) != 0 || f.origin.isEmpty())
            continue;
        cols << quoteIdent(f.origin);
        which << c;
    }
    if (cols.isEmpty() || !db)
        return;
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_ = ?")
                            .arg(cols.join(QStringLiteral(", ")), quoteIdent(m_updateTable));
    const QByteArray utf8 = sql.toUtf8();
    Stmt st;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st.s, nullptr) != SQLITE_OK)
        return;
    sqlite3_bind_int64(st.s, 1, m_rows[size_t(dataRow)].rowid);
    if (sqlite3_step(st.s) != SQLITE_ROW)
        return;
    QVariantList values = unpackAll(m_rows[size_t(dataRow)]);
    for (int i = 0; i < which.size(); ++i) {
        QByteArray one;
        one.resize(sizeof(quint32));
        const quint32 off = sizeof(quint32);
        std::memcpy(one.data(), &off, sizeof off);
        appendColumn(one, st.s, i);
        values[which.at(i)] = unpackOne(one, 0);
    }
    m_rows[size_t(dataRow)].packed = pack(values);
}

void Dataset::cancel() {
    if (!isEditing())
        return;
    if (m_state == DatasetState::Insert) {
        const int removed = m_cur;
        emit rowAboutToBeRemoved(removed);
        m_view.erase(m_view.begin() + removed);
        m_rows.erase(m_rows.begin() + m_editData);
        m_editData = -1;
        m_buffer.clear();
        m_modified.clear();
        m_state = DatasetState::Browse;
        m_cur = std::min(removed, recordCount() - 1);
        m_bof = m_eof = m_view.empty();
        emit rowRemoved(removed);
        emit stateChanged(m_state);
        emit currentChanged(m_cur);
        runHook(afterCancel);
        scrolled(true);
        return;
    }
    m_editData = -1;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_state = DatasetState::Browse;
    emit rowChanged(m_cur);
    emit stateChanged(m_state);
    runHook(afterCancel);
}

void Dataset::remove() {
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_state == DatasetState::Insert) {
        cancel();
        return;
    }
    if (m_view.empty())
        throw DbError(QStringLiteral("没有可删除的记录"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能删除"));
    if (!runHook(beforeDelete))
        return;
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    const int dataRow = m_view[size_t(m_cur)];
    // The row is found by its rowid and its values as read, so a rowid the
    // engine has given to another row since is never deleted by mistake.
    const QVariantList read = unpackAll(m_rows[size_t(dataRow)]);
    QString checks;
    QVariantList vals{m_rows[size_t(dataRow)].rowid};
    for (int c = 0; c < m_storedCount; ++c) {
        const FieldDef& f = m_fields[size_t(c)];
        if (f.origin.isEmpty() || f.table.compare(m_updateTable, Qt::CaseInsensitive) != 0)
            continue;
        checks += QStringLiteral(" AND %1 IS ?").arg(quoteIdent(f.origin));
        vals << read.at(c);
    }
    const QByteArray sql =
        QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?%2").arg(quoteIdent(m_updateTable), checks).toUtf8();
    {
        Stmt st;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st.s, nullptr) != SQLITE_OK)
            throw DbError(engineMessage(db));
        for (int i = 0; i < vals.size(); ++i)
            bindOne(st.s, i + 1, vals.at(i));
        if (sqlite3_step(st.s) != SQLITE_DONE)
            throw DbError(engineMessage(db));
        if (sqlite3_changes(db) != 1)
            throw DbError(QStringLiteral("找不到要删除的记录，它可能已被删除或在别处被修改"));
    }
    if (m_state == DatasetState::Edit) {
        m_editData = -1;
        m_buffer.clear();
        m_original.clear();
        m_modified.clear();
        m_state = DatasetState::Browse;
        emit stateChanged(m_state);
    }
    const int removed = m_cur;
    emit rowAboutToBeRemoved(removed);
    m_rows.erase(m_rows.begin() + dataRow);
    m_view.erase(m_view.begin() + removed);
    for (int& v : m_view)
        if (v > dataRow)
            --v;
    m_cur = std::min(removed, recordCount() - 1);
    m_bof = m_eof = m_view.empty();
    emit rowRemoved(removed);
    emit currentChanged(m_cur);
    runHook(afterDelete);
    scrolled(true);
}

// ---------------------------------------------------------------- lookup, locate, filter, sort

void Dataset::addLookupField(const QString& name, const QString& keyField, Dataset* source,
                             const QString& sourceKey, const QString& resultField, int maxBytes) {
    Lookup l;
    l.name = name;
    l.keyField = keyField;
    l.maxBytes = maxBytes;
    l.source = source;
    l.sourceKey = sourceKey;
    l.resultField = resultField;
    m_lookups.push_back(std::move(l));
    if (source) {
        auto invalidate = [this] {
            for (Lookup& x : m_lookups)
                x.cacheValid = false;
            emit valuesChanged();
        };
        connect(source, &Dataset::rowsReset, this, invalidate);
        connect(source, &Dataset::rowChanged, this, invalidate);
        connect(source, &Dataset::rowInserted, this, invalidate);
        connect(source, &Dataset::rowRemoved, this, invalidate);
    }
}

bool Dataset::locate(const QString& fieldName, const QVariant& value, bool caseInsensitive) {
    const int c = fieldIndex(fieldName);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(fieldName));
    for (int r = 0; r < recordCount(); ++r) {
        if (sameValue(valueAt(r, c), value, caseInsensitive)) {
            moveTo(r);
            return m_cur == r;
        }
    }
    return false;
}

void Dataset::setFilterText(const QString& filter) {
    QList<FilterTerm> terms;
    const QString f = filter.trimmed();
    qsizetype i = 0;
    auto skip = [&] {
        while (i < f.size() && f.at(i).isSpace())
            ++i;
    };
    auto bad = [&] { throw DbError(QStringLiteral("无法识别的过滤条件：%1").arg(filter)); };
    while (i < f.size()) {
        skip();
        const qsizetype start = i;
        while (i < f.size() && (f.at(i).isLetterOrNumber() || f.at(i) == QLatin1Char('_')))
            ++i;
        const QString name = f.mid(start, i - start);
        skip();
        if (name.isEmpty() || i >= f.size() || f.at(i) != QLatin1Char('='))
            bad();
        ++i;
        skip();
        if (i >= f.size() || f.at(i) != QLatin1Char('\''))
            bad();
        ++i;
        QString text;
        for (;;) {
            if (i >= f.size())
                bad();
            if (f.at(i) == QLatin1Char('\'')) {
                if (i + 1 < f.size() && f.at(i + 1) == QLatin1Char('\'')) {
                    text += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            text += f.at(i++);
        }
        terms.append(FilterTerm{name, text});
        skip();
        if (i < f.size()) {
            if (f.mid(i, 3).compare(QStringLiteral("AND"), Qt::CaseInsensitive) != 0)
                bad();
            i += 3;
            if (i < f.size() && !f.at(i).isSpace())
                bad();
        }
    }
    checkBrowseMode();
    if (isEditing())
        return; // a check kept the row being edited: the rows stay as they are
    m_filterText = filter;
    m_filterTerms = terms;
    if (m_filtered && isActive())
        refreshView(true);
}

void Dataset::setFiltered(bool on) {
    if (on == m_filtered)
        return;
    checkBrowseMode();
    if (isEditing())
        return;
    m_filtered = on;
    if (isActive())
        refreshView(true);
}

bool Dataset::rowMatchesFilter(const Row& row) const {
    for (const FilterTerm& t : m_filterTerms) {
        const int c = fieldIndex(t.field);
        if (c < 0)
            return false;
        const QVariant v = storedValue(row, c);
        if (v.isNull() || v.toString().compare(t.text, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

void Dataset::setSort(const QList<SortKey>& keys) {
    checkBrowseMode();
    if (isEditing())
        return;
    m_sort = keys;
    if (isActive())
        refreshView(false);
}

void Dataset::refreshView(bool scroll) {
    emit aboutToReset();
    rebuildView(true);
    emit rowsReset();
    emit currentChanged(m_cur);
    if (scroll)
        scrolled(false);
}

void Dataset::rebuildView(bool keepCurrent) {
    const int curData = (keepCurrent && m_cur >= 0 && m_cur < recordCount()) ? m_view[size_t(m_cur)] : -1;
    m_view.clear();
    m_view.reserve(m_rows.size());
    const bool filtering = m_filtered && !m_filterTerms.isEmpty();
    for (int r = 0; r < int(m_rows.size()); ++r)
        if (!filtering || rowMatchesFilter(m_rows[size_t(r)]))
            m_view.push_back(r);
    if (!m_sort.isEmpty()) {
        QCollator coll{QLocale()};
        // Decode the sort columns once rather than on every comparison.
        std::vector<std::vector<QVariant>> keys(size_t(m_sort.size()));
        for (int k = 0; k < m_sort.size(); ++k) {
            const int col = m_sort.at(k).column;
            keys[size_t(k)].resize(m_rows.size());
            if (col < 0 || col >= fieldCount())
                continue;
            for (int r : m_view)
                keys[size_t(k)][size_t(r)] = storedValue(m_rows[size_t(r)], col);
        }
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (int k = 0; k < m_sort.size(); ++k) {
                const int c = compareValues(keys[size_t(k)][size_t(a)], keys[size_t(k)][size_t(b)], coll);
                if (c != 0)
                    return m_sort.at(k).descending ? c > 0 : c < 0;
            }
            return false;
        });
    }
    m_cur = -1;
    if (curData >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), curData);
        if (it != m_view.end())
            m_cur = int(it - m_view.begin());
    }
    if (m_cur < 0 && !m_view.empty())
        m_cur = 0;
    m_bof = m_cur <= 0;
    m_eof = m_view.empty();
}

// ---------------------------------------------------------------- master

void Dataset::setMaster(Dataset* master, const QString& masterField, const QString& paramName) {
    disconnect(m_masterConn);
    disconnect(m_masterResetConn);
    m_master = master;
    m_masterField = masterField;
    m_masterParam = paramName;
    if (!master)
        return;
    m_masterConn = connect(master, &Dataset::currentChanged, this, [this] { masterMoved(); });
    m_masterResetConn = connect(master, &Dataset::rowsReset, this, [this] { masterMoved(); });
}

void Dataset::masterMoved() {
    if (!m_master)
        return;
    if (!m_master->isActive()) {
        close();
        return;
    }
    const int c = m_master->fieldIndex(m_masterField);
    bindValue(m_masterParam, (c >= 0 && !m_master->isEmpty()) ? m_master->value(c) : QVariant());
    try {
        // A detail row being edited is saved, never dropped, before the
        // detail follows its master; a refused save keeps it on screen.
        checkBrowseMode();
        if (isEditing())
            return;
        open();
    } catch (const DbError& e) {
        writeErrorLog(QStringLiteral("Dataset.masterMoved"), describeStatement());
        writeExceptionLog(QStringLiteral("Dataset.masterMoved"), e.message());
    }
}
