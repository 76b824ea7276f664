// bench_reports: generates 100,000 taxpayers with 1,000,000 payments and
// times the statistics cells, the chart entries and the taxpayer list PDF
// beside the same statements run through the sqlite3 C API and the same
// texts drawn by a plain QPainter loop.
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "reports/reportpage.h"
#include "reports/statistics.h"
#include "reports/taxchart.h"
#include "reports/taxerlist.h"
#include "tools/dbinit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {

const char* const kTypes[5] = {"注册纯地税户", "注册共管户", "临时纯地税户", "临时共管户", "个体"};
const char* const kStatuses[6] = {"正常户", "未申报户", "非正常户", "失踪户", "停业户", "注销户"};
const QDate kToday(2009, 6, 30);

QByteArray dateText(QRandomGenerator& rnd)
{
    // Ten years of dates, 2000 to 2009.
    return QDate(2000, 1, 1).addDays(rnd.bounded(3653)).toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
}

void generate(sqlite3* db, int taxers, int payments)
{
    QRandomGenerator rnd(20040331);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* t = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO taxer(mCode,tCode,tName,tTrade,taxType,taxStatus,tRegistAddress,tContacter,"
        "tContactTel,aCode,taxStatusChangeDate) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
        -1, &t, nullptr);
    for (int i = 0; i < taxers; ++i) {
        // Nine in ten taxpayers belong to the benchmark's user.
        const QByteArray user = i % 10 == 9 ? "other" : "bench";
        const QByteArray code = "T" + QByteArray::number(100000 + i);
        const QByteArray name = "城关个体户" + QByteArray::number(i);
        const QByteArray addr = "城关镇人民路" + QByteArray::number(i % 500) + "号";
        const QByteArray tel = "139" + QByteArray::number(10000000 + rnd.bounded(8999999));
        const QByteArray area = "A" + QByteArray::number(i % 20);
        const QByteArray change = dateText(rnd);
        const QByteArray values[] = {user, code,   name, "餐饮业", kTypes[i % 5], kStatuses[i % 6],
                                     addr, "张三", tel,  area,     change};
        for (int c = 0; c < 11; ++c)
            sqlite3_bind_text(t, c + 1, values[c].constData(), int(values[c].size()), SQLITE_TRANSIENT);
        sqlite3_step(t);
        sqlite3_reset(t);
    }
    sqlite3_finalize(t);
    sqlite3_stmt* p = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tax(tCode,tDate,tTax) VALUES(?,?,?)", -1, &p, nullptr);
    for (int i = 0; i < payments; ++i) {
        const QByteArray code = "T" + QByteArray::number(100000 + rnd.bounded(taxers));
        const QByteArray date = dateText(rnd);
        sqlite3_bind_text(p, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(p, 2, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(p, 3, rnd.bounded(100000) / 100.0);
        sqlite3_step(p);
        sqlite3_reset(p);
    }
    sqlite3_finalize(p);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// Best of n runs of each, taken in turns so that a busy machine weighs on
// both sides alike; milliseconds.
std::pair<double, double> bestOf(int n, const std::function<void()>& ours,
                                 const std::function<void()>& theirs)
{
    double a = 1e300, b = 1e300;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        ours();
        a = qMin(a, t.nsecsElapsed() / 1e6);
        t.restart();
        theirs();
        b = qMin(b, t.nsecsElapsed() / 1e6);
    }
    return {a, b};
}

// The floors run the very statements of the sheet and the chart.
const char* const kCount = reports::kStatusCountSql;
const char* const kSum = reports::kTypeTaxSql;
const char* const kChart = reports::kTaxChartSql;

void bindText(sqlite3_stmt* st, int i, const QByteArray& v)
{
    sqlite3_bind_text(st, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
}

// The 20 statements of the sheet, prepared, bound and stepped directly.
void rawStatistics(sqlite3* db)
{
    const QByteArray t = kToday.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    for (const QByteArray& from :
         {reports::monthsBefore(kToday, 1).toLatin1(), reports::monthsBefore(kToday, 12).toLatin1()}) {
        for (int s = 0; s < 6; ++s) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, kCount, -1, &st, nullptr);
            bindText(st, 1, "bench");
            bindText(st, 2, kStatuses[s]);
            bindText(st, 3, from);
            bindText(st, 4, t);
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
        for (int k = 0; k < 4; ++k) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, kSum, -1, &st, nullptr);
            bindText(st, 1, "bench");
            bindText(st, 2, kTypes[k]);
            bindText(st, 3, from);
            bindText(st, 4, t);
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
    }
}

int rawChart(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kChart, -1, &st, nullptr);
    bindText(st, 1, "bench");
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        ++rows;
    sqlite3_finalize(st);
    return rows;
}

