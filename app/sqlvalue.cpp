#include "app/sqlvalue.h"

#include "app/dberror.h"
#include "app/enginetext.h"

#include <cstring>
#include <sqlite3.h>

namespace sqlvalue {

namespace {

enum Tag : char { TagNull = 0, TagInt = 1, TagFloat = 2, TagText = 3, TagBlob = 4 };

void putInt(QByteArray& out, qint64 i)
{
    out.append(char(TagInt));
    out.append(reinterpret_cast<const char*>(&i), sizeof i);
}

void putFloat(QByteArray& out, double d)
{
    out.append(char(TagFloat));
    out.append(reinterpret_cast<const char*>(&d), sizeof d);
}

void putBytes(QByteArray& out, Tag tag, const char* data, quint32 n)
{
    out.append(char(tag));
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    if (n)
        out.append(data, qsizetype(n));
}

// Records in the offset table where column c's value starts.
void setOffset(QByteArray& out, int c)
{
    const quint32 off = quint32(out.size());
    std::memcpy(out.data() + qsizetype(c) * qsizetype(sizeof(quint32)), &off, sizeof off);
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
    QByteArray p;
    p.resize(values.size() * qsizetype(sizeof(quint32)));
    for (int c = 0; c < values.size(); ++c) {
        setOffset(p, c);
        const QVariant& v = values.at(c);
        switch (typeOf(v)) {
        case Type::Null:
            p.append(char(TagNull));
            break;
        case Type::Integer:
            putInt(p, v.toLongLong());
            break;
        case Type::Float:
            putFloat(p, v.toDouble());
            break;
        case Type::Blob: {
            const QByteArray b = v.toByteArray();
            putBytes(p, TagBlob, b.constData(), quint32(b.size()));
            break;
        }
        case Type::Text: {
            const QByteArray t = v.toString().toUtf8();
            putBytes(p, TagText, t.constData(), quint32(t.size()));
            break;
        }
        }
    }
    p.squeeze();
    return p;
}

QByteArray packRow(sqlite3_stmt* st, int first, int count)
{
    // Straight from the engine's bytes: no QVariant or QString on the way,
    // and one allocation of the exact size, which is what keeps opening a
    // large snapshot fast.
    constexpr int kMaxInline = 64;
    int types[kMaxInline];
    const void* data[kMaxInline];
    quint32 bytes[kMaxInline];
    if (count > kMaxInline) {
        // Wide rows are rare: the general path.
        QByteArray p;
        p.resize(count * qsizetype(sizeof(quint32)));
        for (int c = 0; c < count; ++c) {
            setOffset(p, c);
            const int col = first + c;
            switch (sqlite3_column_type(st, col)) {
            case SQLITE_INTEGER: putInt(p, sqlite3_column_int64(st, col)); break;
            case SQLITE_FLOAT: putFloat(p, sqlite3_column_double(st, col)); break;
            case SQLITE_TEXT:
                putBytes(p, TagText, reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                         quint32(sqlite3_column_bytes(st, col)));
                break;
            case SQLITE_BLOB:
                putBytes(p, TagBlob, static_cast<const char*>(sqlite3_column_blob(st, col)),
                         quint32(sqlite3_column_bytes(st, col)));
                break;
            default: p.append(char(TagNull)); break;
            }
        }
        return p;
    }
    // One engine call per column: the values' own accessors take no
    // connection lock, and the connection is only ever used from the thread
    // that steps the statement.
    sqlite3_value* values[kMaxInline];
    qsizetype total = count * qsizetype(sizeof(quint32));
    for (int c = 0; c < count; ++c) {
        sqlite3_value* v = values[c] = sqlite3_column_value(st, first + c);
        types[c] = sqlite3_value_type(v);
        switch (types[c]) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            total += 1 + 8;
            break;
        case SQLITE_TEXT:
            data[c] = sqlite3_value_text(v);
            bytes[c] = quint32(sqlite3_value_bytes(v));
            total += 1 + qsizetype(sizeof(quint32)) + bytes[c];
            break;
        case SQLITE_BLOB:
            data[c] = sqlite3_value_blob(v);
            bytes[c] = quint32(sqlite3_value_bytes(v));
            total += 1 + qsizetype(sizeof(quint32)) + bytes[c];
            break;
        default:
            total += 1;
            break;
        }
    }
    QByteArray p(total, Qt::Uninitialized);
    char* base = p.data();
    char* out = base + count * qsizetype(sizeof(quint32));
    for (int c = 0; c < count; ++c) {
        const quint32 off = quint32(out - base);
        std::memcpy(base + qsizetype(c) * qsizetype(sizeof(quint32)), &off, sizeof off);
        switch (types[c]) {
        case SQLITE_INTEGER: {
            *out++ = char(TagInt);
            const qint64 i = sqlite3_value_int64(values[c]);
            std::memcpy(out, &i, sizeof i);
            out += sizeof i;
            break;
        }
        case SQLITE_FLOAT: {
            *out++ = char(TagFloat);
            const double d = sqlite3_value_double(values[c]);
            std::memcpy(out, &d, sizeof d);
            out += sizeof d;
            break;
        }
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            *out++ = char(types[c] == SQLITE_TEXT ? TagText : TagBlob);
            std::memcpy(out, &bytes[c], sizeof(quint32));
            out += sizeof(quint32);
            if (bytes[c])
                std::memcpy(out, data[c], bytes[c]);
            out += bytes[c];
            break;
        default:
            *out++ = char(TagNull);
            break;
        }
    }
    return p;
}

bool packedText(const QByteArray& packed, int column, const char** data, quint32* size)
{
    quint32 off = 0;
    std::memcpy(&off, packed.constData() + qsizetype(column) * qsizetype(sizeof(quint32)), sizeof off);
    const char* p = packed.constData() + off;
    if (*p != TagText)
        return false;
    std::memcpy(size, p + 1, sizeof(quint32));
    *data = p + 1 + sizeof(quint32);
    return true;
}

QVariant unpack(const QByteArray& packed, int column)
{
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
    case TagText:
    case TagBlob: {
        quint32 n;
        std::memcpy(&n, p + 1, sizeof n);
        const char* data = p + 1 + sizeof n;
        if (*p == TagText)
            return QVariant(QString::fromUtf8(data, qsizetype(n)));
        return QVariant(QByteArray(data, qsizetype(n)));
    }
    default:
        return QVariant();
    }
}

} // namespace sqlvalue
