#pragma once
#include <QString>

// Passwords are kept as salted argon2id hash strings (libsodium), never as
// the password itself.

// The hash string to store in manager.mPassword.  Throws DbError when the
// hashing library cannot work (no memory).
QString hashPassword(const QString& password);

// True when the stored text is a hash string (as hashPassword makes them).
bool isPasswordHash(const QString& stored);

// True when password is the one stored.  A hash string is verified; any other
// stored text (empty, or plain text written by another tool; NULL reads as
// empty) is compared as plain text, so no such user is locked out.
bool verifyPassword(const QString& stored, const QString& password);
