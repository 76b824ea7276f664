#pragma once
// Export packages without any UI: the writer saves the five recordsets,
// writes and proves the package and then deletes what it holds; the importer
// unpacks, loads and merges a package.  Database work belongs to the window
// thread; writePackage() and unpack() touch only files and may run on a
// worker thread.  Every step returns false with error() in the program's own
// words; nothing is shown from here.
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Dataset;

namespace transfer {

// The package's entries in their order.
const QStringList& packageEntries();

// Called at the named steps of an export or import ("saved", "written",
// "checked", "deleting", "deleted", "unpacked", "merging", "merged"); lets a
// reliability test stop the process at a chosen point.  Empty by default.
void setStepHook(std::function<void(const char* step)> hook);

class PackageWriter {
public:
    // codes: the export list; folder: the transfer folder (AppPath + "tmp").
    PackageWriter(QStringList codes, QString userCode, QString folder);

    // Window thread: makes the folder and saves the five recordsets into it.
    bool saveRecordsets();
    // Any thread: writes or updates the package with zipList, then reads it
    // back (names in order, every entry unpacked with the same password into
    // a scratch folder and equal to what was saved).
    bool writePackage(const QString& packagePath, const QString& password);
    // Window thread: deletes the exported taxpayers and their detail rows in
    // one transaction.
    bool deleteExported();
    // Removes the transfer folder; safe to call more than once.
    void cleanUp();

    int taxerCount() const { return m_taxerCount; }
    const QString& error() const { return m_error; }
    // The archive engine's own text of the last failure, for the error log;
    // empty when there is none.
    const QString& engineError() const { return m_engineError; }

private:
    bool fail(const QString& message);

    QStringList m_codes;
    QString m_userCode;
    QString m_folder;
    QString m_package;
    QStringList m_files;
    int m_taxerCount = 0;
    QString m_error;
    QString m_engineError;
};

class PackageImporter {
public:
    PackageImporter(QString userCode, QString folder);
    ~PackageImporter();

    // Any thread: empties the folder and unpacks the package into it; every
    // entry must arrive.
    bool unpack(const QString& packagePath, const QString& password);
    // Window thread: loads the five recordsets and checks their columns.
    bool load();
    // Window thread: adds the missing areas and taxpayers with their detail
    // rows, all in one transaction.
    bool merge();
    // Removes the transfer folder.
    void cleanUp();

    int taxersAdded() const { return m_taxersAdded; }
    int taxersSkipped() const { return m_taxersSkipped; }
    int areasAdded() const { return m_areasAdded; }
    const QString& error() const { return m_error; }

private:
    bool fail(const QString& message);

    QString m_userCode;
    QString m_folder;
    QString m_package;
    QHash<QString, std::shared_ptr<Dataset>> m_sets; // by entry name
    int m_taxersAdded = 0;
    int m_taxersSkipped = 0;
    int m_areasAdded = 0;
    QString m_error;
};

} // namespace transfer
