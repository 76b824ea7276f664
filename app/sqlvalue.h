#pragma once
// Values between Qt and the engine: binding, reading back, the form the log
// shows them in, and the packed row form in which a dataset keeps its rows.
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

namespace sqlvalue {

enum class Type { Null, Integer, Float, Blob, Text };

// The engine type a value is stored as.
Type typeOf(const QVariant& value);

// A value as the program shows it: null as empty text, a double in its
// shortest form of at most 15 digits.
QString text(const QVariant& value);

// A value in SQL literal form ('O''Brien', NULL, X'00ff'), for the error log.
QString literal(const QVariant& value);

// literal() as the error log shows it: a password hash string is masked, so
// no password material reaches the log, whatever statement carried it.
QString logLiteral(const QVariant& value);

// An identifier in double quotes.
QString quoteIdent(const QString& name);

// The engine's message for the last failure on this connection.
QString engineMessage(sqlite3* db);
// Throws the last failure on this connection as a DbError: the Chinese text
// for the user, the engine's own message kept beside it.
[[noreturn]] void throwEngineError(sqlite3* db);

void bind(sqlite3_stmt* st, int index, const QVariant& value);

// One result column of the current row.
QVariant column(sqlite3_stmt* st, int index);

// A prepared statement, finalised on every way out.  Preparing and stepping
// throw DbError with the engine's message.
class Statement {
public:
    // Prepares the first statement of sql[0, bytes); tail receives where the
    // next one starts.  An empty or comment-only text gives no statement.
    Statement(sqlite3* db, const char* sql, int bytes, const char** tail = nullptr);
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_st; }
    // Binds values in order from the first parameter.
    void bindAll(const QVariantList& values);
    // True while there is a row, false when the statement is done.
    bool step();

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
};

// Runs one statement with values bound in order; returns the rows it changed.
int run(sqlite3* db, const QString& sql, const QVariantList& values);

// Packed rows: a table of one 32-bit offset per column, then per value a tag
// byte and its payload.  A few bytes per value instead of a QVariant each.
QByteArray pack(const QVariantList& values);
// The current row of a statement, columns [first, first + count).
QByteArray packRow(sqlite3_stmt* st, int first, int count);
QVariant unpack(const QByteArray& packed, int column);
// The UTF-8 bytes of a packed text value without unpacking it; false when
// the value is not text.
bool packedText(const QByteArray& packed, int column, const char** data, quint32* size);

} // namespace sqlvalue
