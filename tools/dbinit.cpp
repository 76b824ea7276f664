#include "tools/dbinit.h"

#include "app/databaseid.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sqlite3.h>

static void initResources()
{
    Q_INIT_RESOURCE(tools);
}

namespace dbinit {

static bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool createDatabase(const QString& path, QString* error)
{
    initResources();
    if (QFileInfo::exists(path))
        return fail(error, QStringLiteral("数据库文件已经存在：%1").arg(path));

    QFile schemaFile(QStringLiteral(":/install/schema.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("找不到数据库结构定义"));
    const QByteArray schema = schemaFile.readAll();

    // Build beside the target and rename, so a failure leaves no half database.
    const QString tmpPath = path + QStringLiteral(".creating");
    QFile::remove(tmpPath);
    sqlite3* db = nullptr;
    const QByteArray nativeTmp = QFile::encodeName(tmpPath);
    int rc = sqlite3_open_v2(nativeTmp.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString message;
    if (rc == SQLITE_OK) {
        const QByteArray script = QByteArray("BEGIN;\n") + schema + QByteArray("\nPRAGMA application_id = ") +
                                  QByteArray::number(kCorvaneDatabaseId) +
                                  QByteArray(";\nPRAGMA user_version = ") +
                                  QByteArray::number(kCorvaneSchemaVersion) + QByteArray(";\nCOMMIT;\n");
        char* err = nullptr;
        rc = sqlite3_exec(db, script.constData(), nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            message = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
            sqlite3_free(err);
        }
    } else {
        message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    }
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        QFile::remove(tmpPath);
        return fail(error, message);
    }
    if (!QFile::rename(tmpPath, path)) {
        QFile::remove(tmpPath);
        return fail(error, QStringLiteral("无法创建数据库文件：%1").arg(path));
    }
    return true;
}

QByteArray defaultSettings()
{
    initResources();
    QFile f(QStringLiteral(":/install/myapp.ini"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeDefaultSettings(const QString& path, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return fail(error, f.errorString());
    f.write(defaultSettings());
    if (!f.commit())
        return fail(error, f.errorString());
    return true;
}

} // namespace dbinit
