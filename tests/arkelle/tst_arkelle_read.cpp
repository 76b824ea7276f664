// Reading packages: extraction rules, hostile names, damaged and malicious
// archives, and listing.
#include "arkelle/arkelle.hpp"
#include "ziptestkit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kit;

namespace {

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                               QDir::Name);
}

// A small real package, made by the library itself.
QByteArray makePackage(const QTemporaryDir& dir, const QString& password)
{
    writeFile(dir.filePath("src/taxer.dat"), sampleData(31, 3000));
    writeFile(dir.filePath("src/area.dat"), sampleData(32, 200));
    const QString zip = dir.filePath("src/pkg.zdt");
    QFile::remove(zip);
    if (!zipList({dir.filePath("src/taxer.dat"), dir.filePath("src/area.dat")}, zip, password))
        qFatal("cannot make a package");
    return readFile(zip);
}

} // namespace

class TestArkelleRead : public QObject {
    Q_OBJECT
private slots:
    void destinationFolderIsCreated_data();
    void destinationFolderIsCreated();
    void existingFileIsReplaced();
    void wrongPasswordLeavesExistingFile();
    void hostileNamesStayInside_data();
    void hostileNamesStayInside();
    void badEntriesLeaveNoFile_data();
    void badEntriesLeaveNoFile();
    void damagedArchivesAreFalse_data();
    void damagedArchivesAreFalse();
    void everyTruncationIsFalse();
    void emptyArchiveListsNothing();
    void fullDiskRemovesPartialFile();
    void missingOrNullInputs();
    void streamEndingWithFullOutputBuffer();
    void bombStopsAtDeclaredSize();
    void readOnlyEntriesComeOutReadOnly();
};

void TestArkelleRead::destinationFolderIsCreated_data()
{
    QTest::addColumn<QString>("written"); // password the package was written with
    QTest::addColumn<QString>("given");   // password given to unZip
    QTest::addColumn<bool>("extracted");
    QTest::newRow("right password") << "pw"
                                    << "pw" << true;
    QTest::newRow("wrong password") << "pw"
                                    << "wrong" << false;
    QTest::newRow("no password for an encrypted package") << "pw"
                                                          << "" << false;
    QTest::newRow("unencrypted, any password") << ""
                                               << "whatever" << true;
}

void TestArkelleRead::destinationFolderIsCreated()
{
    QFETCH(QString, written);
    QFETCH(QString, given);
    QFETCH(bool, extracted);
    QTemporaryDir dir;
    writeFile(dir.filePath("pkg.zdt"), makePackage(dir, written));
    const QString dest = dir.filePath("a/b/c");
    QCOMPARE(unZip(dir.filePath("pkg.zdt"), dest + "/", given), extracted);
    QVERIFY(QFileInfo(dest).isDir());
    QCOMPARE(entriesOf(dest), extracted ? QStringList({"area.dat", "taxer.dat"}) : QStringList());
    if (extracted)
        QCOMPARE(readFile(dest + "/taxer.dat"), sampleData(31, 3000));
}

void TestArkelleRead::existingFileIsReplaced()
{
    QTemporaryDir dir;
    const QString zip = dir.filePath("pkg.zip");
    Builder b;
    b.items.push_back({"deep/inside/taxer.dat", "fresh data", true});
    writeFile(zip, b.build());
    writeFile(dir.filePath("out/taxer.dat"), "old data that is longer");
    QVERIFY(unZip(zip, dir.filePath("out"), ""));
    QCOMPARE(readFile(dir.filePath("out/taxer.dat")), QByteArray("fresh data"));
    QCOMPARE(entriesOf(dir.filePath("out")), QStringList{"taxer.dat"});
    // The file takes the entry's date: 0x5A21 is 2025-01-01.
    QCOMPARE(QFileInfo(dir.filePath("out/taxer.dat")).lastModified().date(), QDate(2025, 1, 1));
}

// An entry the password test turns away is skipped, not failed: the file of
// its name that was there stays as it was.
void TestArkelleRead::wrongPasswordLeavesExistingFile()
{
    // The header's one check byte lets one wrong password in 256 through to
    // decryption (where the entry then fails and leaves no file); a package
    // whose header turns the password away is made within a few tries.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTemporaryDir dir;
        writeFile(dir.filePath("pkg.zdt"), makePackage(dir, "pw"));
        writeFile(dir.filePath("out/taxer.dat"), "existing");
        QVERIFY(!unZip(dir.filePath("pkg.zdt"), dir.filePath("out"), "wrong"));
        const QStringList left = entriesOf(dir.filePath("out"));
        QVERIFY(left.isEmpty() || left == QStringList{"taxer.dat"});
        if (left.isEmpty())
            continue; // the check byte matched: decryption failed the entry
        QCOMPARE(readFile(dir.filePath("out/taxer.dat")), QByteArray("existing"));
        return;
    }
    QFAIL("every package let the wrong password past its check byte");
}

