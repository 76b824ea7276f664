// C++ face of the archive library for Corvane: Qt texts in, a boolean and
// an error text out. The C ABI is wrapped here once; nothing else in the
// program calls it directly.
#pragma once

#include "arkelle/arkelle.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace arkelle {

// Outcome of writing an archive: `written` is the library's boolean;
// a non-empty `error` is an engine failure (the archive was not written).
struct WriteResult {
    bool written = false;
    QString error;
    bool failed() const { return !error.isEmpty(); }
};

namespace detail {

// A read-only view of UTF-8 copies of the caller's paths for zipList.
struct PathList {
    std::vector<QByteArray> items;
    static int count(void *ctx) { return int(static_cast<PathList *>(ctx)->items.size()); }
    static const char *item(void *ctx, int i) { return static_cast<PathList *>(ctx)->items[size_t(i)].constData(); }
    ArkelleStringList abi() { return {this, &count, &item, nullptr, nullptr}; }
};

// Names handed back by getZipList, copied as they arrive.
struct NameList {
    QStringList names;
    static void clear(void *ctx) { static_cast<NameList *>(ctx)->names.clear(); }
    static void append(void *ctx, const char *text)
    {
        static_cast<NameList *>(ctx)->names.append(QString::fromUtf8(text));
    }
    ArkelleStringList abi() { return {this, nullptr, nullptr, &clear, &append}; }
};

inline WriteResult finish(ArkelleBool written)
{
    WriteResult r;
    r.written = written != 0;
    r.error = QString::fromUtf8(arkelleLastError());
    return r;
}

} // namespace detail

// Writes or updates an archive from the listed files (see zipList).
inline WriteResult zipList(const QStringList &files, const QString &archivePath, const QString &password)
{
    detail::PathList list;
    list.items.reserve(size_t(files.size()));
    for (const QString &f : files)
        list.items.push_back(f.toUtf8());
    const ArkelleStringList abi = list.abi();
    return detail::finish(::zipList(&abi, archivePath.toUtf8().constData(), password.toUtf8().constData()));
}

// Writes one file into a fresh archive (see zipFile).
inline WriteResult zipFile(const QString &filePath, const QString &archivePath, const QString &password)
{
    return detail::finish(::zipFile(filePath.toUtf8().constData(), archivePath.toUtf8().constData(),
                                    password.toUtf8().constData()));
}

// Extracts every entry into a folder; false when nothing was extracted.
inline bool unZip(const QString &archivePath, const QString &destFolder, const QString &password)
{
    return ::unZip(archivePath.toUtf8().constData(), destFolder.toUtf8().constData(),
                   password.toUtf8().constData()) != 0;
}

// The archive's file names in directory order; nullopt when it cannot be read.
inline std::optional<QStringList> getZipList(const QString &archivePath)
{
    detail::NameList list;
    const ArkelleStringList abi = list.abi();
    if (!::getZipList(archivePath.toUtf8().constData(), &abi))
        return std::nullopt;
    return list.names;
}

// Name of the first file entry; empty when there is none or on any failure.
inline QString getFirstZipFileName(const QString &archivePath)
{
    return QString::fromUtf8(::getFirstZipFileName(archivePath.toUtf8().constData()));
}

} // namespace arkelle
