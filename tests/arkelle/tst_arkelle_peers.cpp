// Other ZIP programs as peers: what Arkelle writes they read, and what they
// write Arkelle extracts (Info-ZIP zip/unzip/zipinfo, 7-Zip, Python's zipfile).
#include "arkelle/arkelle.hpp"
#include "ziptestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kit;

namespace {

const QByteArray kExtractPy = R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
if sys.argv[3]:
    z.setpassword(sys.argv[3].encode())
assert z.testzip() is None
z.extractall(sys.argv[2])
print("\n".join(i.filename for i in z.infolist()))
)";

// argv: archive, compression ("stored"/"deflated"), "stream" for a pipe; files...
const QByteArray kWritePy = R"(import sys, zipfile
method = zipfile.ZIP_STORED if sys.argv[2] == "stored" else zipfile.ZIP_DEFLATED
target = sys.stdout.buffer if sys.argv[3] == "stream" else sys.argv[1]
with zipfile.ZipFile(target, "w", method) as z:
    for f in sys.argv[4:]:
        z.write(f)
)";

struct Fixture {
    QTemporaryDir dir;
    QMap<QString, QByteArray> files;
    Fixture()
    {
        files["taxer.dat"] = sampleData(11, 20000);
        files["area.dat"] = sampleData(12, 900);
        files["empty.dat"] = QByteArray();
        files["税户.dat"] = sampleData(13, 300);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeFile(path(it.key()), it.value());
    }
    QString path(const QString& name) const { return dir.filePath("in/" + name); }
};

} // namespace

class TestArkellePeers : public QObject {
    Q_OBJECT
private slots:
    void peersReadWhatArkelleWrites_data();
    void peersReadWhatArkelleWrites();
    void zipinfoSeesThePackageLayout();
    void arkelleReadsWhatPeersWrite_data();
    void arkelleReadsWhatPeersWrite();
};

void TestArkellePeers::peersReadWhatArkelleWrites_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("password");
    for (const char* reader : {"unzip", "7z", "python3"}) {
        QTest::addRow("%s, no password", reader) << reader << QString();
        QTest::addRow("%s, password", reader) << reader << QStringLiteral("s3cret pass");
    }
}

void TestArkellePeers::peersReadWhatArkelleWrites()
{
    QFETCH(QString, reader);
    QFETCH(QString, password);
    if (!have(reader))
        QSKIP("reader not installed");
    Fixture fx;
    const QStringList order{"taxer.dat", "area.dat", "empty.dat", "税户.dat"};
    QStringList paths;
    for (const QString& n : order)
        paths << fx.path(n);
    const QString zip = fx.dir.filePath("pkg.zdt"), out = fx.dir.filePath("out");
    QVERIFY(zipList(paths, zip, password));
    QDir().mkpath(out);

    Run r;
    if (reader == "unzip") {
        QStringList args{"-o"};
        if (!password.isEmpty())
            args << "-P" << password;
        // Debian's unzip reads the names of an MS-DOS-made archive as OEM
        // text whatever bit 11 says, so it is asked for the ASCII names only.
        r = run("unzip", args << zip << "taxer.dat"
                              << "area.dat"
                              << "empty.dat"
                              << "-d" << out);
    } else if (reader == "7z") {
        QStringList args{"x", "-y", "-o" + out};
        if (!password.isEmpty())
            args << "-p" + password;
        r = run("7z", args << zip);
    } else {
        writeFile(fx.dir.filePath("extract.py"), kExtractPy);
        r = run("python3", {fx.dir.filePath("extract.py"), zip, out, password});
        QCOMPARE(QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts), order);
    }
    QVERIFY2(r.code == 0, r.out.constData());
    for (const QString& n : order) {
        if (reader == "unzip" && n == "税户.dat")
            continue;
        QVERIFY2(readFile(out + "/" + n) == fx.files[n] && QFileInfo::exists(out + "/" + n), qPrintable(n));
    }

    if (!password.isEmpty() && reader == "unzip") {
        // And a reader refuses the wrong password.
        const Run wrong = run("unzip", {"-o", "-P", "wrong", zip, "-d", fx.dir.filePath("wrong")});
        QVERIFY(wrong.code != 0);
        // The one-byte check of the encryption header lets one wrong password
        // in 256 through to decryption; what comes out is never the data.
        const QString got = fx.dir.filePath("wrong/taxer.dat");
        QVERIFY(!QFileInfo::exists(got) || readFile(got) != fx.files["taxer.dat"]);
    }
}

