// Writing archives: a fresh package, or an update that copies kept entries
// byte for byte; either is built in a temporary file beside the target and
// renamed over it only when complete.
#include "arkelle/zipformat.h"

#include "arkelle/names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace arkelle {

using namespace zip;

namespace {

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

// The fields the local header and the central record share, in their order.
void putEntryFields(std::string &h, const CentralRecord &r)
{
    put16(h, r.needed);
    put16(h, r.flags);
    put16(h, r.method);
    put16(h, r.when.time);
    put16(h, r.when.date);
    put32(h, r.crc);
    put32(h, r.csize);
    put32(h, r.usize);
}

std::string localHeader(const CentralRecord &r, const std::string &extra)
{
    std::string h;
    put32(h, kLocalSig);
    putEntryFields(h, r);
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
    putEntryFields(h, r);
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
        fillRandom(header, 10);
        header[10] = uint8_t(rec.crc >> 16);
        header[11] = uint8_t(rec.crc >> 24);
        for (uint8_t &b : header)
            b = crypto->encrypt(b);
        w.write(header, 12);
        csize = 12;
    }

    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Failure("Cannot start compression");
    struct DeflateEnd {
        z_stream *zs;
        ~DeflateEnd() { deflateEnd(zs); }
    } guard{&zs};

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
    rec = en; // the central record as it stands, at its new place
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
            // Every entry of a listed name is considered, not only the first:
            // a reader that keeps the last of two same-named entries must not
            // find a stale copy there.
            if (!en.isDirectory() && match != byName.end()) {
                Listed &file = listed[match->second];
                file.handled = true;
                struct stat st {};
                const bool newer =
                    ::stat(file.path.c_str(), &st) == 0 && toDos(st.st_mtim.tv_sec).packed() > en.when.packed();
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

} // namespace arkelle
