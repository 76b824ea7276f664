#pragma once
// A scoped transaction on the data module's connection: begun on creation,
// committed by commit(), rolled back on every other way out.
#include <QString>

struct sqlite3;

class Transaction {
public:
    // Begins a transaction; throws DbError with the engine's message.
    explicit Transaction(sqlite3* db = nullptr);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits; throws DbError (and rolls back) when the engine refuses.
    void commit();
    // Rolls back now; nothing happens when already ended.
    void rollback();
    bool isOpen() const { return m_open; }

private:
    sqlite3* m_db;
    bool m_open = false;
};
