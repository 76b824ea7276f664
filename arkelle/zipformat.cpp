#include "arkelle/zipformat.h"

#include "arkelle/names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace arkelle::zip {

std::string sysError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

void Fd::reset()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

TempPath::~TempPath()
{
    if (!path.empty())
        ::unlink(path.c_str());
}

void fillRandom(uint8_t *out, size_t len)
{
    if (getrandom(out, len, 0) == ssize_t(len))
        return;
    std::random_device rd;
    for (size_t i = 0; i < len; ++i)
        out[i] = uint8_t(rd());
}

namespace {
std::string randomHex(size_t bytes)
{
    uint8_t raw[16];
    bytes = std::min(bytes, sizeof raw);
    fillRandom(raw, bytes);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes; ++i)
        out += digits[raw[i] >> 4], out += digits[raw[i] & 15];
    return out;
}
} // namespace

int createTemp(const std::string &folderPrefix, TempPath &temp)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string path = folderPrefix + ".arkelle-" + randomHex(6);
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temp.path = path;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

bool readFull(int fd, uint64_t offset, void *buf, size_t len)
{
    auto *p = static_cast<uint8_t *>(buf);
    while (len > 0) {
        ssize_t n = ::pread(fd, p, len, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n, len -= size_t(n), offset += uint64_t(n);
    }
    return true;
}

bool writeFull(int fd, uint64_t offset, const void *buf, size_t len)
{
    auto *p = static_cast<const uint8_t *>(buf);
    while (len > 0) {
        ssize_t n = ::pwrite(fd, p, len, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n, len -= size_t(n), offset += uint64_t(n);
    }
    return true;
}

// ---- date and time -------------------------------------------------------

DosTime toDos(time_t t)
{
    struct tm tm {};
    localtime_r(&t, &tm);
    DosTime d;
    if (tm.tm_year < 80) {
        d.date = (1 << 5) | 1; // 1980-01-01 00:00:00, the earliest a ZIP can hold
        return d;
    }
    if (tm.tm_year > 207) {
        // 2107-12-31 23:59:58, the latest
        d.time = uint16_t((23 << 11) | (59 << 5) | 29);
        d.date = uint16_t((127 << 9) | (12 << 5) | 31);
        return d;
    }
    d.time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    d.date = uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    return d;
}

time_t fromDos(DosTime when)
{
    const uint16_t date = when.date, time = when.time;
    struct tm tm {};
    tm.tm_year = (date >> 9) + 80;
    tm.tm_mon = std::clamp((date >> 5) & 15, 1, 12) - 1;
    tm.tm_mday = std::clamp(date & 31, 1, 31);
    tm.tm_hour = std::min(time >> 11, 23);
    tm.tm_min = std::min((time >> 5) & 63, 59);
    tm.tm_sec = std::min((time & 31) * 2, 59);
    tm.tm_isdst = -1;
    return mktime(&tm);
}

// ---- traditional PKWARE encryption ----------------------------------------

std::string Entry::fileName() const
{
    return entryFileName(storedNameToUtf8(name, flags & kFlagUtf8));
}

ArchiveReader::ArchiveReader(const std::string &path) : path_(path)
{
    fd_.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_.fd < 0)
        throw Failure(sysError("Cannot open archive", path));
    struct stat st {};
    if (::fstat(fd_.fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw Failure(path + " is not a readable archive");
    size_ = uint64_t(st.st_size);
    readDirectory();
    locateEntries();
}

void ArchiveReader::damaged() const
{
    throw Failure(path_ + " is not a readable archive");
}

void ArchiveReader::readDirectory()
{
    if (size_ < 22)
        damaged();
    const size_t tailLen = size_t(std::min<uint64_t>(size_, 22 + 0xFFFF));
    std::vector<uint8_t> tail(tailLen);
    if (!readFull(fd_.fd, size_ - tailLen, tail.data(), tailLen))
        damaged();
    // The end record is the last signature whose comment fits the file.
    size_t end = std::string::npos;
    for (size_t i = tailLen - 22 + 1; i-- > 0;) {
        if (get32(&tail[i]) == kEndSig && i + 22 + get16(&tail[i + 20]) <= tailLen) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos)
        damaged();
    const uint8_t *e = &tail[end];
    const uint64_t endPos = size_ - tailLen + end;
    const uint16_t disk = get16(e + 4), cdDisk = get16(e + 6);
    const uint16_t onDisk = get16(e + 8), total = get16(e + 10);
    const uint32_t cdSize = get32(e + 12), cdOffset = get32(e + 16);
    if (disk != 0 || cdDisk != 0 || onDisk != total)
        damaged(); // spanned archives are not supported
    if (uint64_t(cdOffset) + cdSize > endPos)
        damaged();
    cdStart_ = cdOffset;
    std::vector<uint8_t> cd(cdSize);
    if (cdSize > 0 && !readFull(fd_.fd, cdOffset, cd.data(), cdSize))
        damaged();
    size_t pos = 0;
    entries_.reserve(total);
    for (unsigned i = 0; i < total; ++i) {
        if (pos + 46 > cd.size() || get32(&cd[pos]) != kCentralSig)
            damaged();
        const uint8_t *c = &cd[pos];
        Entry en;
        en.madeBy = get16(c + 4);
        en.needed = get16(c + 6);
        en.flags = get16(c + 8);
        en.method = get16(c + 10);
        en.when.time = get16(c + 12);
        en.when.date = get16(c + 14);
        en.crc = get32(c + 16);
        en.csize = get32(c + 20);
        en.usize = get32(c + 24);
        const size_t nameLen = get16(c + 28), extraLen = get16(c + 30), commentLen = get16(c + 32);
        en.internalAttr = get16(c + 36);
        en.externalAttr = get32(c + 38);
        en.localOffset = get32(c + 42);
        if (pos + 46 + nameLen + extraLen + commentLen > cd.size())
            damaged();
        const char *var = reinterpret_cast<const char *>(c + 46);
        en.name.assign(var, nameLen);
        en.extra.assign(var + nameLen, extraLen);
        en.comment.assign(var + nameLen + extraLen, commentLen);
        pos += 46 + nameLen + extraLen + commentLen;
        entries_.push_back(std::move(en));
    }
}

// Finds each entry's data and marks entries whose bytes overlap another's.
void ArchiveReader::locateEntries()
{
    for (Entry &en : entries_) {
        uint8_t h[30];
        if (uint64_t(en.localOffset) + 30 > cdStart_ || !readFull(fd_.fd, en.localOffset, h, 30) ||
            get32(h) != kLocalSig)
            continue;
        const uint16_t nameLen = get16(h + 26), extraLen = get16(h + 28);
        en.localTime = get16(h + 10);
        en.dataOffset = uint64_t(en.localOffset) + 30 + nameLen + extraLen;
        en.spanEnd = en.dataOffset + en.csize;
        if (en.spanEnd > cdStart_)
            continue;
        en.localExtra.resize(extraLen);
        if (extraLen > 0 && !readFull(fd_.fd, en.localOffset + 30 + nameLen, en.localExtra.data(), extraLen))
            continue;
        en.localOk = true;
    }
    std::vector<Entry *> byOffset;
    for (Entry &en : entries_)
        if (en.localOk)
            byOffset.push_back(&en);
    std::sort(byOffset.begin(), byOffset.end(),
              [](const Entry *a, const Entry *b) { return a->localOffset < b->localOffset; });
    Entry *reach = nullptr; // the entry whose span ends furthest so far
    for (Entry *en : byOffset) {
        if (reach && en->localOffset < reach->spanEnd)
            en->overlaps = reach->overlaps = true;
        if (!reach || en->spanEnd > reach->spanEnd)
            reach = en;
    }
}

} // namespace arkelle::zip
