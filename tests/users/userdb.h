#pragma once
// Rows of manager for the user tests, written and read with bound values.
#include "app/common.h"
#include "users/password.h"

#include <QStringList>
#include <QtTest>

namespace userdb {

inline bool addUser(const QString& code, const QString& name, const QString& password)
{
    return execSql(
        QStringLiteral("test.addUser"),
        QStringLiteral("INSERT INTO manager(mCode, mName, mPassword, mWhoInput) VALUES(?, ?, ?, ?)"),
        {code, name, hashPassword(password), code});
}

inline QStringList codes()
{
    QStringList list;
    sqlToList(QStringLiteral("test.codes"), QStringLiteral("SELECT mCode FROM manager ORDER BY mCode"), list);
    return list;
}

inline QString column(const QString& code, const QString& column)
{
    // column is one of the test's own names, never user input
    return getSqlValue(QStringLiteral("test.column"),
                       QStringLiteral("SELECT %1 FROM manager WHERE mCode=?").arg(column), {code});
}

} // namespace userdb