void TestArkelleRead::hostileNamesStayInside_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("landsAs"); // empty: skipped
    QTest::newRow("parent") << QByteArray("../x.dat") << "x.dat";
    QTest::newRow("parents") << QByteArray("../../../x.dat") << "x.dat";
    QTest::newRow("parent in the middle") << QByteArray("a/../../x.dat") << "x.dat";
    QTest::newRow("absolute") << QByteArray("/tmp/x.dat") << "x.dat";
    QTest::newRow("backslashes") << QByteArray("..\\..\\x.dat") << "x.dat";
    QTest::newRow("drive") << QByteArray("C:\\temp\\x.dat") << "x.dat";
    QTest::newRow("drive-relative") << QByteArray("C:x.dat") << "x.dat";
    QTest::newRow("control character") << QByteArray("x\x01.dat") << "x_.dat";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("dot") << QByteArray(".") << "";
    QTest::newRow("dot dot") << QByteArray("..") << "";
    QTest::newRow("only dots") << QByteArray("....") << "";
    QTest::newRow("trailing parent") << QByteArray("a/..") << "";
    QTest::newRow("directory entry") << QByteArray("dir/") << "";
    QTest::newRow("embedded NUL") << QByteArray("x\0/../../y", 10) << "y";
}

void TestArkelleRead::hostileNamesStayInside()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, landsAs);
    QTemporaryDir dir;
    Builder b;
    b.items.push_back({name, "hostile", true});
    b.items.push_back({"ok.dat", "ok", false});
    writeFile(dir.filePath("pkg.zip"), b.build());
    const QString dest = dir.filePath("box/dest");
    QVERIFY(unZip(dir.filePath("pkg.zip"), dest, ""));
    QStringList expected{"ok.dat"};
    if (!landsAs.isEmpty())
        expected << landsAs;
    expected.sort();
    QCOMPARE(entriesOf(dest), expected);
    if (!landsAs.isEmpty())
        QCOMPARE(readFile(dest + "/" + landsAs), QByteArray("hostile"));
    // Nothing beside or above the destination.
    QCOMPARE(entriesOf(dir.filePath("box")), QStringList{"dest"});
    QCOMPARE(entriesOf(dir.path()), QStringList({"box", "pkg.zip"}));
    QVERIFY(!QFileInfo::exists("/tmp/x.dat") || readFile("/tmp/x.dat") != "hostile");
}

void TestArkelleRead::badEntriesLeaveNoFile_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("deflate");
    QTest::addColumn<qint64>("declaredSize"); // -1: the real one
    QTest::addColumn<qint64>("crc");          // -1: the real one
    QTest::addColumn<bool>("shared");         // a second entry points at the same bytes
    QTest::addColumn<int>("flipAt");          // damage this byte of the stored data; -1: none
    const QByteArray big = sampleData(41, 100000);
    QTest::newRow("inflates past its declared size")
        << big << true << qint64(1000) << qint64(-1) << false << -1;
    QTest::newRow("stored data longer than declared")
        << big.left(5000) << false << qint64(100) << qint64(-1) << false << -1;
    QTest::newRow("less data than declared")
        << big.left(100) << true << qint64(5000) << qint64(-1) << false << -1;
    QTest::newRow("CRC mismatch") << big.left(5000) << true << qint64(-1) << qint64(0x12345678) << false
                                  << -1;
    QTest::newRow("CRC mismatch, stored")
        << big.left(5000) << false << qint64(-1) << qint64(0x12345678) << false << -1;
    QTest::newRow("two entries share their data") << big << true << qint64(-1) << qint64(-1) << true << -1;
    QTest::newRow("damaged deflate data") << big << true << qint64(-1) << qint64(-1) << false << 100;
}

// A faulty entry leaves no file of its name, also when an older file of that
// name was there (it would pass for the archive's data); the good entries of
// the same archive still come out.
void TestArkelleRead::badEntriesLeaveNoFile()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, deflate);
    QFETCH(qint64, declaredSize);
    QFETCH(qint64, crc);
    QFETCH(bool, shared);
    QFETCH(int, flipAt);
    for (const bool withGood : {false, true}) {
        QTemporaryDir dir;
        Builder b;
        b.items.push_back({"bad.dat", data, deflate, declaredSize, crc});
        if (shared)
            b.items.push_back({"bad2.dat", data, deflate, -1, -1, 0});
        if (withGood)
            b.items.push_back({"good.dat", "good", true});
        QByteArray archive = b.build();
        if (flipAt >= 0)
            archive[30 + 7 + flipAt] = char(archive[30 + 7 + flipAt] ^ 0x55);
        writeFile(dir.filePath("pkg.zip"), archive);
        const QString dest = dir.filePath("out");
        writeFile(dest + "/bad.dat", "existing");
        QCOMPARE(unZip(dir.filePath("pkg.zip"), dest, "pw"), withGood);
        QCOMPARE(entriesOf(dest), withGood ? QStringList{"good.dat"} : QStringList{});
    }
}

