// Shared by the archive tests: the C ABI driven from Qt types, an outside
// program runner, and a tiny archive builder for hand-made (hostile) archives.
#pragma once

#include "arkelle/arkelle.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <vector>
#include <zlib.h>

namespace kit {

inline QByteArray u8(const QString& s)
{
    return s.toUtf8();
}

// A caller-side string list as Corvane would hand it over.
struct List {
    std::vector<QByteArray> items;
    std::vector<QByteArray> appended;
    bool cleared = false;
    static int count(void* c) { return int(static_cast<List*>(c)->items.size()); }
    static const char* item(void* c, int i) { return static_cast<List*>(c)->items[size_t(i)].constData(); }
    static void clear(void* c)
    {
        auto* l = static_cast<List*>(c);
        l->cleared = true;
        l->items.clear();
    }
    static void append(void* c, const char* t) { static_cast<List*>(c)->items.emplace_back(t); }
    ArkelleStringList abi() { return {this, &count, &item, &clear, &append}; }
    QStringList strings() const
    {
        QStringList out;
        for (const QByteArray& b : items)
            out << QString::fromUtf8(b);
        return out;
    }
};

inline bool zipList(const QStringList& files, const QString& archive, const QString& password)
{
    List l;
    for (const QString& f : files)
        l.items.push_back(u8(f));
    const ArkelleStringList abi = l.abi();
    return ::zipList(&abi, u8(archive).constData(), u8(password).constData()) != 0;
}

inline bool unZip(const QString& archive, const QString& dest, const QString& password)
{
    return ::unZip(u8(archive).constData(), u8(dest).constData(), u8(password).constData()) != 0;
}

inline QString lastError()
{
    return QString::fromUtf8(arkelleLastError());
}

inline void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(data);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Some text that compresses like a dataset file does.
inline QByteArray sampleData(int seed, int size)
{
    QByteArray out;
    quint32 x = quint32(seed) * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += "row" + QByteArray::number(x % 997) + ",税户," + QByteArray::number(x >> 7) + "\n";
    }
    out.truncate(size);
    return out;
}

struct Run {
    int code = -1;
    QByteArray out;
};

// Runs an outside program in dir; code -1 when it cannot be started.
inline Run run(const QString& program, const QStringList& args, const QString& dir = {},
               const QByteArray& input = {})
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.out = p.readAll();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

inline bool have(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

inline quint16 le16(const QByteArray& b, qsizetype at)
{
    return quint16(uchar(b[at]) | (uchar(b[at + 1]) << 8));
}
inline quint32 le32(const QByteArray& b, qsizetype at)
{
    return le16(b, at) | (quint32(le16(b, at + 2)) << 16);
}

// Hand-made archives, unencrypted, for cases no well-behaved writer makes.
struct Builder {
    struct Item {
        QByteArray name;
        QByteArray data;
        bool deflate = true;
        qint64 declaredSize = -1; // uncompressed size to claim; -1: the real one
        qint64 crc = -1;          // CRC to claim; -1: the real one
        int sameDataAs = -1;      // central record pointing at another item's local header
        int blockTail = 0;        // > 0: a block flush this many bytes before the end
    };
    std::vector<Item> items;

    static QByteArray rawDeflate(const QByteArray& in, int blockTail = 0)
    {
        z_stream zs{};
        deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        QByteArray out(int(deflateBound(&zs, uLong(in.size()))) + 64, 0);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = uInt(out.size());
        if (blockTail > 0) {
            zs.avail_in = uInt(in.size() - blockTail);
            deflate(&zs, Z_BLOCK);
            zs.avail_in = uInt(blockTail);
        } else {
            zs.avail_in = uInt(in.size());
        }
        deflate(&zs, Z_FINISH);
        out.resize(qsizetype(zs.total_out));
        deflateEnd(&zs);
        return out;
    }
    static void p16(QByteArray& b, quint32 v) { b += char(v & 0xFF), b += char((v >> 8) & 0xFF); }
    static void p32(QByteArray& b, quint32 v) { p16(b, v & 0xFFFF), p16(b, v >> 16); }

    QByteArray build() const
    {
        QByteArray out, central;
        std::vector<quint32> offsets, crcs, csizes, usizes;
        for (const Item& it : items) {
            const QByteArray body = it.deflate ? rawDeflate(it.data, it.blockTail) : it.data;
            const quint32 crc = it.crc >= 0
                                    ? quint32(it.crc)
                                    : quint32(crc32(0, reinterpret_cast<const Bytef*>(it.data.constData()),
                                                    uInt(it.data.size())));
            const quint32 usize = it.declaredSize >= 0 ? quint32(it.declaredSize) : quint32(it.data.size());
            offsets.push_back(quint32(out.size()));
            crcs.push_back(crc), csizes.push_back(quint32(body.size())), usizes.push_back(usize);
            if (it.sameDataAs >= 0)
                continue;
            p32(out, 0x04034b50), p16(out, 20), p16(out, 0), p16(out, it.deflate ? 8 : 0);
            p16(out, 0), p16(out, 0x5A21), p32(out, crc), p32(out, quint32(body.size())), p32(out, usize);
            p16(out, quint32(it.name.size())), p16(out, 0);
            out += it.name;
            out += body;
        }
        for (size_t i = 0; i < items.size(); ++i) {
            const Item& it = items[i];
            const size_t src = it.sameDataAs >= 0 ? size_t(it.sameDataAs) : i;
            p32(central, 0x02014b50), p16(central, 20), p16(central, 20), p16(central, 0);
            p16(central, items[src].deflate ? 8 : 0), p16(central, 0), p16(central, 0x5A21);
            p32(central, crcs[src]), p32(central, csizes[src]), p32(central, usizes[i]);
            p16(central, quint32(it.name.size())), p16(central, 0), p16(central, 0), p16(central, 0);
            p16(central, 0), p32(central, 0x20), p32(central, offsets[src]);
            central += it.name;
        }
        const quint32 cdOffset = quint32(out.size());
        out += central;
        p32(out, 0x06054b50), p16(out, 0), p16(out, 0), p16(out, quint32(items.size()));
        p16(out, quint32(items.size())), p32(out, quint32(central.size())), p32(out, cdOffset), p16(out, 0);
        return out;
    }
};

} // namespace kit
