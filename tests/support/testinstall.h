#pragma once
#include <QString>
#include <QTemporaryDir>

// A throw-away installation for one test: a temporary program directory with
// a fresh tax.mdb and the shipped myapp.ini, AppPath pointing at it, the data
// module connected and message boxes answered without showing.
class TestInstall {
public:
    explicit TestInstall(bool withDatabase = true, bool withSettings = true);
    ~TestInstall();
    TestInstall(const TestInstall&) = delete;
    TestInstall& operator=(const TestInstall&) = delete;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path(); }
    // The error log's text, empty when there is none.
    QString errorLog() const;

private:
    QTemporaryDir m_dir;
};
