/*
 * Brimlow: the folder library Corvane uses for its transfer folder.
 * C linkage, paths as NUL-terminated UTF-8. Results are 1 on success and
 * 0 on failure; callers may ignore them.
 */
#ifndef BRIMLOW_BRIMLOW_H
#define BRIMLOW_BRIMLOW_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define BRIMLOW_API __attribute__((visibility("default")))
#else
#define BRIMLOW_API
#endif

/* Creates the folder and any missing parents; fine when it already exists. */
BRIMLOW_API int md(const char* path);

/*
 * Removes the folder with everything in it. Symbolic links are removed as
 * links and never followed, so nothing outside the folder is touched; when
 * path itself is a link, only the link goes. flags is accepted for the
 * callers' sake (they pass 1) and has no further meaning.
 */
BRIMLOW_API int delTree(const char* path, int flags);

#ifdef __cplusplus
}
#endif

#endif
