#include "app/sqlvalue.h"

#include "app/dberror.h"
#include "app/enginetext.h"

#include <cstring>
#include <vector>
#include <sqlite3.h>

namespace sqlvalue {

namespace {

enum Tag : char { TagNull = 0, TagInt = 1, TagFloat = 2, TagText = 3, TagBlob = 4 };

// A packed row: one byte saying how wide the offsets are (0: 16 bits, 1: 32
// bits, for rows of 64 KiB and more), the offset of each column's value, then
// per value a tag byte and its payload: 8 bytes for a number, a short length
// (7 bits a byte) and the bytes for a text or blob, nothing for null.
struct Cell {
    Tag tag = TagNull;
    qint64 i = 0;
    double d = 0;
    const char* data = nullptr;
    quint32 n = 0;
};

int lengthSize(quint32 n)
{
    int k = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++k;
    }
    return k;
}

char* putLength(char* out, quint32 n)
{
    while (n >= 0x80) {
        *out++ = char((n & 0x7f) | 0x80);
        n >>= 7;
    }
    *out++ = char(n);
    return out;
}

const char* getLength(const char* in, quint32* n)
{
    quint32 v = 0;
    int shift = 0;
    unsigned char b;
    do {
        b = static_cast<unsigned char>(*in++);
        v |= quint32(b & 0x7f) << shift;
        shift += 7;
    } while (b & 0x80);
    *n = v;
    return in;
}

qsizetype valueSize(const Cell& c)
{
    switch (c.tag) {
    case TagInt:
    case TagFloat:
        return 1 + 8;
    case TagText:
    case TagBlob:
        return 1 + lengthSize(c.n) + qsizetype(c.n);
    default:
        return 1;
    }
}

// One allocation of the exact size.
QByteArray build(const Cell* cells, int count)
{
    qsizetype values = 0;
    for (int c = 0; c < count; ++c)
        values += valueSize(cells[c]);
    const bool wide = 1 + 2 * qsizetype(count) + values > 0xffff;
    const qsizetype table = 1 + qsizetype(count) * (wide ? 4 : 2);
    QByteArray p(table + values, Qt::Uninitialized);
    char* base = p.data();
    base[0] = char(wide ? 1 : 0);
    char* out = base + table;
    for (int c = 0; c < count; ++c) {
        const quint32 off = quint32(out - base);
        if (wide) {
            std::memcpy(base + 1 + qsizetype(c) * 4, &off, 4);
        } else {
            const quint16 o16 = quint16(off);
            std::memcpy(base + 1 + qsizetype(c) * 2, &o16, 2);
        }
        const Cell& v = cells[c];
        *out++ = char(v.tag);
        switch (v.tag) {
        case TagInt:
            std::memcpy(out, &v.i, 8);
            out += 8;
            break;
        case TagFloat:
            std::memcpy(out, &v.d, 8);
            out += 8;
            break;
        case TagText:
        case TagBlob:
            out = putLength(out, v.n);
            if (v.n)
                std::memcpy(out, v.data, v.n);
            out += v.n;
            break;
        default:
            break;
        }
    }
    return p;
}

// Where column c's value starts.
const char* valueAt(const QByteArray& packed, int column)
{
    const char* base = packed.constData();
    quint32 off = 0;
    if (base[0]) {
        std::memcpy(&off, base + 1 + qsizetype(column) * 4, 4);
    } else {
        quint16 o16 = 0;
        std::memcpy(&o16, base + 1 + qsizetype(column) * 2, 2);
        off = o16;
    }
    return base + off;
}

} // namespace

Type typeOf(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return Type::Null;
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return Type::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return Type::Float;
    case QMetaType::QByteArray:
        return Type::Blob;
    default:
        return Type::Text;
    }
}

QString text(const QVariant& v)
{
    switch (typeOf(v)) {
    case Type::Null:
        return QString();
    case Type::Float:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

QString literal(const QVariant& v)
{
    switch (typeOf(v)) {
    case Type::Null:
        return QStringLiteral("NULL");
    case Type::Integer:
        return v.toString();
    case Type::Float:
        return QString::number(v.toDouble(), 'g', 17);
    case Type::Blob:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(v.toByteArray().toHex()));
    case Type::Text:
        break;
    }
    QString s = v.toString();
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString logLiteral(const QVariant& v)
{
    // Stored passwords are argon2 hash strings ("$argon2id$v=19$...").
    if (typeOf(v) == Type::Text && v.toString().startsWith(QLatin1String("$argon2")))
        return QStringLiteral("'******'");
    return literal(v);
}

QString quoteIdent(const QString& name)
{
    QString s = name;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString engineMessage(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void throwEngineError(sqlite3* db)
{
    const QString raw = engineMessage(db);
    throw DbError(engineText(sqlite3_extended_errcode(db), raw), raw);
}

void bind(sqlite3_stmt* st, int index, const QVariant& v)
{
    switch (typeOf(v)) {
    case Type::Null:
        sqlite3_bind_null(st, index);
        break;
    case Type::Integer:
        // Unsigned values beyond qint64 keep their bits, as the engine stores them.
        sqlite3_bind_int64(st, index,
                           v.metaType().id() == QMetaType::ULongLong || v.metaType().id() == QMetaType::ULong
                               ? qint64(v.toULongLong())
                               : v.toLongLong());
        break;
    case Type::Float:
        sqlite3_bind_double(st, index, v.toDouble());
        break;
    case Type::Blob: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(st, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case Type::Text: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(st, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        break;
    }
    }
}

QVariant column(sqlite3_stmt* st, int c)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(st, c)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, c));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                          sqlite3_column_bytes(st, c)));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c)));
    default:
        return QVariant();
    }
}

