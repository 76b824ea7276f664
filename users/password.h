#pragma once
#include <QString>

// Passwords are kept as salted argon2id hash strings (libsodium), never as
// the password itself.

// The hash string to store in manager.mPassword.  Throws DbError when the
// hashing library cannot work (no memory).
QString hashPassword(const QString& password);

// True when password is the one the stored hash string was made from.  Any
// other stored text (empty, damaged) never matches.
bool verifyPassword(const QString& storedHash, const QString& password);