void TestArkelleRead::damagedArchivesAreFalse_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<bool>("listable");      // the directory itself is intact
    QTemporaryDir dir;
    const QByteArray pkg = makePackage(dir, "pw");
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("text") << QByteArray("this is not an archive, it is a sentence.") << false;
    QTest::newRow("truncated to half") << pkg.left(pkg.size() / 2) << false;
    QTest::newRow("end record cut") << pkg.left(pkg.size() - 3) << false;
    QByteArray cdBroken = pkg;
    cdBroken[le32(pkg, pkg.size() - 6)] = 'X'; // signature of the first central record
    QTest::newRow("central directory damaged") << cdBroken << false;
    QByteArray offsetOut = pkg;
    offsetOut[pkg.size() - 6] = char(0x7F); // central directory offset far past the end
    QTest::newRow("directory offset past the end") << offsetOut << false;
    QByteArray countHigh = pkg;
    countHigh[pkg.size() - 12] = countHigh[pkg.size() - 14] = char(0xFF);
    QTest::newRow("more entries claimed than present") << countHigh << false;
    QByteArray headerGone = pkg;
    headerGone.replace(0, 4, "XXXX");
    headerGone.replace(30 + 9 + int(le32(pkg, 18)), 4, "XXXX");
    QTest::newRow("local headers overwritten") << headerGone << true;
    QByteArray dataBroken = pkg;
    const int second = 30 + 9 + int(le32(pkg, 18));
    for (int i : {60, 61, 62, second + 30 + 8 + 20, second + 30 + 8 + 21})
        dataBroken[i] = char(~dataBroken[i]);
    QTest::newRow("compressed data damaged") << dataBroken << true;
}

void TestArkelleRead::damagedArchivesAreFalse()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, listable);
    QTemporaryDir dir;
    const QString zip = dir.filePath("pkg.zdt");
    if (!content.isNull())
        writeFile(zip, content);
    const QString dest = dir.filePath("out");
    QVERIFY(!unZip(zip, dest, "pw"));
    QCOMPARE(entriesOf(dest), QStringList());
    List list;
    list.items.push_back("sentinel");
    const ArkelleStringList abi = list.abi();
    QCOMPARE(getZipList(u8(zip).constData(), &abi) != 0, listable);
    if (!listable) {
        QCOMPARE(list.strings(), QStringList{"sentinel"});
        QCOMPARE(QByteArray(getFirstZipFileName(u8(zip).constData())), QByteArray());
    } else {
        QCOMPARE(list.strings(), QStringList({"taxer.dat", "area.dat"}));
    }
}

void TestArkelleRead::everyTruncationIsFalse()
{
    QTemporaryDir dir;
    const QByteArray pkg = makePackage(dir, "pw");
    const QString zip = dir.filePath("cut.zdt"), dest = dir.filePath("out");
    for (qsizetype len = 0; len < pkg.size(); len += 7) {
        writeFile(zip, pkg.left(len));
        QVERIFY2(!unZip(zip, dest, "pw"), qPrintable(QString::number(len)));
        QVERIFY(!arkelle::getZipList(zip).has_value());
    }
    QCOMPARE(entriesOf(dest), QStringList());
}

void TestArkelleRead::emptyArchiveListsNothing()
{
    QTemporaryDir dir;
    const QString zip = dir.filePath("empty.zip");
    writeFile(zip, Builder().build());
    List list;
    list.items.push_back("sentinel");
    const ArkelleStringList abi = list.abi();
    QVERIFY(getZipList(u8(zip).constData(), &abi));
    QVERIFY(list.cleared);
    QCOMPARE(list.strings(), QStringList());
    QCOMPARE(QByteArray(getFirstZipFileName(u8(zip).constData())), QByteArray());
    QVERIFY(!unZip(zip, dir.filePath("out"), ""));
}

// A write that fails part-way (disk full) leaves neither a partial file nor
// the older file of that name.
void TestArkelleRead::fullDiskRemovesPartialFile()
{
    QTemporaryDir dir;
    Builder b;
    b.items.push_back({"big.dat", sampleData(51, 1 << 20), true});
    b.items.push_back({"small.dat", "small", true});
    writeFile(dir.filePath("pkg.zip"), b.build());
    const QString dest = dir.filePath("out");
    writeFile(dest + "/big.dat", "existing");

    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = old;
    tight.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    const bool ok = unZip(dir.filePath("pkg.zip"), dest, "");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(ok); // the small entry still fits
    QCOMPARE(entriesOf(dest), QStringList{"small.dat"});
}

