// Entry names: how a path becomes a stored name, how a stored name becomes
// a safe file name in the destination folder, and how names are compared.
#pragma once

#include <string>
#include <string_view>

namespace arkelle {

// The file-name part of a path on this system (after the last '/').
std::string baseName(std::string_view path);

// True when the text is well-formed UTF-8.
bool isUtf8(std::string_view text);

// True when every byte is 7-bit ASCII.
bool isAscii(std::string_view text);

// A stored name as UTF-8: names flagged UTF-8 (bit 11) or already valid
// UTF-8 are taken as they are, others are read as code page 437, the
// ZIP default.
std::string storedNameToUtf8(std::string_view raw, bool utf8Flag);

// The file-name part of a stored name: directories, drives and both kinds
// of separator dropped. Empty for a directory entry.
std::string entryFileName(std::string_view utf8Name);

// A file name that can be created inside a folder without leaving it:
// empty when the name is empty, only dots, or too long; NUL and control
// characters become '_'.
std::string safeFileName(std::string_view fileName);

// Case-folded form used to compare names (ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters; other bytes unchanged).
std::string foldCase(std::string_view utf8);

} // namespace arkelle
