#pragma once
#include <cstdint>

// SQLite has no built-in encryption, so the fixed database password is kept
// as the file's application id: the bytes "qbr9" of the password.  A file
// without it is not a Corvane database and is refused at connect, the way a
// wrong database password would be.
inline constexpr std::int32_t kCorvaneDatabaseId = 0x71627239;
inline constexpr int kCorvaneSchemaVersion = 1;