void TestArkelleRead::missingOrNullInputs()
{
    QTemporaryDir dir;
    const QByteArray missing = u8(dir.filePath("missing.zdt"));
    const char* first = getFirstZipFileName(missing.constData());
    QVERIFY(first != nullptr);
    QCOMPARE(QByteArray(first), QByteArray());
    QVERIFY(getFirstZipFileName(nullptr) != nullptr);
    List list;
    list.items.push_back("kept");
    const ArkelleStringList abi = list.abi();
    QVERIFY(!getZipList(missing.constData(), &abi));
    QCOMPARE(list.strings(), QStringList{"kept"});
    QVERIFY(!getZipList(nullptr, &abi));
    QVERIFY(!getZipList(missing.constData(), nullptr));
    QVERIFY(!::unZip(missing.constData(), u8(dir.filePath("out")).constData(), "pw"));
    QVERIFY(!QFileInfo::exists(dir.filePath("out")));
    QVERIFY(!::unZip(nullptr, nullptr, nullptr));
    QVERIFY(!::zipList(nullptr, nullptr, nullptr));
    QVERIFY(!QString::fromUtf8(arkelleLastError()).isEmpty());
    QVERIFY(!::zipFile(nullptr, missing.constData(), nullptr));
}

// A deflate stream whose last input is taken in while the output buffer is
// full still has output to give; a valid entry must not be refused for it.
void TestArkelleRead::streamEndingWithFullOutputBuffer()
{
    std::mt19937 rnd(1);
    QTemporaryDir dir;
    for (int trial = 0; trial < 40; ++trial) {
        const int size = 256 * 1024 + 1 + int(rnd() % 250);
        QByteArray data(size, 'q');
        for (int i = 0; i < size - 300; ++i)
            data[i] = char('a' + rnd() % 26);
        Builder b;
        b.items.push_back({"big.dat", data, true});
        b.items.back().blockTail = 300;
        writeFile(dir.filePath("pkg.zip"), b.build());
        const QString dest = dir.filePath(QStringLiteral("out%1").arg(trial));
        QVERIFY2(unZip(dir.filePath("pkg.zip"), dest, ""), qPrintable(QStringLiteral("trial %1").arg(trial)));
        QCOMPARE(readFile(dest + "/big.dat"), data);
    }
}

// Bytes this process has written so far (the kernel's count), or -1.
static qint64 bytesWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// An entry that inflates to far more than it declares is stopped as soon as
// it passes its declared size, not after writing it all out.
void TestArkelleRead::bombStopsAtDeclaredSize()
{
    if (bytesWritten() < 0)
        QSKIP("no write accounting in /proc/self/io");
    QTemporaryDir dir;
    Builder b;
    b.items.push_back({"bomb.dat", QByteArray(64 << 20, '\0'), true, 1000});
    writeFile(dir.filePath("pkg.zip"), b.build());
    const QString dest = dir.filePath("out");
    const qint64 before = bytesWritten();
    QVERIFY(!unZip(dir.filePath("pkg.zip"), dest, "pw"));
    const qint64 written = bytesWritten() - before;
    QVERIFY2(written < (1 << 20), qPrintable(QString("%1 bytes written").arg(written)));
    QCOMPARE(entriesOf(dest), QStringList());
}

// The read-only attribute of an entry holds for the extracted file.
void TestArkelleRead::readOnlyEntriesComeOutReadOnly()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("in/locked.dat"), "l");
    writeFile(dir.filePath("in/open.dat"), "o");
    QVERIFY(::chmod(u8(dir.filePath("in/locked.dat")).constData(), 0444) == 0);
    QVERIFY(
        zipList({dir.filePath("in/locked.dat"), dir.filePath("in/open.dat")}, dir.filePath("p.zip"), "pw"));
    QVERIFY(unZip(dir.filePath("p.zip"), dir.filePath("out"), "pw"));
    struct stat locked {
    }, open{};
    QCOMPARE(::stat(u8(dir.filePath("out/locked.dat")).constData(), &locked), 0);
    QCOMPARE(::stat(u8(dir.filePath("out/open.dat")).constData(), &open), 0);
    QCOMPARE(locked.st_mode & 0222, mode_t(0));
    QVERIFY(open.st_mode & S_IWUSR);
    QCOMPARE(readFile(dir.filePath("out/locked.dat")), QByteArray("l"));
}

QTEST_GUILESS_MAIN(TestArkelleRead)
#include "tst_arkelle_read.moc"
