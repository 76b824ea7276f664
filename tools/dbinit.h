#pragma once
#include <QByteArray>
#include <QString>

// Creating the first files of an installation.  Used by the install tool and
// by the tests; the program itself never creates its database.
namespace dbinit {

// Creates an empty tax.mdb with the seven tables at path.  Refuses when a file
// is already there.  The file appears whole or not at all.
bool createDatabase(const QString& path, QString* error = nullptr);

// The shipped settings file: first dictionary lists and the report keys.
QByteArray defaultSettings();

// Writes the shipped settings file to path (replacing what is there).
bool writeDefaultSettings(const QString& path, QString* error = nullptr);

} // namespace dbinit
