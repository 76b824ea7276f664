// Exports 10,000 taxpayers with 100,000 detail rows (written, checked and
// deleted) and imports that package into an empty installation; prints each
// beside its floor measured in the same run:
//   export: the same five recordsets saved, plus `zip -9 -P` of the files;
//   import: the same rows inserted with bound statements in one transaction
//           through the sqlite3 C API.
//   bench_transfer [rounds]   (best of the rounds, default 3)
#include "app/common.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "tools/dbinit.h"
#include "transfer/package.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int kTaxers = 10000;
constexpr int kDetailsPer = 10; // 4 business periods, 3 assessments, 3 payments

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

struct Stmt {
    sqlite3* db;
    sqlite3_stmt* st = nullptr;
    Stmt(sqlite3* d, const char* sql) : db(d) { check(sqlite3_prepare_v2(d, sql, -1, &st, nullptr), d); }
    ~Stmt() { sqlite3_finalize(st); }
    Stmt& text(int i, const QByteArray& v)
    {
        sqlite3_bind_text(st, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& num(int i, double v)
    {
        sqlite3_bind_double(st, i, v);
        return *this;
    }
    Stmt& integer(int i, qint64 v)
    {
        sqlite3_bind_int64(st, i, v);
        return *this;
    }
    void run()
    {
        check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
};

// Inserts the taxpayers, their detail rows and two areas with bound
// statements in one transaction: the seeding, and the import's floor.
void insertAll(const QString& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open(QFile::encodeName(path).constData(), &db), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    {
        Stmt area(db, "INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, 'E1')");
        area.text(1, "A1").text(2, "城东片区").run();
        area.text(1, "A2").text(2, "城西片区").run();
        Stmt taxer(
            db, "INSERT INTO taxer(mCode, tCode, tName, tTrade, tSex, tID, taxType, taxStatus, tRegistDate, "
                "tRegistAddress, tContacter, tContactTel, tOpenDate, aCode, taxStatusChangeDate) "
                "VALUES('E1', ?, ?, '餐饮业', '男', ?, '定额户', '正常户', '2008-02-29', ?, '张三', ?, "
                "'2008-03-01', ?, '2010-01-01')");
        Stmt yingye(db, "INSERT INTO yingye(tCode, tStartDate, tEndDate, tRemark) VALUES(?, ?, ?, ?)");
        Stmt audit(
            db,
            "INSERT INTO audit(tCode, aCount, aRatio, aTax, aStartDate, aEndDate) VALUES(?, ?, ?, ?, ?, ?)");
        Stmt tax(db, "INSERT INTO tax(tCode, tDate, tTax) VALUES(?, ?, ?)");
        for (int i = 0; i < kTaxers; ++i) {
            const QByteArray code = "T" + QByteArray::number(100000 + i);
            taxer.text(1, code)
                .text(2, "李氏小吃" + QByteArray::number(i))
                .text(3, QByteArray::number(110101197001010000LL + i))
                .text(4, "城关镇人民路" + QByteArray::number(i % 500) + "号")
                .text(5, "139" + QByteArray::number(10000000 + i))
                .text(6, i % 2 ? "A1" : "A2")
                .run();
            for (int k = 0; k < 4; ++k)
                yingye.text(1, code)
                    .text(2, "201" + QByteArray::number(k) + "-01-01")
                    .text(3, "201" + QByteArray::number(k) + "-12-31")
                    .text(4, "正常营业，备注" + QByteArray::number(k))
                    .run();
            for (int k = 0; k < 3; ++k)
                audit.text(1, code)
                    .integer(2, 3000 + k * 100 + i % 7)
                    .num(3, 1.5 + k * 0.25)
                    .num(4, (3000 + k * 100 + i % 7) * (1.5 + k * 0.25) / 100)
                    .text(5, "201" + QByteArray::number(k) + "-01-01")
                    .text(6, "201" + QByteArray::number(k) + "-12-31")
                    .run();
            for (int k = 0; k < 3; ++k)
                tax.text(1, code)
                    .text(2, "201" + QByteArray::number(k) + "-06-15")
                    .num(3, 45.5 + k + i % 13)
                    .run();
        }
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

void connect(const QString& dir)
{
    setAppPath(dir);
    frmDm->disconnect();
    frmDm->connectTo(dir + "/tax.mdb");
    UserInfo.UserCode = QStringLiteral("E1");
}

QString freshInstall(const QString& root, const QString& name, const QString& from = {})
{
    const QString dir = root + "/" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    if (from.isEmpty())
        dbinit::createDatabase(dir + "/tax.mdb");
    else
        QFile::copy(from, dir + "/tax.mdb");
    return dir;
}

QStringList allCodes()
{
    QStringList codes;
    sqlToList("bench", "SELECT tCode FROM taxer WHERE mCode='E1'", codes);
    return codes;
}

// The export's floor: the five recordsets saved, then zip -9 -P over them.
double exportFloor(const QString& dir)
{
    const QStringList codes = allCodes();
    QElapsedTimer t;
    t.start();
    QStringList marks;
    marks.fill("?", codes.size());
    QVariantList values(codes.cbegin(), codes.cend());
    const QString in = marks.join(",");
    const QString out = dir + "/floor";
    QDir().mkpath(out);
    const QStringList files{"taxer.dat", "area.dat", "tax.dat", "audit.dat", "yingye.dat"};
    const QStringList sql{"SELECT * FROM taxer WHERE tCode IN (" + in + ")",
                          "SELECT * FROM area WHERE mCode=?", "SELECT * FROM tax WHERE tCode IN (" + in + ")",
                          "SELECT * FROM audit WHERE tCode IN (" + in + ")",
                          "SELECT * FROM yingye WHERE tCode IN (" + in + ")"};
    for (int i = 0; i < 5; ++i) {
        Dataset q;
        runSql("bench", q, sql[i], true, i == 1 ? QVariantList{"E1"} : values);
        q.saveToFile(out + "/" + files[i]);
    }
    QProcess zip;
    zip.setWorkingDirectory(out);
    zip.start("zip", QStringList{"-q", "-9", "-P", "pw", "-j", dir + "/floor.zip"} + files);
    zip.waitForFinished(-1);
    if (zip.exitCode() != 0) {
        std::fprintf(stderr, "zip failed\n");
        std::exit(1);
    }
    return t.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir root;
    frmDm = new TfrmDm;

    QElapsedTimer t;
    t.start();
    const bool verbose = qEnvironmentVariableIsSet("BENCH_STEPS");
    transfer::setStepHook([&](const char* step) {
        if (verbose)
            std::printf("  %-9s %6lld ms\n", step, static_cast<long long>(t.elapsed()));
    });
    const QString seeded = root.filePath("seeded.mdb");
    dbinit::createDatabase(seeded);
    insertAll(seeded);
    std::printf("seeded %d taxpayers, %d detail rows in %.2f s\n", kTaxers, kTaxers * kDetailsPer,
                t.elapsed() / 1000.0);

    double bestExport = 1e9, bestExportFloor = 1e9, bestImport = 1e9, bestImportFloor = 1e9;
    qint64 packageBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        // Export floor and export on fresh copies of the same database.
        connect(freshInstall(root.path(), "floor", seeded));
        bestExportFloor = std::min(bestExportFloor, exportFloor(root.filePath("floor")));

        const QString exp = freshInstall(root.path(), "export", seeded);
        connect(exp);
        const QString package = root.filePath("package.zdt");
        QFile::remove(package);
        const QStringList codes = allCodes();
        t.restart();
        transfer::PackageWriter w(codes, "E1", exp + "/tmp");
        const bool ok = w.saveRecordsets() && w.writePackage(package, "pw") && w.deleteExported();
        w.cleanUp();
        bestExport = std::min(bestExport, t.elapsed() / 1000.0);
        if (!ok || getSqlValue("bench", "SELECT COUNT(*) FROM taxer").toInt() != 0) {
            std::fprintf(stderr, "export failed: %s\n", w.error().toUtf8().constData());
            return 1;
        }
        packageBytes = QFileInfo(package).size();

        // Import into an empty installation, and its floor.
        const QString imp = freshInstall(root.path(), "import");
        connect(imp);
        UserInfo.UserCode = "I1";
        t.restart();
        transfer::PackageImporter im("I1", imp + "/tmp");
        const bool imported = im.unpack(package, "pw") && im.load() && im.merge();
        im.cleanUp();
        bestImport = std::min(bestImport, t.elapsed() / 1000.0);
        if (!imported || im.taxersAdded() != kTaxers ||
            getSqlValue("bench", "SELECT (SELECT COUNT(*) FROM yingye)+(SELECT COUNT(*) FROM audit)+"
                                 "(SELECT COUNT(*) FROM tax)")
                    .toInt() != kTaxers * kDetailsPer) {
            std::fprintf(stderr, "import failed: %s\n", im.error().toUtf8().constData());
            return 1;
        }
        frmDm->disconnect();
        const QString floorDir = freshInstall(root.path(), "importfloor");
        t.restart();
        insertAll(floorDir + "/tax.mdb");
        bestImportFloor = std::min(bestImportFloor, t.elapsed() / 1000.0);
    }
    std::printf("package: %.1f MB\n", packageBytes / 1048576.0);
    std::printf(
        "export (save, zipList, check, delete): %6.2f s   floor (save + zip -9 -P): %6.2f s   ratio %.2f\n",
        bestExport, bestExportFloor, bestExport / bestExportFloor);
    std::printf("import (unZip, load, merge):           %6.2f s   floor (sqlite3 bound inserts): %6.2f s   "
                "ratio %.2f\n",
                bestImport, bestImportFloor, bestImport / bestImportFloor);
    delete frmDm;
    return 0;
}
