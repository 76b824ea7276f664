#include "arkelle/zipengine.h"

#include "arkelle/names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <zlib.h>

namespace arkelle {
namespace {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kDescriptorSig = 0x08074b50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagMaxCompression = 0x0002;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr size_t kChunk = 256 * 1024;
constexpr char kNoRoom[] = "Not enough room to write archive";

std::string sysError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t *p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void put16(std::string &out, uint16_t v) { out += char(v & 0xFF), out += char(v >> 8); }
void put32(std::string &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

// Closes a descriptor on every path out of a scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Removes a temporary file unless it was handed over (renamed into place).
struct TempPath {
    std::string path;
    ~TempPath()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
    void release() { path.clear(); }
};

std::string randomHex(size_t bytes)
{
    uint8_t raw[16];
    bytes = std::min(bytes, sizeof raw);
    if (getrandom(raw, bytes, 0) != ssize_t(bytes)) {
        std::random_device rd;
        for (size_t i = 0; i < bytes; ++i)
            raw[i] = uint8_t(rd());
    }
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes; ++i)
        out += digits[raw[i] >> 4], out += digits[raw[i] & 15];
    return out;
}

// Creates a new file next to `near` (same folder); the mode follows umask.
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

struct DosTime {
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t packed() const { return (uint32_t(date) << 16) | time; }
};

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

time_t fromDos(uint16_t date, uint16_t time)
{
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

class ZipCrypto {
public:
    explicit ZipCrypto(const std::string &password)
    {
        for (char ch : password)
            update(uint8_t(ch));
    }
    uint8_t encrypt(uint8_t plain)
    {
        const uint8_t cipher = plain ^ streamByte();
        update(plain);
        return cipher;
    }
    uint8_t decrypt(uint8_t cipher)
    {
        const uint8_t plain = cipher ^ streamByte();
        update(plain);
        return plain;
    }

private:
    static uint32_t crcByte(uint32_t crc, uint8_t b)
    {
        return uint32_t(crc32(crc ^ 0xFFFFFFFFu, &b, 1)) ^ 0xFFFFFFFFu;
    }
    uint8_t streamByte() const
    {
        // Unsigned 32-bit product: the 16-bit operands would overflow an int.
        const uint32_t temp = (k2_ | 2) & 0xFFFF;
        return uint8_t((temp * (temp ^ 1)) >> 8);
    }
    void update(uint8_t b)
    {
        k0_ = crcByte(k0_, b);
        k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
        k2_ = crcByte(k2_, uint8_t(k1_ >> 24));
    }
    uint32_t k0_ = 0x12345678;
    uint32_t k1_ = 0x23456789;
    uint32_t k2_ = 0x34567890;
};

// ---- reading ---------------------------------------------------------------

struct Entry {
    uint16_t madeBy = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0;
    uint32_t crc = 0, csize = 0, usize = 0;
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0;
    uint32_t localOffset = 0;
    std::string name; // as stored
    std::string centralExtra, comment;
    // From the local header, when it is where the directory says.
    bool localOk = false;
    uint16_t localTime = 0;
    std::string localExtra;
    uint64_t dataOffset = 0;
    uint64_t spanEnd = 0; // end of header and data
    bool overlaps = false;

    std::string fileName() const
    {
        return entryFileName(storedNameToUtf8(name, flags & kFlagUtf8));
    }
    bool isDirectory() const
    {
        return !name.empty() && (name.back() == '/' || name.back() == '\\');
    }
};

class ArchiveReader {
public:
    // Opens and reads the directory; throws Failure when it is no archive.
    explicit ArchiveReader(const std::string &path) : path_(path)
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

    int fd() const { return fd_.fd; }
    const std::vector<Entry> &entries() const { return entries_; }

private:
    [[noreturn]] void damaged() const { throw Failure(path_ + " is not a readable archive"); }

    void readDirectory()
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
            en.time = get16(c + 12);
            en.date = get16(c + 14);
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
            en.centralExtra.assign(var + nameLen, extraLen);
            en.comment.assign(var + nameLen + extraLen, commentLen);
            pos += 46 + nameLen + extraLen + commentLen;
            entries_.push_back(std::move(en));
        }
    }

