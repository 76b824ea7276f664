#pragma once
#include <QObject>
#include <QString>

struct sqlite3;
class Dataset;

// The data module: the one database connection and the scratch query of the
// common routines.
class TfrmDm : public QObject {
    Q_OBJECT
public:
    explicit TfrmDm(QObject* parent = nullptr);
    ~TfrmDm() override;

    // Opens AppPath + "tax.mdb".  Throws DbError with the engine's message when
    // the file is missing, is not a Corvane database or is damaged; the module
    // then stays unconnected.
    void DataModuleCreate();
    // Opens the database at an explicit path (tests, tools).
    void connectTo(const QString& path);
    void disconnect();
    bool isConnected() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    const QString& connectionName() const { return m_connName; }

    Dataset* qryCommon = nullptr;

private:
    QString m_connName;
    sqlite3* m_db = nullptr;
};
