// Fills a fresh database with the registry benchmark's data (100,000
// taxpayers, 300 areas, 1,000,000 detail rows by default) and prints the
// time, the rows made and the file size, then the rows a LIKE search on one
// street name finds.
//   bench_demodata [taxpayers] [detail rows] [areas]
#include "tools/dbinit.h"
#include "tools/demodata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    demodata::Options o;
    o.userCode = QStringLiteral("bench");
    o.taxpayers = argc > 1 ? atoi(argv[1]) : 100000;
    o.detailRows = argc > 2 ? atoi(argv[2]) : 1000000;
    o.areas = argc > 3 ? atoi(argv[3]) : 300;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tax.mdb"));
    QString error;
    if (!dbinit::createDatabase(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    demodata::Counts c;
    if (!demodata::fill(path, o, &c, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const qint64 ms = clock.elapsed();
    std::printf(
        "filled %d taxpayers, %d areas, %d business periods, %d assessments, %d payments in %lld ms\n",
        c.taxpayers, c.areas, c.yingye, c.audit, c.tax, static_cast<long long>(ms));
    std::printf("database file %.1f MB\n", double(QFileInfo(path).size()) / (1024.0 * 1024.0));

    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM taxer WHERE mCode=? AND tRegistAddress LIKE ?", -1, &st,
                       nullptr);
    sqlite3_bind_text(st, 1, "bench", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, "%人民巷%", -1, SQLITE_STATIC);
    if (sqlite3_step(st) == SQLITE_ROW)
        std::printf("taxpayers on 人民巷 (LIKE '%%人民巷%%'): %d\n", sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return 0;
}
