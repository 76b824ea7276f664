// Writing packages: the byte layout, updates of an existing package, skipped
// paths, engine failures, the C++ wrapper and calls from several threads.
#include "arkelle/arkelle.hpp"
#include "ziptestkit.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <latch>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace kit;

namespace {

void setMtime(const QString& path, const QDateTime& when)
{
    const struct timespec t[2] = {{time_t(when.toSecsSinceEpoch()), 0}, {time_t(when.toSecsSinceEpoch()), 0}};
    QVERIFY(::utimensat(AT_FDCWD, u8(path).constData(), t, 0) == 0);
}

quint32 dosOf(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return (quint32((d.year() - 1980) << 9 | d.month() << 5 | d.day()) << 16) |
           quint32(c.hour() << 11 | c.minute() << 5 | c.second() / 2);
}

quint32 crcOf(const QByteArray& b)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(b.constData()), uInt(b.size())));
}

// Traditional PKWARE decryption, written out here so the test does not
// trust the library's own.
QByteArray zipDecrypt(const QByteArray& cipher, const QByteArray& password)
{
    quint32 k[3] = {0x12345678, 0x23456789, 0x34567890};
    const auto crcByte = [](quint32 c, uchar b) {
        for (c ^= b, b = 0; b < 8; ++b)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
        return c;
    };
    const auto update = [&](uchar p) {
        k[0] = crcByte(k[0], p);
        k[1] = (k[1] + (k[0] & 0xFF)) * 134775813u + 1;
        k[2] = crcByte(k[2], uchar(k[1] >> 24));
    };
    for (char ch : password)
        update(uchar(ch));
    QByteArray plain;
    for (char ch : cipher) {
        const quint32 t = (k[2] | 2) & 0xFFFF;
        const uchar p = uchar(ch) ^ uchar((t * (t ^ 1)) >> 8);
        update(p);
        plain += char(p);
    }
    return plain;
}

QByteArray rawInflate(const QByteArray& in)
{
    z_stream zs{};
    inflateInit2(&zs, -MAX_WBITS);
    QByteArray out(1 << 20, 0);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    out.resize(rc == Z_STREAM_END ? qsizetype(zs.total_out) : 0);
    inflateEnd(&zs);
    return out;
}

