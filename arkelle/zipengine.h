// The archive engine behind Arkelle's exports: a ZIP reader and writer on
// zlib that produces exactly the package layout Corvane exchanges and reads
// other writers' archives defensively.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace arkelle {

// An engine failure: the archive could not be written or read at all.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes or updates archivePath from files; returns the number of files
// added or replaced. Throws Failure.
int zipFiles(const std::vector<std::string> &files, const std::string &archivePath,
             const std::string &password, bool fresh);

// Extracts every entry into destFolder; returns the number of entries
// written with a matching CRC. Throws Failure when the archive cannot be read.
int unzipAll(const std::string &archivePath, const std::string &destFolder,
             const std::string &password);

// File names of the archive's file entries in directory order. Throws Failure.
std::vector<std::string> listFileNames(const std::string &archivePath);

} // namespace arkelle
