// The statistics cells: periods ending today, counts by status change, tax
// by the taxpayer's current type, totals, other users never counted.
#include "app/common.h"
#include "app/globals.h"
#include "reports/preview.h"
#include "reports/reports.h"
#include "reports/statistics.h"
#include "tests/reports/reportdb.h"
#include "tests/support/testinstall.h"

#include <QtTest>
#include <memory>

namespace {
// Run date of the cell cases: month period 2004-02-29..2004-03-31, year 2003-03-31..2004-03-31.
const QDate kToday(2004, 3, 31);

QStringList zeros(int n)
{
    return QStringList(n, QStringLiteral("0"));
}
} // namespace

class TestStatistics : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("u1");
    }
    void cleanup()
    {
        reports::setPreviewHook({});
        m_install.reset();
    }

    void periods_data();
    void periods();
    void cells_data();
    void cells();
    void generalFormat_data();
    void generalFormat();
    void paymentCountsUnderTheTypeAtRunTime();
    void failedStatementReadsZero();
    void actionPreviewsTheSheet();
};

void TestStatistics::periods_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::newRow("31 March 2004") << QDate(2004, 3, 31) << "2004-02-29"
                                   << "2003-03-31";
    QTest::newRow("29 February 2004") << QDate(2004, 2, 29) << "2004-01-29"
                                      << "2003-02-28";
    QTest::newRow("15 January") << QDate(2004, 1, 15) << "2003-12-15"
                                << "2003-01-15";
    QTest::newRow("31 May") << QDate(2005, 5, 31) << "2005-04-30"
                            << "2004-05-31";
}

void TestStatistics::periods()
{
    QFETCH(QDate, today);
    QFETCH(QString, month);
    QFETCH(QString, year);
    QCOMPARE(reports::monthsBefore(today, 1), month);
    QCOMPARE(reports::monthsBefore(today, 12), year);
}

void TestStatistics::cells_data()
{
    // taxers: "mCode|tCode|taxType|taxStatus|taxStatusChangeDate" ("~" stands for NULL)
    // payments: "tCode|tDate|tTax"; keys: "key=value" lines written to the settings file
    QTest::addColumn<QStringList>("taxers");
    QTest::addColumn<QStringList>("payments");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("month"); // rows 1 to 12
    QTest::addColumn<QStringList>("year");

    QTest::newRow("user without taxpayers")
        << QStringList{"u2|X1|注册纯地税户|正常户|2004-03-31"} << QStringList{"X1|2004-03-31|50"}
        << QStringList{} << zeros(12) << zeros(12);

    QTest::newRow("change date bounds")
        << QStringList{"u1|A1||正常户|2004-02-29", "u1|A2||正常户|2004-03-31", "u1|A3||正常户|2004-02-28",
                       "u1|A4||正常户|",           "u1|A5||正常户|~",          "u1|A6||正常户|2004-04-01",
                       "u1|A7||正常户|2003-03-31", "u1|A8||正常户|2003-03-30"}
        << QStringList{} << QStringList{} << (QStringList{"2", "0", "0", "0", "0", "0", "2"} + zeros(5))
        << (QStringList{"4", "0", "0", "0", "0", "0", "4"} + zeros(5));

    QStringList counts;
    const char* statuses[6] = {"正常户", "未申报户", "非正常户", "失踪户", "停业户", "注销户"};
    const int n[6] = {5, 2, 1, 4, 0, 3};
    int code = 0;
    for (int s = 0; s < 6; ++s)
        for (int i = 0; i < n[s]; ++i)
            counts << QStringLiteral("u1|S%1||%2|2004-03-15").arg(++code).arg(QString::fromUtf8(statuses[s]));
    counts << "u2|Z1||正常户|2004-03-15"
           << "u2|Z2||未申报户|2004-03-15";
    QTest::newRow("row 7 adds rows 1 to 3; other users never count")
        << counts << QStringList{} << QStringList{}
        << (QStringList{"5", "2", "1", "4", "0", "3", "8"} + zeros(5))
        << (QStringList{"5", "2", "1", "4", "0", "3", "8"} + zeros(5));

    QTest::newRow("100.5 + 200 for registered local-tax-only")
        << QStringList{"u1|P1|注册纯地税户||", "u1|P2|注册纯地税户||", "u2|P9|注册纯地税户||"}
        << QStringList{"P1|2004-03-01|100.5", "P2|2004-03-31|200", "P9|2004-03-31|1000"} << QStringList{}
        << (zeros(7) + QStringList{"300.5", "0", "0", "0", "300.5"})
        << (zeros(7) + QStringList{"300.5", "0", "0", "0", "300.5"});

    QTest::newRow("today counts in both, twelve months ago in the year only")
        << QStringList{"u1|P1|临时共管户||"}
        << QStringList{"P1|2004-03-31|1",    "P1|2003-03-31|10",    "P1|2003-03-30|100",
                       "P1|2004-02-29|1000", "P1|2004-02-28|10000", "P1|~|100000"}
        << QStringList{} << (zeros(10) + QStringList{"1001", "1001"})
        << (zeros(10) + QStringList{"11011", "11011"});

    // Rows 8 to 11 are registered local, temporary local, registered joint, temporary joint.
    QTest::newRow("each type in its own row")
        << QStringList{"u1|P1|注册纯地税户||", "u1|P2|临时纯地税户||", "u1|P3|注册共管户||",
                       "u1|P4|临时共管户||"}
        << QStringList{"P1|2004-03-01|1", "P2|2004-03-01|2", "P3|2004-03-01|4", "P4|2004-03-01|8.25"}
        << QStringList{} << (zeros(7) + QStringList{"1", "2", "4", "8.25", "15.25"})
        << (zeros(7) + QStringList{"1", "2", "4", "8.25", "15.25"});

    QTest::newRow("quote in a key value counts normally")
        << QStringList{"u1|Q1|个'体|正'常|2004-03-01"} << QStringList{"Q1|2004-03-02|7"}
        << QStringList{"rp正常户=正'常", "rp注册纯地税户=个'体"}
        << (QStringList{"1", "0", "0", "0", "0", "0", "1", "7", "0", "0", "0", "7"})
        << (QStringList{"1", "0", "0", "0", "0", "0", "1", "7", "0", "0", "0", "7"});

    QTest::newRow("missing key counts the empty text, not NULL")
        << QStringList{"u1|E1||正常户|2004-03-01", "u1|E2|~|~|2004-03-01", "u1|E3|||2004-03-01"}
        << QStringList{"E1|2004-03-01|3", "E2|2004-03-01|5"} << QStringList{"rp正常户=", "rp注册纯地税户="}
        << (QStringList{"1", "0", "0", "0", "0", "0", "1", "3", "0", "0", "0", "3"})
        << (QStringList{"1", "0", "0", "0", "0", "0", "1", "3", "0", "0", "0", "3"});
}

