// Fills a fresh database with the registry benchmark's data (100,000
// taxpayers, 300 areas, 1,000,000 detail rows by default) and prints the
// time, the rows made and the file size, then the floors of the registry
// benchmark's statements on that data.
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

    // Floors for the registry benchmark: its statements stepped through the
    // engine's C API, every column of every row read as text.
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto stepAll = [db](const char* sql, const QList<QByteArray>& values) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        for (int i = 0; i < values.size(); ++i)
            sqlite3_bind_text(st, i + 1, values[i].constData(), int(values[i].size()), SQLITE_STATIC);
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                sqlite3_column_text(st, c);
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    };
    const QByteArray user = o.userCode.toUtf8();
    clock.restart();
    int rows = stepAll("SELECT * FROM taxer WHERE mCode=? ORDER BY tCode", {user});
    std::printf("floor: the user's list, %d rows: %lld ms\n", rows, static_cast<long long>(clock.elapsed()));
    clock.restart();
    rows = stepAll("SELECT * FROM taxer WHERE mCode=? AND tRegistAddress LIKE ? ESCAPE '\\' ORDER BY tCode",
                   {user, QByteArray("%人民巷%")});
    std::printf("floor: search on 注册地址 \"人民巷\", %d rows: %lld ms\n", rows,
                static_cast<long long>(clock.elapsed()));
    const QByteArray middle =
        o.taxPrefix.toUtf8() + QByteArray::number(o.taxpayers / 2).rightJustified(6, '0');
    clock.restart();
    rows = stepAll("SELECT * FROM yingye WHERE tCode=?", {middle}) +
           stepAll("SELECT * FROM audit WHERE tCode=?", {middle}) +
           stepAll("SELECT * FROM tax WHERE tCode=?", {middle});
    std::printf("floor: detail refresh, %d rows: %.3f ms\n", rows, double(clock.nsecsElapsed()) / 1e6);
    clock.restart();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const char* deletes[] = {"DELETE FROM yingye WHERE tCode=?", "DELETE FROM audit WHERE tCode=?",
                             "DELETE FROM tax WHERE tCode=?", "DELETE FROM taxer WHERE tCode=?"};
    for (int i = 0; i < 1000 && i < o.taxpayers; ++i) {
        const QByteArray code = o.taxPrefix.toUtf8() + QByteArray::number(i + 1).rightJustified(6, '0');
        for (const char* sql : deletes)
            stepAll(sql, {code});
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    std::printf("floor: delete 1,000 taxpayers with their detail rows: %lld ms\n",
                static_cast<long long>(clock.elapsed()));
    sqlite3_close(db);
    return 0;
}
