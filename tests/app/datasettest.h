#pragma once
// Helpers of the dataset tests: the engine reached directly, past the dataset.
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/globals.h"

#include <QString>
#include <sqlite3.h>

namespace datasettest {
// Rows straight from the engine, bypassing the dataset under test.
inline QString scalar(const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(frmDm->handle(), sql.toUtf8().constData(), -1, &st, nullptr);
    QString out;
    if (st && sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

inline void exec(const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(frmDm->handle(), sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK)
        qFatal("%s", err);
}

inline void openTaxer(Dataset& ds)
{
    ds.setSql(QStringLiteral("SELECT * FROM taxer ORDER BY tCode"));
    ds.setUpdateTable(QStringLiteral("taxer"));
    ds.open();
}
} // namespace datasettest