    // Finds each entry's data and marks entries whose bytes overlap another's.
    void locateEntries()
    {
        for (Entry &en : entries_) {
            uint8_t h[30];
            if (uint64_t(en.localOffset) + 30 > cdStart_ || !readFull(fd_.fd, en.localOffset, h, 30)
                || get32(h) != kLocalSig)
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

    std::string path_;
    Fd fd_;
    uint64_t size_ = 0;
    uint64_t cdStart_ = 0;
    std::vector<Entry> entries_;
};

// ---- extraction ------------------------------------------------------------

// True when the password passes the check byte of the decrypted header.
bool passwordMatches(const Entry &en, ZipCrypto &crypto, const uint8_t header[12])
{
    uint8_t last = 0;
    for (int i = 0; i < 12; ++i)
        last = crypto.decrypt(header[i]);
    const uint8_t expected = (en.flags & kFlagDescriptor) ? uint8_t(en.localTime >> 8) : uint8_t(en.crc >> 24);
    return last == expected;
}

// Mode of an extracted file: the umask's default, read-only when the entry
// says so, executable when a Unix writer recorded it.
mode_t extractedMode(const Entry &en, mode_t created)
{
    mode_t mode = created & 0777;
    const bool unixHost = (en.madeBy >> 8) == 3;
    const mode_t unixMode = mode_t(en.externalAttr >> 16);
    if ((en.externalAttr & 0x01) || (unixHost && unixMode != 0 && !(unixMode & S_IWUSR)))
        mode &= ~mode_t(0222);
    if (unixHost && (unixMode & S_IXUSR))
        mode |= (mode & 0444) >> 2;
    return mode;
}

// Decrypts and decompresses one entry into fd; false on any fault of the
// data (password, size, CRC) or of the write.
bool inflateEntry(int archiveFd, const Entry &en, const std::string &password, int outFd)
{
    uint64_t inPos = en.dataOffset;
    uint64_t remaining = en.csize;
    std::optional<ZipCrypto> crypto;
    if (en.flags & kFlagEncrypted) {
        if (password.empty() || remaining < 12)
            return false;
        uint8_t header[12];
        if (!readFull(archiveFd, inPos, header, 12))
            return false;
        crypto.emplace(password);
        if (!passwordMatches(en, *crypto, header))
            return false;
        inPos += 12, remaining -= 12;
    }
    if (en.method == kMethodStored && remaining != en.usize)
        return false;

    z_stream zs {};
    if (en.method == kMethodDeflated && inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return false;
    struct InflateEnd {
        z_stream *zs;
        bool active;
        ~InflateEnd()
        {
            if (active)
                inflateEnd(zs);
        }
    } guard {&zs, en.method == kMethodDeflated};

    std::vector<uint8_t> in(kChunk), out(kChunk);
    uint64_t written = 0, outPos = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool finished = false;
    const auto emit = [&](const uint8_t *data, size_t len) {
        written += len;
        if (written > en.usize) // more data than the entry declares: a bomb or damage
            return false;
        crc = crc32(crc, data, uInt(len));
        if (!writeFull(outFd, outPos, data, len))
            return false;
        outPos += len;
        return true;
    };
    while (!finished) {
        const size_t want = size_t(std::min<uint64_t>(remaining, kChunk));
        if (want == 0) {
            if (en.method == kMethodDeflated)
                return false; // compressed data ended before the stream did
            break;
        }
        if (!readFull(archiveFd, inPos, in.data(), want))
            return false;
        inPos += want, remaining -= want;
        if (crypto)
            for (size_t i = 0; i < want; ++i)
                in[i] = crypto->decrypt(in[i]);
        if (en.method == kMethodStored) {
            if (!emit(in.data(), want))
                return false;
            continue;
        }
        zs.next_in = in.data();
        zs.avail_in = uInt(want);
        // Inflate until this input is used up and inflate has room left over:
        // a full output buffer may hold back output even after the last
        // input byte has been taken in.
        for (;;) {
            zs.next_out = out.data();
            zs.avail_out = uInt(out.size());
            const uInt inBefore = zs.avail_in;
            const int rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                finished = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                return false;
            const size_t produced = out.size() - zs.avail_out;
            if (produced > 0 && !emit(out.data(), produced))
                return false;
            if (finished)
                break;
            if (produced == 0 && zs.avail_in == inBefore) {
                if (zs.avail_in > 0)
                    return false; // no progress with input left: damaged stream
                break;            // needs more input
            }
            if (zs.avail_in == 0 && zs.avail_out > 0)
                break; // all output given; read on
        }
    }
    return written == en.usize && uint32_t(crc) == en.crc;
}

bool extractEntry(int archiveFd, const Entry &en, const std::string &dest, const std::string &password)
{
    if (!en.localOk || en.overlaps || en.isDirectory())
        return false;
    if (en.method != kMethodStored && en.method != kMethodDeflated)
        return false;
    if ((en.flags & kFlagStrongEncryption) || en.csize == 0xFFFFFFFF || en.usize == 0xFFFFFFFF)
        return false;
    const std::string name = safeFileName(en.fileName());
    if (name.empty())
        return false;
    const std::string target = dest + "/" + name;

    // The data go to a temporary file first, so a bad entry never touches an
    // existing file of that name and never leaves a partial one.
    TempPath temp;
    Fd out(createTemp(dest + "/", temp));
    if (out.fd < 0)
        return false;
    if (!inflateEntry(archiveFd, en, password, out.fd))
        return false;
    struct stat st {};
    if (::fstat(out.fd, &st) != 0 || ::fchmod(out.fd, extractedMode(en, st.st_mode)) != 0)
        return false;
    const time_t when = fromDos(en.date, en.time);
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::futimens(out.fd, times);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0 || ::rename(temp.path.c_str(), target.c_str()) != 0)
        return false;
    temp.release();
    return true;
}

// Creates a folder and its missing parents.
bool makeFolders(const std::string &path)
{
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        partial = path.substr(0, next);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        pos = next + 1;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- writing ---------------------------------------------------------------

// The archive under construction: buffered writes at a tracked offset, so a
// header can be patched and an entry that fails half-way can be cut off.
class ArchiveWriter {
public:
    ArchiveWriter(int fd) : fd_(fd) { buf_.reserve(kChunk); }

    uint64_t pos() const { return pos_; }

    void write(const void *data, size_t len)
    {
        const auto *p = static_cast<const uint8_t *>(data);
        if (buf_.size() + len > kChunk)
            flush();
        if (len >= kChunk) {
            writeAt(pos_, p, len);
        } else {
            buf_.insert(buf_.end(), p, p + len);
        }
        pos_ += len;
    }
    void write(const std::string &s) { write(s.data(), s.size()); }

    void flush()
    {
        if (!buf_.empty())
            writeAt(pos_ - buf_.size(), buf_.data(), buf_.size());
        buf_.clear();
    }

    void patch(uint64_t offset, const std::string &bytes)
    {
        flush();
        writeAt(offset, bytes.data(), bytes.size());
    }

    // Drops everything written from offset on.
    void cutBack(uint64_t offset)
    {
        buf_.clear();
        pos_ = offset;
        if (::ftruncate(fd_, off_t(offset)) != 0)
            throw Failure(std::string("Cannot write archive: ") + std::strerror(errno));
    }

private:
    void writeAt(uint64_t offset, const void *data, size_t len)
    {
        if (offset + len > 0xFFFFFFFFull)
            throw Failure("Archive would exceed 4 GB, which this format cannot hold");
        if (!writeFull(fd_, offset, data, len)) {
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
                throw Failure(kNoRoom);
            throw Failure(std::string("Cannot write archive: ") + std::strerror(errno));
        }
    }

    int fd_;
    uint64_t pos_ = 0;
    std::vector<uint8_t> buf_;
};

struct CentralRecord {
    uint16_t madeBy = kVersion, needed = kVersion, flags = 0, method = kMethodDeflated;
    DosTime when;
    uint32_t crc = 0, csize = 0, usize = 0;
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0;
    uint32_t localOffset = 0;
    std::string name, extra, comment;
};

std::string localHeader(const CentralRecord &r, const std::string &extra)
{
    std::string h;
    put32(h, kLocalSig);
    put16(h, r.needed);
    put16(h, r.flags);
    put16(h, r.method);
    put16(h, r.when.time);
    put16(h, r.when.date);
    put32(h, r.crc);
    put32(h, r.csize);
    put32(h, r.usize);
    put16(h, uint16_t(r.name.size()));
    put16(h, uint16_t(extra.size()));
    h += r.name;
    h += extra;
    return h;
}

std::string centralHeader(const CentralRecord &r)
{
    std::string h;
    put32(h, kCentralSig);
    put16(h, r.madeBy);
    put16(h, r.needed);
    put16(h, r.flags);
    put16(h, r.method);
    put16(h, r.when.time);
    put16(h, r.when.date);
    put32(h, r.crc);
    put32(h, r.csize);
    put32(h, r.usize);
    put16(h, uint16_t(r.name.size()));
    put16(h, uint16_t(r.extra.size()));
    put16(h, uint16_t(r.comment.size()));
    put16(h, 0); // disk
    put16(h, r.internalAttr);
    put32(h, r.externalAttr);
    put32(h, r.localOffset);
    h += r.name;
    h += r.extra;
    h += r.comment;
    return h;
}

// CRC-32 of a whole file; false when it cannot be read to the end.
bool fileCrc(int fd, uint32_t &crc, std::vector<uint8_t> &buf)
{
    uLong c = crc32(0, nullptr, 0);
    uint64_t offset = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buf.data(), buf.size(), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        c = crc32(c, buf.data(), uInt(n));
        offset += uint64_t(n);
    }
    crc = uint32_t(c);
    return true;
}

// Adds one file as a new entry; false (nothing left in the archive) when the
// file cannot be read as a whole.
bool addFile(ArchiveWriter &w, const std::string &path, const std::string &name, const std::string &password,
             CentralRecord &rec)
{
    Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (uint64_t(st.st_size) >= 0xFFFFFFFFull)
        throw Failure(path + " is larger than this format can hold");

    rec = {};
    rec.name = name;
    rec.flags = kFlagMaxCompression;
    if (!isAscii(name) && isUtf8(name))
        rec.flags |= kFlagUtf8;
    rec.when = toDos(st.st_mtim.tv_sec);
    rec.externalAttr = 0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01); // archive, read-only
    rec.localOffset = uint32_t(w.pos());

    std::vector<uint8_t> in_(kChunk), out(kChunk);
    const bool encrypt = !password.empty();
    std::optional<ZipCrypto> crypto;
    if (encrypt) {
        // The encryption header ends in the CRC, so it is known before writing.
        if (!fileCrc(in.fd, rec.crc, in_))
            return false;
        rec.flags |= kFlagEncrypted;
    }
    w.write(localHeader(rec, {}));
    uint32_t csize = 0;
    if (encrypt) {
        crypto.emplace(password);
        uint8_t header[12];
        if (getrandom(header, 10, 0) != 10) {
            std::random_device rd;
            for (int i = 0; i < 10; ++i)
                header[i] = uint8_t(rd());
        }
        header[10] = uint8_t(rec.crc >> 16);
        header[11] = uint8_t(rec.crc >> 24);
        for (uint8_t &b : header)
            b = crypto->encrypt(b);
        w.write(header, 12);
        csize = 12;
    }

    z_stream zs {};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Failure("Cannot start compression");
    struct DeflateEnd {
        z_stream *zs;
        ~DeflateEnd() { deflateEnd(zs); }
    } guard {&zs};

    uLong crc = crc32(0, nullptr, 0);
    uint64_t usize = 0, offset = 0;
    bool readFailed = false;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        ssize_t n = ::pread(in.fd, in_.data(), in_.size(), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            readFailed = true;
            break;
        }
        offset += uint64_t(n);
        usize += uint64_t(n);
        crc = crc32(crc, in_.data(), uInt(n));
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        zs.next_in = in_.data();
        zs.avail_in = uInt(n);
        do {
            zs.next_out = out.data();
            zs.avail_out = uInt(out.size());
            deflate(&zs, flush);
            const size_t produced = out.size() - zs.avail_out;
            if (crypto)
                for (size_t i = 0; i < produced; ++i)
                    out[i] = crypto->encrypt(out[i]);
            w.write(out.data(), produced);
            csize += uint32_t(produced);
        } while (zs.avail_out == 0);
    }
    // A file that changed or failed while being read is left out entirely.
    if (readFailed || usize >= 0xFFFFFFFFull || (encrypt && uint32_t(crc) != rec.crc)) {
        w.cutBack(rec.localOffset);
        return false;
    }
    rec.crc = uint32_t(crc);
    rec.csize = csize;
    rec.usize = uint32_t(usize);
    std::string sizes;
    put32(sizes, rec.crc);
    put32(sizes, rec.csize);
    put32(sizes, rec.usize);
    w.patch(rec.localOffset + 14, sizes);
    return true;
}

// Copies an existing entry's bytes unchanged into the new archive.
void copyEntry(ArchiveWriter &w, const ArchiveReader &reader, const Entry &en, CentralRecord &rec)
{
    // Entries sharing their bytes are a zip bomb's trick; such a package is
    // not carried forward.
    if (!en.localOk || en.overlaps)
        throw Failure("The archive is damaged: entry " + en.name + " cannot be read");
    rec = {};
    rec.madeBy = en.madeBy;
    rec.needed = en.needed;
    rec.flags = en.flags;
    rec.method = en.method;
    rec.when.time = en.time;
    rec.when.date = en.date;
    rec.crc = en.crc;
    rec.csize = en.csize;
    rec.usize = en.usize;
    rec.internalAttr = en.internalAttr;
    rec.externalAttr = en.externalAttr;
    rec.name = en.name;
    rec.extra = en.centralExtra;
    rec.comment = en.comment;
    rec.localOffset = uint32_t(w.pos());
    CentralRecord local = rec;
    local.when.time = en.localTime;
    w.write(localHeader(local, en.localExtra));
    std::vector<uint8_t> buf(kChunk);
    uint64_t offset = en.dataOffset, remaining = en.csize;
    while (remaining > 0) {
        const size_t n = size_t(std::min<uint64_t>(remaining, buf.size()));
        if (!readFull(reader.fd(), offset, buf.data(), n))
            throw Failure("The archive is damaged: entry " + en.name + " cannot be read");
        w.write(buf.data(), n);
        offset += n, remaining -= n;
    }
    if (en.flags & kFlagDescriptor) {
        std::string d;
        put32(d, kDescriptorSig);
        put32(d, en.crc);
        put32(d, en.csize);
        put32(d, en.usize);
        w.write(d);
    }
}

void finishArchive(ArchiveWriter &w, const std::vector<CentralRecord> &records)
{
    if (records.size() > 0xFFFF)
        throw Failure("Too many entries for one archive");
    const uint64_t cdOffset = w.pos();
    for (const CentralRecord &r : records)
        w.write(centralHeader(r));
    const uint64_t cdSize = w.pos() - cdOffset;
    std::string end;
    put32(end, kEndSig);
    put16(end, 0);
    put16(end, 0);
    put16(end, uint16_t(records.size()));
    put16(end, uint16_t(records.size()));
    put32(end, uint32_t(cdSize));
    put32(end, uint32_t(cdOffset));
    put16(end, 0);
    w.write(end);
    w.flush();
}

} // namespace