void TestStatistics::cells()
{
    QFETCH(QStringList, taxers);
    QFETCH(QStringList, payments);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, month);
    QFETCH(QStringList, year);
    auto value = [](const QString& s) { return s == QStringLiteral("~") ? QVariant() : QVariant(s); };
    for (const QString& t : taxers) {
        const QStringList f = t.split(QLatin1Char('|'));
        reportdb::addSimple(f[0], f[1], value(f[2]), value(f[3]), value(f[4]));
    }
    for (const QString& p : payments) {
        const QStringList f = p.split(QLatin1Char('|'));
        reportdb::addPayment(f[0], value(f[1]), f[2].toDouble());
    }
    for (const QString& k : keys)
        writeIniValue(IniFileName, QStringLiteral("DataDic"), k.section(QLatin1Char('='), 0, 0),
                      k.section(QLatin1Char('='), 1));
    const QStringList cells = reports::computeStatistics(UserInfo.UserCode, IniFileName, kToday);
    QCOMPARE(cells.size(), 24);
    QCOMPARE(cells.mid(0, 12), month);
    QCOMPARE(cells.mid(12, 12), year);
    QCOMPARE(m_install->errorLog(), QString());
}

void TestStatistics::generalFormat_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 200.0 << "200";
    QTest::newRow("fraction") << 300.5 << "300.5";
    QTest::newRow("no separators") << 1234567.25 << "1234567.25";
    QTest::newRow("15 significant digits") << 0.1 + 0.2 << "0.3";
    QTest::newRow("zero") << 0.0 << "0";
}

void TestStatistics::generalFormat()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(reports::generalNumber(value), text);
}

void TestStatistics::paymentCountsUnderTheTypeAtRunTime()
{
    reportdb::addSimple(QStringLiteral("u1"), QStringLiteral("P1"), QStringLiteral("注册纯地税户"),
                        QVariant());
    reportdb::addPayment(QStringLiteral("P1"), QStringLiteral("2004-03-01"), 40);
    QCOMPARE(reports::computeStatistics(UserInfo.UserCode, IniFileName, kToday).mid(7, 5),
             (QStringList{"40", "0", "0", "0", "40"}));
    QVERIFY(execSql(QStringLiteral("test"), QStringLiteral("UPDATE taxer SET taxType=? WHERE tCode=?"),
                    {QStringLiteral("临时共管户"), QStringLiteral("P1")}));
    QCOMPARE(reports::computeStatistics(UserInfo.UserCode, IniFileName, kToday).mid(7, 5),
             (QStringList{"0", "0", "0", "40", "40"}));
}

void TestStatistics::failedStatementReadsZero()
{
    reportdb::addSimple(QStringLiteral("u1"), QStringLiteral("F1"), QStringLiteral("注册纯地税户"),
                        QStringLiteral("正常户"), QStringLiteral("2004-03-01"));
    QVERIFY(connExec(QStringLiteral("test"), QStringLiteral("ALTER TABLE tax RENAME TO tax_gone")));
    const QStringList cells = reports::computeStatistics(UserInfo.UserCode, IniFileName, kToday);
    // The counts still come; each failed sum is logged and reads "0".
    QCOMPARE(cells.mid(0, 12), (QStringList{"1", "0", "0", "0", "0", "0", "1"} + zeros(5)));
    QCOMPARE(cells.mid(19, 5), zeros(5));
    QCOMPARE(m_install->errorLog().count(QStringLiteral("frmMain.actStasticsExecute.getTax\r\n")), 16);
}

void TestStatistics::actionPreviewsTheSheet()
{
    QList<report::Report> shown;
    reports::setPreviewHook([&shown](const report::Report& r) { shown.append(r); });
    printStatistics(nullptr);
    QCOMPARE(shown.size(), 1);
    const report::Report& rep = shown.first();
    QCOMPARE(rep.pages.size(), 1);
    QVERIFY(rep.outlineAndSearch);
    QStringList texts;
    for (const report::Box& b : rep.pages.first().boxes)
        texts << b.text;
    QVERIFY(texts.contains(QStringLiteral("统计日期：") +
                           QDate::currentDate().toString(QStringLiteral("yyyy年MM月dd日"))));
    QVERIFY(texts.contains(QStringLiteral("合计户数（7）=1+2+3")));
    QVERIFY(texts.contains(QStringLiteral("审核人：（签名）   ")));
    QCOMPARE(texts.count(QStringLiteral("0")), 24);
}

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