Statement::Statement(sqlite3* db, const char* sql, int bytes, const char** tail) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql, bytes, &m_st, tail) != SQLITE_OK)
        throwEngineError(db);
}

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_st, nullptr) != SQLITE_OK)
        throwEngineError(db);
}

Statement::~Statement()
{
    sqlite3_finalize(m_st);
}

void Statement::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(m_st, i + 1, values.at(i));
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        throwEngineError(m_db);
    return false;
}

int run(sqlite3* db, const QString& sql, const QVariantList& values)
{
    Statement st(db, sql);
    st.bindAll(values);
    while (st.step()) {
    }
    return sqlite3_changes(db);
}

QByteArray pack(const QVariantList& values)
{
    std::vector<Cell> cells(size_t(values.size()));
    QList<QByteArray> bytes; // keeps texts and blobs alive until built
    bytes.reserve(values.size());
    for (int c = 0; c < values.size(); ++c) {
        const QVariant& v = values.at(c);
        Cell& cell = cells[size_t(c)];
        switch (typeOf(v)) {
        case Type::Null:
            break;
        case Type::Integer:
            cell.tag = TagInt;
            cell.i = v.toLongLong();
            break;
        case Type::Float:
            cell.tag = TagFloat;
            cell.d = v.toDouble();
            break;
        case Type::Blob:
        case Type::Text:
            cell.tag = typeOf(v) == Type::Blob ? TagBlob : TagText;
            bytes << (cell.tag == TagBlob ? v.toByteArray() : v.toString().toUtf8());
            cell.data = bytes.constLast().constData();
            cell.n = quint32(bytes.constLast().size());
            break;
        }
    }
    return build(cells.data(), int(cells.size()));
}

QByteArray packRow(sqlite3_stmt* st, int first, int count)
{
    // Straight from the engine's bytes: no QVariant or QString on the way,
    // and one allocation of the exact size, which is what keeps opening a
    // large snapshot fast.  One engine call per column: the values' own
    // accessors take no connection lock, and the connection is only ever
    // used from the thread that steps the statement.
    constexpr int kMaxInline = 64;
    Cell inlineCells[kMaxInline];
    std::vector<Cell> many;
    Cell* cells = inlineCells;
    if (count > kMaxInline) {
        many.resize(size_t(count));
        cells = many.data();
    }
    for (int c = 0; c < count; ++c) {
        sqlite3_value* v = sqlite3_column_value(st, first + c);
        Cell& cell = cells[c];
        switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            cell = Cell{TagInt, sqlite3_value_int64(v), 0, nullptr, 0};
            break;
        case SQLITE_FLOAT:
            cell = Cell{TagFloat, 0, sqlite3_value_double(v), nullptr, 0};
            break;
        case SQLITE_TEXT: {
            // The bytes as stored (a Corvane database is UTF-8): read as a
            // blob, the engine need not copy them to add a terminating NUL.
            const char* t = static_cast<const char*>(sqlite3_value_blob(v));
            cell = Cell{TagText, 0, 0, t, quint32(sqlite3_value_bytes(v))};
            break;
        }
        case SQLITE_BLOB: {
            const char* b = static_cast<const char*>(sqlite3_value_blob(v));
            cell = Cell{TagBlob, 0, 0, b, quint32(sqlite3_value_bytes(v))};
            break;
        }
        default:
            cell = Cell{};
            break;
        }
    }
    return build(cells, count);
}

bool packedText(const QByteArray& packed, int column, const char** data, quint32* size)
{
    const char* p = valueAt(packed, column);
    if (*p != TagText)
        return false;
    *data = getLength(p + 1, size);
    return true;
}

QVariant unpack(const QByteArray& packed, int column)
{
    const char* p = valueAt(packed, column);
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
    case TagText:
    case TagBlob: {
        quint32 n = 0;
        const char* data = getLength(p + 1, &n);
        if (*p == TagText)
            return QVariant(QString::fromUtf8(data, qsizetype(n)));
        return QVariant(QByteArray(data, qsizetype(n)));
    }
    default:
        return QVariant();
    }
}

} // namespace sqlvalue