QStringList leftovers(const QString& dir)
{
    return QDir(dir).entryList({"*.arkelle-*"}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestArkelleWrite : public QObject {
    Q_OBJECT
private slots:
    void packageLayout_data();
    void packageLayout();
    void updateReplacesOnlyNewerFiles_data();
    void updateReplacesOnlyNewerFiles();
    void updateReplacesEverySameNamedEntry();
    void skippedPathsAreNotCounted_data();
    void skippedPathsAreNotCounted();
    void engineFailureIsAnError_data();
    void engineFailureIsAnError();
    void fullDiskLeavesOldArchive();
    void zipFileStartsFresh();
    void nonAsciiNamesAreFlaggedUtf8();
    void threadsDoNotInterfere();
    void errorTextIsPerThread();
    void wrapper();
};

void TestArkelleWrite::packageLayout_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("no password") << QString();
    QTest::newRow("password") << QStringLiteral("s3cret");
}

// The two entries of a package, field by field, as another installation reads them.
void TestArkelleWrite::packageLayout()
{
    QFETCH(QString, password);
    QTemporaryDir dir;
    const QString taxer = dir.filePath("data/taxer.dat"), area = dir.filePath("data/area.dat");
    const QByteArray taxerData = sampleData(1, 5000), areaData = sampleData(2, 700);
    writeFile(taxer, taxerData);
    writeFile(area, areaData);
    const QDateTime when(QDate(2021, 6, 15), QTime(10, 20, 31));
    setMtime(taxer, when);
    setMtime(area, when.addDays(1));
    QVERIFY(::chmod(u8(area).constData(), 0444) == 0);
    const QString zip = dir.filePath("out.zdt");
    QVERIFY(zipList({taxer, area}, zip, password));
    QCOMPARE(lastError(), QString());

    const QByteArray z = readFile(zip);
    const bool enc = !password.isEmpty();
    const struct {
        QByteArray name, data;
        QDateTime mtime;
        quint32 attr;
    } expected[2] = {{"taxer.dat", taxerData, when, 0x20}, {"area.dat", areaData, when.addDays(1), 0x21}};
    qsizetype at = 0;
    std::vector<quint32> offsets;
    for (const auto& e : expected) {
        offsets.push_back(quint32(at));
        QCOMPARE(le32(z, at), 0x04034b50u);
        QCOMPARE(le16(z, at + 4), quint16(20));                    // version needed
        QCOMPARE(le16(z, at + 6), quint16(enc ? 0x0003 : 0x0002)); // encrypted, maximum compression
        QCOMPARE(le16(z, at + 8), quint16(8));                     // deflated
        QCOMPARE(quint32(le16(z, at + 12)) << 16 | le16(z, at + 10), dosOf(e.mtime));
        QCOMPARE(le32(z, at + 14), crcOf(e.data));
        QCOMPARE(le32(z, at + 22), quint32(e.data.size()));
        QCOMPARE(z.mid(at + 30, le16(z, at + 26)), e.name);
        QCOMPARE(le16(z, at + 28), quint16(0));
        const quint32 csize = le32(z, at + 18);
        QByteArray body = z.mid(at + 30 + e.name.size(), csize);
        if (enc) {
            body = zipDecrypt(body, u8(password));
            const quint32 crc = crcOf(e.data);
            QCOMPARE(uchar(body[10]), uchar(crc >> 16));
            QCOMPARE(uchar(body[11]), uchar(crc >> 24));
            body = body.mid(12);
        }
        QCOMPARE(rawInflate(body), e.data);
        at += 30 + e.name.size() + csize; // the next header follows at once: no data descriptor
    }
    QCOMPARE(le32(z, at), 0x02014b50u);
    for (size_t i = 0; i < 2; ++i) {
        const auto& e = expected[i];
        QCOMPARE(le32(z, at), 0x02014b50u);
        QCOMPARE(le16(z, at + 4), quint16(20)); // made by
        QCOMPARE(le16(z, at + 6), quint16(20)); // needed
        QCOMPARE(le16(z, at + 8), quint16(enc ? 0x0003 : 0x0002));
        QCOMPARE(le32(z, at + 16), crcOf(e.data));
        QCOMPARE(le32(z, at + 38), e.attr);
        QCOMPARE(le32(z, at + 42), offsets[i]);
        QCOMPARE(z.mid(at + 46, le16(z, at + 28)), e.name);
        at += 46 + le16(z, at + 28) + le16(z, at + 30) + le16(z, at + 32);
    }
    QCOMPARE(le32(z, at), 0x06054b50u);
    QCOMPARE(le16(z, at + 10), quint16(2));
    QCOMPARE(at + 22, z.size());
}

void TestArkelleWrite::updateReplacesOnlyNewerFiles_data()
{
    QTest::addColumn<int>("offsetSecs");
    QTest::addColumn<QString>("listedName");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("newer") << 10 << "b.dat" << true;
    QTest::newRow("next two-second step") << 2 << "b.dat" << true;
    QTest::newRow("same two-second step") << 1 << "b.dat" << false;
    QTest::newRow("same time") << 0 << "b.dat" << false;
    QTest::newRow("older") << -10 << "b.dat" << false;
    QTest::newRow("newer, name in other case") << 10 << "B.DAT" << true;
}

// An existing package keeps its other entries and takes a file only when it is newer.
void TestArkelleWrite::updateReplacesOnlyNewerFiles()
{
    QFETCH(int, offsetSecs);
    QFETCH(QString, listedName);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QDateTime base(QDate(2022, 3, 4), QTime(5, 6, 8));
    QStringList first;
    for (const char* n : {"a.dat", "b.dat", "c.dat"}) {
        const QString p = dir.filePath(QString("old/") + n);
        writeFile(p, QByteArray("old ") + n);
        setMtime(p, base);
        first << p;
    }
    const QString zip = dir.filePath("pkg.zdt");
    QVERIFY(zipList(first, zip, "pw"));
    const QByteArray before = readFile(zip);

    const QString b = dir.filePath("new/" + listedName);
    writeFile(b, "new b");
    setMtime(b, base.addSecs(offsetSecs));
    QCOMPARE(zipList({b}, zip, "pw"), replaced);
    QCOMPARE(lastError(), QString());
    if (!replaced)
        QCOMPARE(readFile(zip), before); // untouched, not rewritten

    const QString out = dir.filePath("out");
    QVERIFY(unZip(zip, out, "pw"));
    List names;
    const ArkelleStringList abi = names.abi();
    QVERIFY(getZipList(u8(zip).constData(), &abi));
    QCOMPARE(names.strings(), QStringList({"a.dat", replaced ? listedName : "b.dat", "c.dat"}));
    QCOMPARE(readFile(out + "/a.dat"), QByteArray("old a.dat"));
    QCOMPARE(readFile(out + "/c.dat"), QByteArray("old c.dat"));
    QCOMPARE(readFile(out + "/" + (replaced ? listedName : "b.dat")),
             replaced ? QByteArray("new b") : QByteArray("old b.dat"));

    // A file the package lacks is appended after the kept entries.
    const QString d = dir.filePath("new/d.dat");
    writeFile(d, "d");
    QVERIFY(zipList({b, d}, zip, "pw"));
    QVERIFY(getZipList(u8(zip).constData(), &abi));
    QCOMPARE(names.strings().size(), 4);
    QCOMPARE(names.strings().last(), QString("d.dat"));
    QCOMPARE(leftovers(dir.path()), QStringList());
}

// An archive holding two entries of one name gets the new file in both
// places; a reader that keeps the last one must not find the stale copy.
void TestArkelleWrite::updateReplacesEverySameNamedEntry()
{
    QTemporaryDir dir;
    const QString zip = dir.filePath("pkg.zdt");
    Builder b; // entries dated 2025-01-01
    b.items.push_back({"b.dat", "first old b", true});
    b.items.push_back({"a.dat", "old a", true});
    b.items.push_back({"B.DAT", "second old b", true});
    writeFile(zip, b.build());
    const QString newB = dir.filePath("new/b.dat");
    writeFile(newB, "new b");
    QVERIFY(zipList({newB}, zip, ""));

    List names;
    const ArkelleStringList abi = names.abi();
    QVERIFY(getZipList(u8(zip).constData(), &abi));
    QCOMPARE(names.strings(), QStringList({"b.dat", "a.dat", "b.dat"}));
    const QString out = dir.filePath("out");
    QVERIFY(unZip(zip, out, ""));
    QCOMPARE(readFile(out + "/b.dat"), QByteArray("new b"));
    QCOMPARE(readFile(out + "/a.dat"), QByteArray("old a"));
    const Run r = run("unzip", {"-p", zip}, dir.path());
    if (r.code == 0)
        QCOMPARE(r.out, QByteArray("new bold anew b"));
}

void TestArkelleWrite::skippedPathsAreNotCounted_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("entries"); // empty: nothing written, no archive
    QTest::newRow("empty list") << QStringList() << QStringList();
    QTest::newRow("only a missing file") << QStringList{"missing.dat"} << QStringList();
    QTest::newRow("a folder") << QStringList{"data"} << QStringList();
    QTest::newRow("unreadable file") << QStringList{"data/locked.dat"} << QStringList();
    QTest::newRow("missing among files")
        << QStringList{"missing.dat", "data/taxer.dat"} << QStringList{"taxer.dat"};
    QTest::newRow("same name twice") << QStringList{"data/taxer.dat", "other/TAXER.dat"}
                                     << QStringList{"taxer.dat"};
}