int zipFiles(const std::vector<std::string> &files, const std::string &archivePath, const std::string &password,
             bool fresh)
{
    if (archivePath.empty())
        throw Failure("No archive path given");
    struct stat archiveStat {};
    const bool exists = ::stat(archivePath.c_str(), &archiveStat) == 0;
    if (exists && !S_ISREG(archiveStat.st_mode))
        throw Failure("Cannot write archive " + archivePath + ": not a regular file");
    std::optional<ArchiveReader> old;
    if (exists && !fresh)
        old.emplace(archivePath);

    // One file per name: a later path with a name already listed is skipped.
    struct Listed {
        std::string path, name;
        bool handled = false;
    };
    std::vector<Listed> listed;
    std::unordered_map<std::string, size_t> byName;
    for (const std::string &path : files) {
        std::string name = baseName(path);
        if (name.empty() || name.size() > 0xFFFF)
            continue;
        if (byName.emplace(foldCase(name), listed.size()).second)
            listed.push_back({path, std::move(name)});
    }

    TempPath temp;
    Fd out(createTemp(archivePath, temp));
    if (out.fd < 0)
        throw Failure(sysError("Cannot create archive", archivePath));
    ArchiveWriter w(out.fd);
    std::vector<CentralRecord> records;
    int written = 0;

    if (old) {
        for (const Entry &en : old->entries()) {
            CentralRecord rec;
            const auto match = byName.find(foldCase(en.fileName()));
            if (!en.isDirectory() && match != byName.end() && !listed[match->second].handled) {
                Listed &file = listed[match->second];
                file.handled = true;
                struct stat st {};
                const bool newer = ::stat(file.path.c_str(), &st) == 0
                                   && toDos(st.st_mtim.tv_sec).packed() > ((uint32_t(en.date) << 16) | en.time);
                if (newer && addFile(w, file.path, file.name, password, rec)) {
                    records.push_back(std::move(rec));
                    ++written;
                    continue;
                }
            }
            copyEntry(w, *old, en, rec);
            records.push_back(std::move(rec));
        }
    }
    for (Listed &file : listed) {
        if (file.handled)
            continue;
        CentralRecord rec;
        if (addFile(w, file.path, file.name, password, rec)) {
            records.push_back(std::move(rec));
            ++written;
        }
    }

    if (written == 0) {
        // Nothing new: an update leaves the archive as it was; a fresh
        // archive replaces the old one, so that one goes.
        if (fresh && exists && ::unlink(archivePath.c_str()) != 0)
            throw Failure(sysError("Cannot delete archive", archivePath));
        return 0;
    }
    finishArchive(w, records);
    if (::fsync(out.fd) != 0 && (errno == ENOSPC || errno == EDQUOT))
        throw Failure(kNoRoom);
    if (exists)
        ::fchmod(out.fd, archiveStat.st_mode & 07777);
    if (::close(out.fd) != 0) {
        out.fd = -1;
        throw Failure(kNoRoom);
    }
    out.fd = -1;
    if (::rename(temp.path.c_str(), archivePath.c_str()) != 0)
        throw Failure(sysError("Cannot write archive", archivePath));
    temp.release();
    return written;
}

int unzipAll(const std::string &archivePath, const std::string &destFolder, const std::string &password)
{
    ArchiveReader reader(archivePath);
    std::string dest = destFolder;
    while (dest.size() > 1 && dest.back() == '/')
        dest.pop_back();
    if (dest.empty() || !makeFolders(dest))
        return 0;
    if (dest == "/")
        dest.clear(); // target paths are dest + "/" + name
    int extracted = 0;
    for (const Entry &en : reader.entries())
        if (extractEntry(reader.fd(), en, dest, password))
            ++extracted;
    return extracted;
}

std::vector<std::string> listFileNames(const std::string &archivePath)
{
    ArchiveReader reader(archivePath);
    std::vector<std::string> names;
    for (const Entry &en : reader.entries())
        if (!en.isDirectory())
            names.push_back(en.fileName());
    return names;
}

} // namespace arkelle
