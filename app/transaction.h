#pragma once
// A scoped transaction on the data module's connection: begun on creation,
// committed by commit(), rolled back on every other way out.
#include <QString>

struct sqlite3;

class Transaction {
public:
    // Begins a transaction; throws DbError with the engine's message.
    explicit Transaction(sqlite3* db = nullptr);
    // A transaction for code that reports failures instead of throwing:
    // nothing is begun until begin().  The context names the log entries.
    explicit Transaction(const QString& context);
    // Begins; false (logged, message in error) when the engine refuses.
    bool begin(QString* error = nullptr);
    // Commits; false (logged, rolled back, message in error) when refused.
    bool commit(QString* error);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits; throws DbError (and rolls back) when the engine refuses.
    void commit();
    // Rolls back now; nothing happens when already ended.
    void rollback();
    bool isOpen() const { return m_open; }

private:
    bool report(const QString& sql, QString* error);

    sqlite3* m_db;
    QString m_context;
    bool m_open = false;
};
