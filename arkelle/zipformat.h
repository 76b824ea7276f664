// What the archive reader and writer share: the ZIP record layout, file
// helpers, DOS times, traditional PKWARE encryption and the directory reader
// (the writer reads an existing archive to update it).  Internal to Arkelle.
#pragma once

#include "arkelle/zipengine.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>
#include <zlib.h>

namespace arkelle::zip {

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

inline uint16_t get16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void put16(std::string &out, uint16_t v)
{
    out += char(v & 0xFF), out += char(v >> 8);
}
inline void put32(std::string &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

// "<what> <path>: <system error text>".
std::string sysError(const std::string &what, const std::string &path);

// Closes a descriptor on every path out of a scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset();
};

// Removes a temporary file unless it was handed over (renamed into place).
struct TempPath {
    std::string path;
    ~TempPath();
    void release() { path.clear(); }
};

// Random bytes from the kernel (the encryption header, temporary names).
void fillRandom(uint8_t *out, size_t len);

// Creates a new file whose path starts with folderPrefix; the mode follows umask.
int createTemp(const std::string &folderPrefix, TempPath &temp);

bool readFull(int fd, uint64_t offset, void *buf, size_t len);
bool writeFull(int fd, uint64_t offset, const void *buf, size_t len);

struct DosTime {
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t packed() const { return (uint32_t(date) << 16) | time; }
};

DosTime toDos(time_t t);
time_t fromDos(DosTime when);

// Traditional PKWARE encryption: three keys updated with CRC-32 and the
// multiplier 134775813.
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
    static uint32_t crcByte(uint32_t crc, uint8_t b) { return uint32_t(crc32(crc ^ 0xFFFFFFFFu, &b, 1)) ^ 0xFFFFFFFFu; }
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

// One entry as the central directory records it.
struct CentralRecord {
    uint16_t madeBy = kVersion, needed = kVersion, flags = 0, method = kMethodDeflated;
    DosTime when;
    uint32_t crc = 0, csize = 0, usize = 0;
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0;
    uint32_t localOffset = 0;
    std::string name, extra, comment; // name as stored
};

// An entry of an archive being read: its central record and what its local
// header says, when that is where the directory says.
struct Entry : CentralRecord {
    bool localOk = false;
    uint16_t localTime = 0;
    std::string localExtra;
    uint64_t dataOffset = 0;
    uint64_t spanEnd = 0; // end of header and data
    bool overlaps = false;

    std::string fileName() const;
    bool isDirectory() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
};

// An archive's directory.
class ArchiveReader {
public:
    // Opens and reads the directory; throws Failure when it is no archive.
    explicit ArchiveReader(const std::string &path);

    int fd() const { return fd_.fd; }
    const std::vector<Entry> &entries() const { return entries_; }

private:
    [[noreturn]] void damaged() const;
    void readDirectory();
    void locateEntries();

    std::string path_;
    Fd fd_;
    uint64_t size_ = 0;
    uint64_t cdStart_ = 0;
    std::vector<Entry> entries_;
};

} // namespace arkelle::zip
