#include "app/datamodule.h"

#include "app/databaseid.h"
#include "app/dataset.h"
#include "app/dberror.h"
#include "app/enginetext.h"
#include "app/globals.h"
#include "app/sqlvalue.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <sqlite3.h>

namespace {
int g_connectionSerial = 0;

// One PRAGMA's first column; throws with the engine's message.
qint64 pragmaValue(sqlite3* db, const char* sql, QString* text = nullptr)
{
    sqlvalue::Statement st(db, QString::fromLatin1(sql));
    if (!st.step())
        return 0;
    const QVariant v = sqlvalue::column(st.get(), 0);
    if (text)
        *text = v.toString();
    return v.toLongLong();
}
} // namespace

TfrmDm::TfrmDm(QObject* parent) : QObject(parent)
{
    m_connName = QStringLiteral("corvane%1").arg(++g_connectionSerial);
    qryCommon = new Dataset(this);
}

TfrmDm::~TfrmDm()
{
    delete qryCommon;
    qryCommon = nullptr;
    disconnect();
}

void TfrmDm::DataModuleCreate()
{
    disconnect();
    connectTo(AppPath + QStringLiteral("tax.mdb"));
}

void TfrmDm::connectTo(const QString& path)
{
    disconnect();
    QString message;
    QString engine; // the engine's own words, when it was the engine that refused
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connName);
        // mode=rw: a missing file is an error, never a new empty database.
        QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
        uri += QStringLiteral("?mode=rw");
        db.setDatabaseName(uri);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            engine = db.lastError().databaseText();
            if (engine.isEmpty())
                engine = db.lastError().text();
            bool numeric = false;
            const int code = db.lastError().nativeErrorCode().toInt(&numeric);
            message = numeric ? engineText(code, engine) : engine;
        } else {
            sqlite3* handle = *static_cast<sqlite3* const*>(db.driver()->handle().data());
            try {
                // Anything but a sound Corvane database is refused here, as a
                // wrong database password would be.
                const qint64 id = pragmaValue(handle, "PRAGMA application_id");
                if (id != kCorvaneDatabaseId)
                    throw DbError(QStringLiteral("数据库密码不正确，或者不是 Corvane 数据库"));
                QString check;
                pragmaValue(handle, "PRAGMA quick_check(1)", &check);
                if (check != QLatin1String("ok")) {
                    const QString raw = QString::fromUtf8(sqlite3_errstr(SQLITE_CORRUPT));
                    throw DbError(engineText(SQLITE_CORRUPT, raw), raw);
                }
                pragmaValue(handle, "PRAGMA foreign_keys = OFF");
                m_db = handle;
            } catch (const DbError& e) {
                message = e.message();
                engine = e.engineText();
            }
        }
        if (!m_db)
            db.close();
    }
    if (!m_db) {
        QSqlDatabase::removeDatabase(m_connName);
        throw DbError(message.isEmpty() ? QStringLiteral("无法打开数据库") : message, engine);
    }
}

void TfrmDm::disconnect()
{
    if (qryCommon)
        qryCommon->close();
    if (!QSqlDatabase::contains(m_connName))
        return;
    m_db = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connName);
}
