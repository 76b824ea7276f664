#include "app/transaction.h"

#include "app/datamodule.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/sqlvalue.h"

#include <sqlite3.h>

Transaction::Transaction(sqlite3* db) : m_db(db ? db : (frmDm ? frmDm->handle() : nullptr))
{
    if (!m_db)
        throw DbError(QStringLiteral("数据库未连接"));
    sqlvalue::run(m_db, QStringLiteral("BEGIN IMMEDIATE"), {});
    m_open = true;
}

Transaction::~Transaction()
{
    rollback();
}

void Transaction::commit()
{
    if (!m_open)
        return;
    try {
        sqlvalue::run(m_db, QStringLiteral("COMMIT"), {});
        m_open = false;
    } catch (const DbError&) {
        rollback();
        throw;
    }
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    m_open = false;
    // The engine may have ended the transaction itself after a failure.
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}
