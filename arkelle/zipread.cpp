// Reading archives: extraction entry by entry, each through a temporary file
// that only a sound entry turns into the target file; an unsound entry
// removes any file of its name.
#include "arkelle/zipformat.h"

#include "arkelle/names.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace arkelle {

using namespace zip;

namespace {

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

// How one entry's extraction ended.
enum class Outcome { Extracted, WrongPassword, Failed };

// Decrypts and decompresses one entry into fd; WrongPassword when the
// password test rejects it, Failed on any other fault of the data (size,
// CRC, inflate) or of the write.
Outcome inflateEntry(int archiveFd, const Entry &en, const std::string &password, int outFd)
{
    uint64_t inPos = en.dataOffset;
    uint64_t remaining = en.csize;
    std::optional<ZipCrypto> crypto;
    if (en.flags & kFlagEncrypted) {
        if (password.empty())
            return Outcome::WrongPassword;
        if (remaining < 12)
            return Outcome::Failed;
        uint8_t header[12];
        if (!readFull(archiveFd, inPos, header, 12))
            return Outcome::Failed;
        crypto.emplace(password);
        if (!passwordMatches(en, *crypto, header))
            return Outcome::WrongPassword;
        inPos += 12, remaining -= 12;
    }
    if (en.method == kMethodStored && remaining != en.usize)
        return Outcome::Failed;

    z_stream zs{};
    if (en.method == kMethodDeflated && inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return Outcome::Failed;
    struct InflateEnd {
        z_stream *zs;
        bool active;
        ~InflateEnd()
        {
            if (active)
                inflateEnd(zs);
        }
    } guard{&zs, en.method == kMethodDeflated};

    std::vector<uint8_t> in(kChunk), out(kChunk);
    uint64_t written = 0, outPos = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool finished = false;
    const auto emit = [&](const uint8_t *data, size_t len) -> bool {
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
                return Outcome::Failed; // compressed data ended before the stream did
            break;
        }
        if (!readFull(archiveFd, inPos, in.data(), want))
            return Outcome::Failed;
        inPos += want, remaining -= want;
        if (crypto)
            for (size_t i = 0; i < want; ++i)
                in[i] = crypto->decrypt(in[i]);
        if (en.method == kMethodStored) {
            if (!emit(in.data(), want))
                return Outcome::Failed;
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
                return Outcome::Failed;
            const size_t produced = out.size() - zs.avail_out;
            if (produced > 0 && !emit(out.data(), produced))
                return Outcome::Failed;
            if (finished)
                break;
            if (produced == 0 && zs.avail_in == inBefore) {
                if (zs.avail_in > 0)
                    return Outcome::Failed; // no progress with input left: damaged stream
                break;                      // needs more input
            }
            if (zs.avail_in == 0 && zs.avail_out > 0)
                break; // all output given; read on
        }
    }
    return written == en.usize && uint32_t(crc) == en.crc ? Outcome::Extracted : Outcome::Failed;
}

bool extractEntry(int archiveFd, const Entry &en, const std::string &dest, const std::string &password)
{
    if (en.isDirectory())
        return false;
    const std::string name = safeFileName(en.fileName());
    if (name.empty())
        return false;
    const std::string target = dest + "/" + name;

    // An entry that cannot be extracted sound leaves no file of its name: an
    // older file there would pass for this archive's data.  Only an entry
    // the password test turns away leaves an existing file alone.
    const auto failed = [&target] {
        ::unlink(target.c_str());
        return false;
    };
    if (!en.localOk || en.overlaps)
        return failed();
    if (en.method != kMethodStored && en.method != kMethodDeflated)
        return failed();
    if ((en.flags & kFlagStrongEncryption) || en.csize == 0xFFFFFFFF || en.usize == 0xFFFFFFFF)
        return failed();

    // The data go to a temporary file first, so a bad entry never leaves a
    // partial file.
    TempPath temp;
    Fd out(createTemp(dest + "/", temp));
    if (out.fd < 0)
        return failed();
    switch (inflateEntry(archiveFd, en, password, out.fd)) {
    case Outcome::WrongPassword:
        return false;
    case Outcome::Failed:
        return failed();
    case Outcome::Extracted:
        break;
    }
    struct stat st {};
    if (::fstat(out.fd, &st) != 0 || ::fchmod(out.fd, extractedMode(en, st.st_mode)) != 0)
        return failed();
    const time_t when = fromDos(en.when);
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::futimens(out.fd, times);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0 || ::rename(temp.path.c_str(), target.c_str()) != 0)
        return failed();
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

} // namespace

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
