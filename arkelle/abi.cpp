// The exported C functions: texts in, one-byte booleans out, every failure
// caught here so that no exception ever crosses the library boundary.
#include "arkelle/arkelle.h"

#include "arkelle/zipengine.h"

#include <new>
#include <string>
#include <vector>

namespace {

// Per thread, so that calls on different threads never see each other's.
thread_local std::string lastError;
thread_local std::string firstName;

std::string text(const char *s) { return s ? std::string(s) : std::string(); }

std::vector<std::string> readList(const ArkelleStringList *list)
{
    std::vector<std::string> items;
    if (!list || !list->count || !list->item)
        return items;
    const int n = list->count(list->context);
    for (int i = 0; i < n; ++i)
        if (const char *item = list->item(list->context, i))
            items.emplace_back(item);
    return items;
}

ArkelleBool zip(const std::vector<std::string> &files, const char *archivePath, const char *password, bool fresh)
{
    lastError.clear();
    try {
        return arkelle::zipFiles(files, text(archivePath), text(password), fresh) > 0;
    } catch (const std::bad_alloc &) {
        lastError = "Out of memory";
    } catch (const std::exception &e) {
        lastError = e.what();
        if (lastError.empty())
            lastError = "Archive could not be written";
    } catch (...) {
        lastError = "Archive could not be written";
    }
    return 0;
}

} // namespace

extern "C" {

ArkelleBool zipList(const ArkelleStringList *files, const char *archivePath, const char *password)
{
    lastError.clear();
    std::vector<std::string> items;
    try {
        items = readList(files);
    } catch (...) {
        lastError = "The file list could not be read";
        return 0;
    }
    return zip(items, archivePath, password, false);
}

ArkelleBool zipFile(const char *filePath, const char *archivePath, const char *password)
{
    lastError.clear();
    std::vector<std::string> items;
    if (filePath)
        items.emplace_back(filePath);
    return zip(items, archivePath, password, true);
}

ArkelleBool unZip(const char *archivePath, const char *destFolder, const char *password)
{
    lastError.clear();
    try {
        return arkelle::unzipAll(text(archivePath), text(destFolder), text(password)) > 0;
    } catch (...) {
        return 0;
    }
}

ArkelleBool getZipList(const char *archivePath, const ArkelleStringList *list)
{
    lastError.clear();
    if (!list || !list->clear || !list->append)
        return 0;
    try {
        // The caller's list changes only once the whole directory is read.
        const std::vector<std::string> names = arkelle::listFileNames(text(archivePath));
        list->clear(list->context);
        for (const std::string &name : names)
            list->append(list->context, name.c_str());
        return 1;
    } catch (...) {
        return 0;
    }
}

const char *getFirstZipFileName(const char *archivePath)
{
    lastError.clear();
    try {
        const std::vector<std::string> names = arkelle::listFileNames(text(archivePath));
        firstName = names.empty() ? std::string() : names.front();
    } catch (...) {
        firstName.clear();
    }
    return firstName.c_str();
}

const char *arkelleLastError(void)
{
    return lastError.c_str();
}

} // extern "C"
