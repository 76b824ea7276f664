#include "brimlow/brimlow.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Empties the folder open as dirFd, working only relative to descriptors so
// that a link swapped in during the walk is never followed.
bool removeContents(int dirFd, int depth)
{
    if (depth > 256) {
        ::close(dirFd);
        return false;
    }
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (unlinkat(dirfd(dir), name.c_str(), 0) == 0)
            continue;
        if (errno != EISDIR && errno != EPERM) {
            ok = false;
            continue;
        }
        const int child = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0 || !removeContents(child, depth + 1) ||
            unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0)
            ok = false;
    }
    closedir(dir);
    return ok;
}

} // namespace

extern "C" {

int md(const char* path)
{
    if (!path || !*path)
        return 0;
    const std::string p = path;
    for (size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos != p.size() && p[pos] != '/')
            continue;
        const std::string part = p.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return 0;
    }
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int delTree(const char* path, int /*flags*/)
{
    if (!path || !*path)
        return 0;
    struct stat st {};
    if (::lstat(path, &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path) == 0;
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return ::unlink(path) == 0; // replaced by a link meanwhile: the link goes
    const bool emptied = removeContents(fd, 0);
    return ::rmdir(path) == 0 && emptied;
}

} // extern "C"