void TestArkelleWrite::skippedPathsAreNotCounted()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, entries);
    QTemporaryDir dir;
    writeFile(dir.filePath("data/taxer.dat"), "t");
    writeFile(dir.filePath("other/TAXER.dat"), "T");
    writeFile(dir.filePath("data/locked.dat"), "l");
    ::chmod(u8(dir.filePath("data/locked.dat")).constData(), 0);
    if (::geteuid() == 0 && QTest::currentDataTag() == QByteArray("unreadable file"))
        QSKIP("root reads every file");
    QStringList full;
    for (const QString& p : paths)
        full << dir.filePath(p);
    const QString zip = dir.filePath("pkg.zdt");
    QCOMPARE(zipList(full, zip, "pw"), !entries.isEmpty());
    QCOMPARE(lastError(), QString());
    QCOMPARE(QFileInfo::exists(zip), !entries.isEmpty());
    if (!entries.isEmpty())
        QCOMPARE(arkelle::getZipList(zip).value_or(QStringList{"?"}), entries);
}

void TestArkelleWrite::engineFailureIsAnError_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QByteArray>("existing"); // content placed at the archive path first
    QTest::newRow("folder does not exist") << "nowhere/pkg.zdt" << QByteArray();
    QTest::newRow("existing file is no archive") << "pkg.zdt" << QByteArray("not a zip at all, just text");
    QTest::newRow("archive path is a folder") << "data" << QByteArray();
    QTest::newRow("truncated archive") << "pkg.zdt" << QByteArray("PK\x03\x04\x14\x00", 6);
    Builder shared;
    shared.items.push_back({"a.dat", sampleData(3, 4000), true});
    shared.items.push_back({"b.dat", sampleData(3, 4000), true, -1, -1, 0});
    QTest::newRow("existing entries share their data") << "pkg.zdt" << shared.build();
}

