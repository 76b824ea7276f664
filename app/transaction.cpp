#include "app/transaction.h"

#include "app/common.h"
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

Transaction::Transaction(const QString& context)
    : m_db(frmDm ? frmDm->handle() : nullptr), m_context(context)
{
}

bool Transaction::report(const QString& sql, QString* error)
{
    try {
        if (!m_db)
            throw DbError(QStringLiteral("数据库未连接"));
        sqlvalue::run(m_db, sql, {});
        return true;
    } catch (const DbError& e) {
        writeErrorLog(m_context, sql);
        writeExceptionLog(m_context, e);
        if (error)
            *error = e.message();
        return false;
    }
}

bool Transaction::begin(QString* error)
{
    m_open = report(QStringLiteral("BEGIN IMMEDIATE"), error);
    return m_open;
}

bool Transaction::commit(QString* error)
{
    if (!m_open)
        return false;
    if (!report(QStringLiteral("COMMIT"), error)) {
        rollback();
        return false;
    }
    m_open = false;
    return true;
}