void TestArkellePeers::zipinfoSeesThePackageLayout()
{
    if (!have("zipinfo"))
        QSKIP("zipinfo not installed");
    Fixture fx;
    const QString zip = fx.dir.filePath("pkg.zdt");
    QVERIFY(zipList({fx.path("taxer.dat"), fx.path("area.dat")}, zip, "pw"));
    const Run r = run("zipinfo", {"-v", zip});
    QCOMPARE(r.code, 0);
    const QString text = QString::fromUtf8(r.out);
    QCOMPARE(text.count("version of encoding software:                   2.0"), 2);
    QCOMPARE(text.count("minimum software version required to extract:   2.0"), 2);
    QCOMPARE(text.count("compression method:                             deflated"), 2);
    QCOMPARE(text.count("compression sub-type (deflation):               maximum"), 2);
    QCOMPARE(text.count("file security status:                           encrypted"), 2);
    QCOMPARE(text.count("extended local header:                          no"), 2);
    QVERIFY(text.indexOf("taxer.dat") < text.indexOf("area.dat"));
}

void TestArkellePeers::arkelleReadsWhatPeersWrite_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args"); // {zip} stands for the archive
    QTest::addColumn<QString>("password"); // empty: the archive is not encrypted
    QTest::addColumn<bool>("descriptor");  // the writer used data descriptors
    const QStringList files{"taxer.dat", "sub/area.dat"};
    QTest::newRow("zip -P, deflated, folders")
        << "zip" << (QStringList{"-q", "-P", "pw", "-r", "{zip}", "taxer.dat", "sub"}) << "pw" << true;
    QTest::newRow("zip -P, stored") << "zip" << (QStringList{"-q", "-0", "-P", "pw", "{zip}"} + files) << "pw"
                                    << true;
    QTest::newRow("zip -P to a pipe")
        << "sh" << QStringList{"-c", "zip -q -P pw - taxer.dat sub/area.dat | cat > {zip}"} << "pw" << true;
    QTest::newRow("zip, no password") << "zip" << (QStringList{"-q", "{zip}"} + files) << "" << false;
    QTest::newRow("7z ZipCrypto, deflated")
        << "7z" << (QStringList{"a", "-tzip", "-mem=ZipCrypto", "-ppw", "{zip}"} + files) << "pw" << false;
    QTest::newRow("7z ZipCrypto, stored")
        << "7z" << (QStringList{"a", "-tzip", "-mx=0", "-mem=ZipCrypto", "-ppw", "{zip}"} + files) << "pw"
        << false;
    QTest::newRow("python, stored") << "python3" << (QStringList{"{py}", "{zip}", "stored", "file"} + files)
                                    << "" << false;
    QTest::newRow("python, deflated")
        << "python3" << (QStringList{"{py}", "{zip}", "deflated", "file"} + files) << "" << false;
    QTest::newRow("python to a pipe")
        << "sh" << QStringList{"-c", "python3 {py} - deflated stream taxer.dat sub/area.dat | cat > {zip}"}
        << "" << true;
}

void TestArkellePeers::arkelleReadsWhatPeersWrite()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QString, password);
    QFETCH(bool, descriptor);
    QTemporaryDir dir;
    const QByteArray taxer = sampleData(21, 30000), area = sampleData(22, 700);
    writeFile(dir.filePath("src/taxer.dat"), taxer);
    writeFile(dir.filePath("src/sub/area.dat"), area);
    writeFile(dir.filePath("write.py"), kWritePy);
    const QString zip = dir.filePath("peer.zip");
    for (QString& a : args)
        a.replace("{zip}", zip).replace("{py}", dir.filePath("write.py"));
    if (!have(args.value(0) == "-c" ? args[1].section(' ', 0, 0) : program))
        QSKIP("writer not installed");
    const Run w = run(program, args, dir.filePath("src"));
    QVERIFY2(w.code == 0 && QFileInfo::exists(zip), w.out.constData());
    const QByteArray z = readFile(zip);
    QCOMPARE(bool(le16(z, 6) & 0x0008), descriptor);
    QCOMPARE(bool(le16(z, 6) & 0x0001), !password.isEmpty());

    const QString out = dir.filePath("out");
    QVERIFY(unZip(zip, out, password.isEmpty() ? "any password" : password));
    QCOMPARE(readFile(out + "/taxer.dat"), taxer);
    QCOMPARE(readFile(out + "/area.dat"), area);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"area.dat", "taxer.dat"})); // directories flattened, nothing else
    QStringList names = arkelle::getZipList(zip).value_or(QStringList{"?"});
    names.sort();
    QCOMPARE(names, QStringList({"area.dat", "taxer.dat"}));

    if (!password.isEmpty()) {
        // A wrong password extracts nothing and leaves existing files alone.
        const QString other = dir.filePath("other");
        writeFile(other + "/area.dat", "keep me");
        QVERIFY(!unZip(zip, other, "wrong"));
        QCOMPARE(readFile(other + "/area.dat"), QByteArray("keep me"));
        QVERIFY(!QFileInfo::exists(other + "/taxer.dat"));
    }
}

QTEST_GUILESS_MAIN(TestArkellePeers)
#include "tst_arkelle_peers.moc"