void plan(sqlite3* db, const char* label, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, (QByteArray("EXPLAIN QUERY PLAN ") + sql).constData(), -1, &st, nullptr);
    std::printf("  plan of %s:\n", label);
    while (sqlite3_step(st) == SQLITE_ROW)
        std::printf("    %s\n", reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
    sqlite3_finalize(st);
}

// The same texts and rules as the list, drawn by hand.
int plainList(const QList<reports::TaxerListRow>& rows, const QString& path)
{
    static const double lefts[9] = {9.3, 30.4, 68.5, 94.7, 117.5, 184.9, 203.5, 225.2, 254.3};
    static const char* const headings[8] = {"税户代码",       "注册名称", "行  业",   "税户类型",
                                            "注  册  地  址", "联系人",   "联系电话", "所 属 片 区"};
    QPdfWriter w(path);
    w.setResolution(1200);
    w.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter));
    QPainter p(&w);
    const double k = w.logicalDpiX() / 25.4;
    const QFont title = report::resolveFont(QStringLiteral("宋体"), 14, true);
    const QFont heading = report::resolveFont(QStringLiteral("宋体"), 11, true);
    const QFont body = report::resolveFont(QStringLiteral("宋体"), 10, false);
    const QFont arial = report::resolveFont(QStringLiteral("Arial"), 10, false);
    QPen pen(Qt::black);
    pen.setWidthF(0.75 * w.logicalDpiX() / 72.0);
    const int perPage = 27;
    int pages = 0;
    for (qsizetype first = 0; first < rows.size(); first += perPage) {
        if (pages++)
            w.newPage();
        p.setFont(title);
        p.drawText(QPointF(112.4 * k, 11 * k), QStringLiteral("纳  税  人  列  表"));
        p.setFont(arial);
        p.drawText(QPointF(211.4 * k, 14 * k), QStringLiteral("打印日期:"));
        p.drawText(QPointF(230.7 * k, 14 * k), QStringLiteral("2009/6/30"));
        p.setFont(heading);
        for (int c = 0; c < 8; ++c)
            p.drawText(QPointF(lefts[c] * k, 21 * k), QString::fromUtf8(headings[c]));
        const qsizetype n = qMin<qsizetype>(perPage, rows.size() - first);
        p.setPen(pen);
        for (double x : lefts)
            p.drawLine(QPointF(x * k, 16.7 * k), QPointF(x * k, (23 + n * 6.1) * k));
        p.drawLine(QPointF(9.3 * k, 16.7 * k), QPointF(254.3 * k, 16.7 * k));
        p.drawLine(QPointF(9.3 * k, 23 * k), QPointF(254.3 * k, 23 * k));
        p.setFont(body);
        for (qsizetype i = 0; i < n; ++i) {
            const double y = 23 + i * 6.1;
            const reports::TaxerListRow& row = rows.at(first + i);
            for (int c = 0; c < 8; ++c)
                p.drawText(QPointF((lefts[c] + 0.4) * k, (y + 4.4) * k), row.value(c));
            p.drawLine(QPointF(9.3 * k, (y + 6.1) * k), QPointF(254.3 * k, (y + 6.1) * k));
        }
    }
    p.end();
    return pages;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // An optional directory argument keeps the generated database there and
    // reuses it on the next run.
    QTemporaryDir tmp;
    const QString where = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    QDir().mkpath(where);
    QDir dir(where);
    setAppPath(where);
    const bool reuse = QFileInfo::exists(dir.filePath(QStringLiteral("tax.mdb")));
    QString error;
    if ((!reuse && !dbinit::createDatabase(dir.filePath(QStringLiteral("tax.mdb")), &error)) ||
        !dbinit::writeDefaultSettings(IniFileName, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    frmDm = new TfrmDm;
    frmDm->DataModuleCreate();
    sqlite3* db = frmDm->handle();
    UserInfo.UserCode = QStringLiteral("bench");

    QElapsedTimer gen;
    gen.start();
    if (!reuse)
        generate(db, 100000, 1000000);
    std::printf("generated 100,000 taxpayers and 1,000,000 payments in %.1f s\n", gen.elapsed() / 1000.0);
    plan(db, "a count", kCount);
    plan(db, "a sum", kSum);
    plan(db, "the chart", kChart);

    // A second argument names the parts to run: stats, chart, list (default all).
    const QString parts = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("stats,chart,list");
    if (parts.contains(QStringLiteral("stats"))) {
        // Warm the page cache once before timing either side.
        rawStatistics(db);
        QStringList cells;
        const auto [statsOurs, statsRaw] = bestOf(
            5, [&] { cells = reports::computeStatistics(UserInfo.UserCode, IniFileName, kToday); },
            [&] { rawStatistics(db); });
        std::printf("statistics: 24 cells in %.1f ms, 20 statements through sqlite3 %.1f ms, ratio %.2f\n",
                    statsOurs, statsRaw, statsOurs / statsRaw);
        // The yardstick of the statements' index use: one full scan of tax.
        const double scan =
            bestOf(
                3,
                [&] {
                    sqlite3_stmt* st = nullptr;
                    sqlite3_prepare_v2(db, "SELECT sum(tTax) FROM tax NOT INDEXED", -1, &st, nullptr);
                    sqlite3_step(st);
                    sqlite3_finalize(st);
                },
                [] {})
                .first;
        std::printf("  one full scan of tax %.1f ms; the sheet's statements average %.1f ms (%.2f scans)\n",
                    scan, statsOurs / 20, statsOurs / 20 / scan);
        std::printf("  month: %s\n  year:  %s\n", qPrintable(cells.mid(0, 12).join(QLatin1Char(' '))),
                    qPrintable(cells.mid(12).join(QLatin1Char(' '))));
    }
    if (parts.contains(QStringLiteral("chart"))) {
        int groups = 0;
        QList<reports::YearEntry> entries;
        const auto [chartOurs, chartRaw] = bestOf(
            3, [&] { entries = reports::computeTaxChart(UserInfo.UserCode, IniFileName); },
            [&] { groups = rawChart(db); });
        std::printf(
            "chart: %lld year entries from %d groups in %.1f ms, statement alone %.1f ms, ratio %.2f\n",
            qlonglong(entries.size()), groups, chartOurs, chartRaw, chartOurs / chartRaw);
    }
    if (parts.contains(QStringLiteral("list"))) {
        Dataset qryTaxer;
        qryTaxer.setSql(QStringLiteral("SELECT * FROM taxer WHERE mCode=? ORDER BY tCode LIMIT 10000"));
        qryTaxer.setParams({UserInfo.UserCode});
        qryTaxer.open();
        const QString ours = dir.filePath(QStringLiteral("list.pdf"));
        const QString plain = dir.filePath(QStringLiteral("plain.pdf"));
        int pages = 0, plainPages = 0;
        double layoutMs = 0;
        const QList<reports::TaxerListRow> rows = reports::taxerListRows(qryTaxer);
        const auto [listOurs, listPlain] = bestOf(
            3,
            [&] {
                QElapsedTimer t;
                t.start();
                const report::Report rep = reports::layoutTaxerList(reports::taxerListRows(qryTaxer), kToday);
                layoutMs = t.nsecsElapsed() / 1e6;
                pages = int(rep.pages.size());
                report::writePdf(rep, ours);
            },
            [&] { plainPages = plainList(rows, plain); });
        std::printf("list layout alone: %.0f ms\n", layoutMs);
        std::printf("list of %d taxpayers: %d pages in %.0f ms (%.2f ms/page, %lld KB); plain QPainter loop "
                    "%d pages in "
                    "%.0f ms (%.2f ms/page, %lld KB); ratio %.2f\n",
                    qryTaxer.recordCount(), pages, listOurs, listOurs / pages, QFileInfo(ours).size() / 1024,
                    plainPages, listPlain, listPlain / plainPages, QFileInfo(plain).size() / 1024,
                    listOurs / listPlain);
    }
    delete frmDm;
    frmDm = nullptr;
    return 0;
}