// A package that cannot be written reaches the caller as an error, distinct from false.
void TestArkelleWrite::engineFailureIsAnError()
{
    QFETCH(QString, archive);
    QFETCH(QByteArray, existing);
    QTemporaryDir dir;
    writeFile(dir.filePath("data/taxer.dat"), "t");
    const QString zip = dir.filePath(archive);
    if (!existing.isEmpty())
        writeFile(zip, existing);
    QVERIFY(!zipList({dir.filePath("data/taxer.dat")}, zip, "pw"));
    QVERIFY2(!lastError().isEmpty(), "an engine failure must carry a message");
    if (!existing.isEmpty())
        QCOMPARE(readFile(zip), existing);
    QCOMPARE(leftovers(dir.path()), QStringList());
    // The message belongs to that call only.
    QVERIFY(zipList({dir.filePath("data/taxer.dat")}, dir.filePath("good.zdt"), ""));
    QCOMPARE(lastError(), QString());
}

// A write that comes up short fails the call and leaves the old package as it was.
void TestArkelleWrite::fullDiskLeavesOldArchive()
{
    QTemporaryDir dir;
    const QString small = dir.filePath("small.dat"), big = dir.filePath("big.dat");
    writeFile(small, "s");
    QByteArray noise(400 * 1024, 0);
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    writeFile(big, noise);
    const QString zip = dir.filePath("pkg.zdt");
    QVERIFY(zipList({small}, zip, ""));
    const QByteArray before = readFile(zip);

    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = old;
    tight.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    const bool ok = zipList({big}, zip, "pw");
    const QString error = lastError();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!ok);
    QCOMPARE(error, QString("Not enough room to write archive"));
    QCOMPARE(readFile(zip), before);
    QCOMPARE(leftovers(dir.path()), QStringList());
}

void TestArkelleWrite::zipFileStartsFresh()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.dat"), "a");
    writeFile(dir.filePath("b.dat"), "b");
    const QString zip = dir.filePath("one.zip");
    QVERIFY(zipList({dir.filePath("a.dat")}, zip, ""));
    QVERIFY(::zipFile(u8(dir.filePath("b.dat")).constData(), u8(zip).constData(), "pw"));
    QCOMPARE(arkelle::getZipList(zip).value_or(QStringList()), QStringList{"b.dat"});
    // Nothing to write: the old archive is gone all the same, and that is no failure.
    QVERIFY(!::zipFile(u8(dir.filePath("missing.dat")).constData(), u8(zip).constData(), "pw"));
    QCOMPARE(lastError(), QString());
    QVERIFY(!QFileInfo::exists(zip));
}

void TestArkelleWrite::nonAsciiNamesAreFlaggedUtf8()
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("taxer.dat"), chinese = dir.filePath("税户.dat");
    writeFile(plain, "p");
    writeFile(chinese, "c");
    const QString zip = dir.filePath("pkg.zdt");
    QVERIFY(zipList({plain, chinese}, zip, "pw"));
    const QByteArray z = readFile(zip);
    QCOMPARE(le16(z, 6) & 0x0800, 0);
    const qsizetype second = 30 + 9 + le32(z, 18);
    QCOMPARE(le16(z, second + 6) & 0x0800, 0x0800);
    QCOMPARE(z.mid(second + 30, le16(z, second + 26)), QString("税户.dat").toUtf8());
    QCOMPARE(arkelle::getFirstZipFileName(zip), QString("taxer.dat"));
    QCOMPARE(arkelle::getZipList(zip).value_or(QStringList()), QStringList({"taxer.dat", "税户.dat"}));
}

