/*
 * Arkelle: password-protected ZIP archives for Corvane's export packages.
 *
 * C ABI (libarkelle.so). Every function is exported by name with C linkage
 * and may be called from C, C++ or Python's ctypes.
 *
 *  - Texts are NUL-terminated UTF-8. Paths are used as the file system sees
 *    them; an entry's name is the file-name part of its path.
 *  - Booleans are one byte (ArkelleBool): 1 for true, 0 for false.
 *  - The library only reads the texts it is given and keeps no reference to
 *    them or to the caller's list after a call returns. Nothing it hands back
 *    has to be freed by the caller, and it frees nothing the caller made.
 *  - No global state: every call stands alone and runs entirely on the
 *    calling thread, so calls on different threads do not interfere. The
 *    library never dispatches window messages; a caller that wants its
 *    windows to stay responsive runs the calls off its window thread.
 *
 * Archive layout written: one entry per file in list order, no directories,
 * deflate level 9 (general-purpose bit 1), version made by and needed 20,
 * no data descriptors, date, time and DOS attributes of the file,
 * traditional PKWARE encryption when the password is not empty (12-byte
 * header ending in the third and fourth byte of the CRC-32), bit 11 set
 * when a name is not plain ASCII (names are stored as UTF-8). Names are
 * compared ignoring letter case (ASCII, Latin, Greek and Cyrillic letters).
 */
#ifndef ARKELLE_ARKELLE_H
#define ARKELLE_ARKELLE_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ARKELLE_API __attribute__((visibility("default")))
#else
#define ARKELLE_API
#endif

/* One byte: 1 true, 0 false. */
typedef unsigned char ArkelleBool;

/*
 * The caller's string list, reached only through the caller's own
 * callbacks, so every string in it is allocated and freed by the caller.
 *   count(context)           number of items
 *   item(context, index)     item 0..count-1; the pointer need only stay
 *                            valid until the next callback
 *   clear(context)           empties the list
 *   append(context, text)    appends a copy of text (the library's buffer
 *                            is only valid during the callback)
 * zipList uses count and item; getZipList uses clear and append.
 */
typedef struct ArkelleStringList {
    void *context;
    int (*count)(void *context);
    const char *(*item)(void *context, int index);
    void (*clear)(void *context);
    void (*append)(void *context, const char *text);
} ArkelleStringList;

/*
 * Writes or updates the archive at archivePath from the listed files.
 * A new archive gets one entry per file in list order. An existing archive
 * keeps its entries; each entry whose name matches a listed file (ignoring
 * case), also a second entry of the same name, is replaced only when the
 * file is newer than that entry, compared at the archive's two-second
 * resolution; other listed files are appended.
 * Missing or unreadable paths are skipped, as are later paths with a file
 * name already taken. The new archive is built in a temporary file beside
 * archivePath and renamed over it, so a failure never leaves a half-written
 * archive. Returns 1 when at least one file was added or replaced.
 * On 0, arkelleLastError() tells an engine failure (non-empty message:
 * the archive could not be written, "Not enough room to write archive",
 * an existing file that is no readable archive) from "nothing written".
 */
ARKELLE_API ArkelleBool zipList(const ArkelleStringList *files, const char *archivePath,
                                const char *password);

/*
 * Writes filePath as the only entry of a fresh archive at archivePath
 * (an existing file there is replaced, or removed when nothing could be
 * written). Result and failures as for zipList.
 */
ARKELLE_API ArkelleBool zipFile(const char *filePath, const char *archivePath,
                                const char *password);

/*
 * Extracts every entry into destFolder (created with its parents first; a
 * trailing "/" is dropped). Stored directories are ignored and hostile names
 * ("../x", absolute paths, backslash paths) reduced to their file-name part;
 * names that are empty or only dots are skipped. An entry whose password
 * test fails is skipped and leaves an existing file of its name untouched.
 * Any other entry either extracts completely with a matching CRC-32 and
 * replaces the file of its name, or (wrong CRC or size, damaged data, data
 * overlapping another entry's, a failed write) leaves no file of its name:
 * an older one is removed, no partial one is left. Returns 1 when at least one entry was extracted; every failure,
 * including a missing or damaged archive, is 0. Unencrypted entries are
 * extracted whatever the password.
 */
ARKELLE_API ArkelleBool unZip(const char *archivePath, const char *destFolder,
                              const char *password);

/*
 * Replaces the content of list with the file names (without directory) of
 * the archive's file entries in directory order. Returns 0 and leaves the
 * list as it was when the archive is missing or unreadable; an archive
 * without entries gives 1 and an empty list.
 */
ARKELLE_API ArkelleBool getZipList(const char *archivePath, const ArkelleStringList *list);

/*
 * File name of the archive's first file entry, or "" when the archive is
 * missing, unreadable or empty. Never NULL. The text belongs to the library
 * and stays valid until the next call of this function on the same thread.
 */
ARKELLE_API const char *getFirstZipFileName(const char *archivePath);

/*
 * Message of the engine failure of the last zipList or zipFile call on the
 * calling thread, or "" when that call ran without one. Valid until the
 * next Arkelle call on the same thread.
 */
ARKELLE_API const char *arkelleLastError(void);

#ifdef __cplusplus
}
#endif

#endif
