#pragma once
#include <QString>
#include <QtGlobal>

struct sqlite3;

// Demo data: realistic taxpayers of one user with their areas and detail rows,
// for a first look at the program and for the benchmarks.  The same options
// and seed always give the same rows.
namespace demodata {

struct Options {
    QString userCode = QStringLiteral("demo"); // owner of every taxpayer and area
    int taxpayers = 300;
    int areas = 20;
    // Business periods, assessments and payments together, spread evenly over
    // the taxpayers (one business period each first, then about a quarter
    // assessments and the rest payments).
    int detailRows = 3000;
    quint64 seed = 20090305;
    // Codes are the prefix and a running number: tCode = taxPrefix + 6 digits
    // (370102000001 ...), aCode = areaPrefix + 3 digits (P001 ...).  Codes are
    // unique over all users, so a second fill of the same database needs
    // other prefixes.
    QString taxPrefix = QStringLiteral("370102");
    QString areaPrefix = QStringLiteral("P");
    // Registration, payment and assessment dates fall in these years.
    int firstYear = 2019;
    int lastYear = 2025;
};

struct Counts {
    int taxpayers = 0;
    int areas = 0;
    int yingye = 0;
    int audit = 0;
    int tax = 0;
};

// Fills an open database, all rows in one transaction: on any failure
// nothing is added, error (when given) receives the engine's message and the
// result is false.  Trades, taxpayer types and statuses come from the shipped
// dictionary lists.  Every registered address holds one of 100 street names
// ("人民巷", "建设路", ...), so a LIKE search on one of them finds about one
// taxpayer in a hundred.
bool fill(sqlite3* db, const Options& options, Counts* counts = nullptr, QString* error = nullptr);

// The same on the database file at path.
bool fill(const QString& path, const Options& options, Counts* counts = nullptr, QString* error = nullptr);

// Adds a user to manager with the password kept as the program keeps it (a
// salted argon2id hash); the user is his own enterer.
bool addUser(sqlite3* db, const QString& code, const QString& name, const QString& password,
             QString* error = nullptr);

// A demo installation in dir: tax.mdb with the user "demo" (password "demo")
// owning a few hundred taxpayers, 20 areas and their detail rows, and the
// shipped myapp.ini when none is there.  Refuses when dir already holds a
// tax.mdb; a failure leaves no database behind.
bool createDemo(const QString& dir, QString* error = nullptr);

} // namespace demodata
