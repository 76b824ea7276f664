// The data routines: every statement of the windows passes through here, so
// every failure lands in the error log under the caller's context name.
#include "app/common.h"

#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/sqlvalue.h"

namespace {
Dataset& commonQuery()
{
    if (!frmDm || !frmDm->qryCommon)
        throw DbError(QStringLiteral("数据模块没有创建"));
    return *frmDm->qryCommon;
}

} // namespace

bool runSql(const QString& context, Dataset& query, const QString& sql, bool open, const QVariantList& values,
            QString* engineMessage)
{
    try {
        query.setSql(sql); // opening replaces the rows in one go
        query.setParams(values);
        if (open)
            query.open();
        else
            query.execute();
        return true;
    } catch (const DbError& e) {
        query.close();
        writeErrorLog(context, query.describeStatement());
        writeExceptionLog(context, e.logText());
        if (engineMessage)
            *engineMessage = e.message();
        return false;
    }
}

void reopenQuery(const QString& context, Dataset& query)
{
    try {
        if (query.isActive())
            query.close();
        query.open();
    } catch (const DbError& e) {
        query.close();
        // Each line of the statement ends in a line break, so an empty line
        // stands before the separator.
        writeErrorLog(context, query.describeStatement() + QStringLiteral("\r\n"));
        writeErrorLog(context, e.logText());
    }
}

bool execSql(const QString& context, const QString& sql, const QVariantList& values, QString* engineMessage)
{
    if (!frmDm || !frmDm->qryCommon) {
        if (engineMessage)
            *engineMessage = QStringLiteral("数据模块没有创建");
        writeErrorLog(context, sql);
        return false;
    }
    return runSql(context, commonQuery(), sql, false, values, engineMessage);
}

bool connExec(const QString& context, const QString& sql, const QVariantList& values)
{
    Dataset cmd;
    cmd.setSql(sql);
    cmd.setParams(values);
    try {
        cmd.execute();
        return true;
    } catch (const DbError&) {
        writeErrorLog(context, cmd.describeStatement());
        return false;
    }
}

QString getSqlValue(const QString& context, const QString& sql, const QVariantList& values)
{
    Dataset& q = commonQuery();
    if (!runSql(context, q, sql, true, values) || q.isEmpty() || q.fieldCount() == 0)
        return QString();
    return sqlvalue::text(q.value(0));
}

void sqlToList(const QString& context, const QString& sql, QStringList& list, const QVariantList& values)
{
    Dataset& q = commonQuery();
    const bool ok = runSql(context, q, sql, true, values);
    list.clear();
    if (!ok || q.fieldCount() == 0)
        return;
    for (int r = 0; r < q.recordCount(); ++r)
        list << trimText(sqlvalue::text(q.valueAt(r, 0)));
}

bool recordExists(const QString& context, const QString& table, const QString& condition,
                  const QVariantList& values)
{
    return recordExists(context, table, condition, values, nullptr);
}

bool recordExists(const QString& context, const QString& table, const QString& condition,
                  const QVariantList& values, bool* checked, QString* engineMessage)
{
    if (checked)
        *checked = false;
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE (1=1 %2)").arg(table, condition);
    if (!frmDm || !frmDm->qryCommon) {
        writeErrorLog(context, sql);
        if (engineMessage)
            *engineMessage = QStringLiteral("数据模块没有创建");
        return true;
    }
    Dataset& q = *frmDm->qryCommon;
    QString error;
    if (!runSql(context, q, sql, true, values, &error) || q.isEmpty()) {
        if (engineMessage)
            *engineMessage = error;
        return true; // unknown: refuse rather than risk a duplicate
    }
    if (checked)
        *checked = true;
    return q.value(0).toLongLong() > 0;
}

void setFilter(Dataset& query, const QString& filter)
{
    if (!filter.isEmpty()) {
        query.setFiltered(false);
        query.setFilterText(filter);
        query.setFiltered(true);
    } else {
        query.setFiltered(false);
        query.setFilterText(QString());
    }
}
