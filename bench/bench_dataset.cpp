// Opens a snapshot of 100,000 generated taxpayers through Dataset and through
// a plain QSqlQuery loop over the same rows, and prints times and memory.
#include "bench/benchtools.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "tools/dbinit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>
#include <sqlite3.h>

static void generate(sqlite3* db, int rows)
{
    static const char* names[] = {"张记五金店",   "李氏小吃", "王家便利店",
                                  "刘师傅修理部", "陈记服装", "杨氏理发店"};
    static const char* trades[] = {"批发零售业", "餐饮业", "居民服务业", "修理修配业"};
    static const char* statuses[] = {"正常户", "未申报户", "停业户", "注销户"};
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO taxer(mCode,tCode,tName,tTrade,tSex,tID,taxType,taxStatus,tRegistDate,"
                       "tRegistAddress,tContacter,tContactTel,tOpenDate,aCode,taxStatusChangeDate,tSelected) "
                       "VALUES('admin',?,?,?,?,?,?,?,?,?,?,?,?,?,?,0)",
                       -1, &st, nullptr);
    auto* rnd = QRandomGenerator::global();
    for (int i = 0; i < rows; ++i) {
        const QByteArray code = QByteArray("T") + QByteArray::number(100000 + i);
        const QByteArray name = QByteArray(names[i % 6]) + QByteArray::number(i);
        const QByteArray id = QByteArray::number(qint64(110101197001010000LL + rnd->bounded(9999)));
        const QByteArray addr = QByteArray("城关镇人民路") + QByteArray::number(i % 500) + "号";
        const QByteArray tel = QByteArray("139") + QByteArray::number(10000000 + rnd->bounded(8999999));
        const char* values[] = {code.constData(),
                                name.constData(),
                                trades[i % 4],
                                "男",
                                id.constData(),
                                "注册纯地税户",
                                statuses[i % 4],
                                "2008-02-29",
                                addr.constData(),
                                "张三",
                                tel.constData(),
                                "2008-03-01",
                                "P01",
                                "2010-01-01"};
        for (int c = 0; c < 14; ++c)
            sqlite3_bind_text(st, c + 1, values[c], -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    setAppPath(dir.path());
    QString error;
    if (!dbinit::createDatabase(dir.filePath(QStringLiteral("tax.mdb")), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    frmDm = new TfrmDm;
    frmDm->DataModuleCreate();
    generate(frmDm->handle(), rows);
    const QString sql = QStringLiteral("SELECT * FROM taxer WHERE mCode='admin' ORDER BY tCode");

    // Warm the page cache so both sides read from memory.
    {
        QSqlQuery warm(QSqlDatabase::database(frmDm->connectionName()));
        warm.exec(sql);
        while (warm.next()) {
        }
    }

    QElapsedTimer t;
    t.start();
    qint64 cells = 0;
    {
        QSqlQuery q(QSqlDatabase::database(frmDm->connectionName()));
        q.setForwardOnly(true);
        q.exec(sql);
        const int cols = q.record().count();
        while (q.next())
            for (int c = 0; c < cols; ++c)
                cells += q.value(c).isNull() ? 0 : 1;
    }
    const double loopMs = double(t.nsecsElapsed()) / 1e6;

    const size_t heapBefore = mallinfo2().uordblks;
    const long before = residentKb();
    t.restart();
    Dataset ds;
    ds.setSql(sql);
    ds.setUpdateTable(QStringLiteral("taxer"));
    ds.open();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    const long after = residentKb();
    const size_t heapAfter = mallinfo2().uordblks;

    // Read every value once, as a grid scrolled from top to bottom would.
    t.restart();
    qint64 seen = 0;
    for (int r = 0; r < ds.recordCount(); ++r)
        for (int c = 0; c < ds.fieldCount(); ++c)
            seen += ds.valueAt(r, c).isNull() ? 0 : 1;
    const double readMs = double(t.nsecsElapsed()) / 1e6;

    std::printf("rows: %d (cells %lld / %lld)\n", ds.recordCount(), static_cast<long long>(cells),
                static_cast<long long>(seen));
    std::printf("QSqlQuery loop:      %8.1f ms\n", loopMs);
    std::printf("Dataset open:        %8.1f ms  (%.2fx the loop)\n", openMs, openMs / loopMs);
    std::printf("Dataset read all:    %8.1f ms\n", readMs);
    std::printf("Dataset heap in use: %8.1f MB for the snapshot\n",
                double(heapAfter - heapBefore) / 1048576.0);
    std::printf("Resident growth:     %8.1f MB; process resident %.1f MB\n", double(after - before) / 1024.0,
                double(residentKb()) / 1024.0);
    delete frmDm;
    return 0;
}