// Transfers run off the window thread; concurrent calls keep their own results and messages.
void TestArkelleWrite::threadsDoNotInterfere()
{
    QTemporaryDir dir;
    constexpr int kThreads = 4;
    bool ok[kThreads] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const QString base = dir.filePath(QString::number(t));
            const QByteArray data = sampleData(t, 200000);
            writeFile(base + "/in/f.dat", data);
            bool good = true;
            for (int round = 0; round < 5 && good; ++round) {
                const QString zip = base + "/p.zip";
                QFile::remove(zip);
                good = zipList({base + "/in/f.dat"}, zip, "pw" + QString::number(t)) && lastError().isEmpty();
                good = good && !zipList({base + "/in/f.dat"}, base + "/none/p.zip", "x") &&
                       !lastError().isEmpty();
                good = good && !unZip(zip, base + "/out", "wrong") &&
                       unZip(zip, base + "/out", "pw" + QString::number(t));
                good = good && readFile(base + "/out/f.dat") == data;
                const char* first = getFirstZipFileName(u8(zip).constData());
                good = good && QByteArray(first) == "f.dat";
            }
            ok[t] = good;
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        QVERIFY2(ok[t], qPrintable(QString("thread %1").arg(t)));
}

// Held in step: one thread fails, another then succeeds, and the first still
// reads its own error text and first name (a shared one would be cleared).
void TestArkelleWrite::errorTextIsPerThread()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a/first.dat"), "a");
    writeFile(dir.filePath("b/second.dat"), "b");
    QVERIFY(zipList({dir.filePath("a/first.dat")}, dir.filePath("a.zip"), "pw"));
    QVERIFY(zipList({dir.filePath("b/second.dat")}, dir.filePath("b.zip"), "pw"));
    std::latch failed(1), succeeded(1);
    QByteArray failingError, failingName, succeedingError;
    bool failingResult = true, succeedingResult = false;
    std::thread failing([&] {
        const char* name = getFirstZipFileName(u8(dir.filePath("a.zip")).constData());
        failingResult = zipList({dir.filePath("a/first.dat")}, dir.filePath("none/x.zip"), "pw");
        failed.count_down();
        succeeded.wait();
        failingError = lastError().toUtf8();
        failingName = name;
    });
    std::thread succeeding([&] {
        failed.wait();
        succeedingResult = zipList({dir.filePath("b/second.dat")}, dir.filePath("b2.zip"), "pw");
        getFirstZipFileName(u8(dir.filePath("b.zip")).constData());
        succeedingError = lastError().toUtf8();
        succeeded.count_down();
    });
    failing.join();
    succeeding.join();
    QVERIFY(!failingResult);
    QVERIFY(succeedingResult);
    QVERIFY2(!failingError.isEmpty(), "the failing thread lost its error text");
    QVERIFY(failingError.contains("none/x.zip"));
    QCOMPARE(failingName, QByteArray("first.dat"));
    QCOMPARE(succeedingError, QByteArray());
}

void TestArkelleWrite::wrapper()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("taxer.dat"), "t");
    const QString zip = dir.filePath("pkg.zdt");
    const arkelle::WriteResult good = arkelle::zipList({dir.filePath("taxer.dat")}, zip, "pw");
    QVERIFY(good.written);
    QVERIFY(!good.failed());
    const arkelle::WriteResult none =
        arkelle::zipList({dir.filePath("missing")}, dir.filePath("x.zdt"), "pw");
    QVERIFY(!none.written);
    QVERIFY(!none.failed());
    const arkelle::WriteResult bad =
        arkelle::zipFile(dir.filePath("taxer.dat"), dir.filePath("no/x.zdt"), "pw");
    QVERIFY(!bad.written);
    QVERIFY(bad.failed());
    QVERIFY(bad.error.contains("no/x.zdt"));
    QVERIFY(arkelle::unZip(zip, dir.filePath("out"), "pw"));
    QVERIFY(!arkelle::getZipList(dir.filePath("missing")).has_value());
    QCOMPARE(arkelle::getFirstZipFileName(dir.filePath("missing")), QString());
}

QTEST_GUILESS_MAIN(TestArkelleWrite)
#include "tst_arkelle_write.moc"
