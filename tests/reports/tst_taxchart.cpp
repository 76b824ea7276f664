// The tax chart: year entries from the grouped payments, marks, the window.
#include "app/common.h"
#include "app/globals.h"
#include "reports/printing.h"
#include "reports/reports.h"
#include "reports/taxchart.h"
#include "tests/reports/reportdb.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"

#include <QBarSet>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

// "year:s1,s2,s3,s4" per entry.
QStringList describe(const QList<reports::YearEntry>& entries)
{
    QStringList out;
    for (const reports::YearEntry& e : entries)
        out << QStringLiteral("%1:%2,%3,%4,%5")
                   .arg(e.year)
                   .arg(e.sums[0])
                   .arg(e.sums[1])
                   .arg(e.sums[2])
                   .arg(e.sums[3]);
    return out;
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestTaxChart : public QObject {
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
        driver::stopAll();
        reports::setTestPrintFile(QString());
        m_install.reset();
    }

    void entries_data();
    void entries();
    void marks_data();
    void marks();
    void windowShowsAndPrintsTheChart();
};

void TestTaxChart::entries_data()
{
    // taxers: "mCode|tCode|taxType" ("~" = NULL); payments: "tCode|tDate|tTax"; keys: "key=value"
    QTest::addColumn<QStringList>("taxers");
    QTest::addColumn<QStringList>("payments");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected");

    const QStringList fourTypes{"u1|R1|注册纯地税户", "u1|J1|注册共管户", "u1|L1|临时纯地税户",
                                "u1|T1|临时共管户",   "u1|X1|个体",       "u2|R9|注册纯地税户"};
    QTest::newRow("two years") << fourTypes
                               << QStringList{"R1|2003-02-01|100", "R1|2003-11-30|50", "R1|2004-01-05|80",
                                              "T1|2004-06-30|30", "R9|2004-01-01|5000"}
                               << QStringList{} << QStringList{"2003:150,0,0,0", "2004:80,0,0,30"};
    QTest::newRow("series in key order")
        << fourTypes
        << QStringList{"R1|2004-01-01|1", "J1|2004-01-01|2", "L1|2004-01-01|4", "T1|2004-01-01|8"}
        << QStringList{} << QStringList{"2004:1,2,4,8"};
    QTest::newRow("a year of an unmapped type only")
        << fourTypes << QStringList{"X1|2002-05-05|70", "R1|2003-01-01|1"} << QStringList{}
        << QStringList{"2002:0,0,0,0", "2003:1,0,0,0"};
    QTest::newRow("no payments") << fourTypes << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("two keys with one value")
        << fourTypes << QStringList{"R1|2004-01-01|9"} << QStringList{"rp临时共管户=注册纯地税户"}
        << QStringList{"2004:9,0,0,9"};
    QTest::newRow("missing key collects empty and NULL types")
        << QStringList{"u1|E1|", "u1|N1|~", "u1|R1|注册纯地税户"}
        << QStringList{"E1|2004-01-01|3", "N1|2004-02-01|4", "R1|2004-03-01|5"}
        << QStringList{"rp注册共管户="} << QStringList{"2004:5,7,0,0"};
    QTest::newRow("undated payments under the empty label")
        << fourTypes << QStringList{"R1|~|6", "R1||1", "J1|~|2", "R1|2004-01-01|3"} << QStringList{}
        << QStringList{":7,2,0,0", "2004:3,0,0,0"};
    QTest::newRow("quote in a key value")
        << QStringList{"u1|Q1|个'体"} << QStringList{"Q1|2004-01-01|11"}
        << QStringList{"rp注册纯地税户=个'体"} << QStringList{"2004:11,0,0,0"};
}

void TestTaxChart::entries()
{
    QFETCH(QStringList, taxers);
    QFETCH(QStringList, payments);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);
    auto value = [](const QString& s) { return s == QStringLiteral("~") ? QVariant() : QVariant(s); };
    for (const QString& t : taxers) {
        const QStringList f = t.split(QLatin1Char('|'));
        reportdb::addSimple(f[0], f[1], value(f[2]), QVariant());
    }
    for (const QString& p : payments) {
        const QStringList f = p.split(QLatin1Char('|'));
        reportdb::addPayment(f[0], value(f[1]), f[2].toDouble());
    }
    for (const QString& k : keys)
        writeIniValue(IniFileName, QStringLiteral("DataDic"), k.section(QLatin1Char('='), 0, 0),
                      k.section(QLatin1Char('='), 1));
    QCOMPARE(describe(reports::computeTaxChart(UserInfo.UserCode, IniFileName)), expected);
    QCOMPARE(m_install->errorLog(), QString());
}

void TestTaxChart::marks_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("thousands") << 1234567.0 << "1,234,567";
    QTest::newRow("three decimals at most") << 1234.56789 << "1,234.568";
    QTest::newRow("no trailing zeros") << 80.5 << "80.5";
    QTest::newRow("small") << 0.0004 << "0";
}

void TestTaxChart::marks()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(reports::markText(value), text);
}

void TestTaxChart::windowShowsAndPrintsTheChart()
{
    reportdb::addSimple(QStringLiteral("u1"), QStringLiteral("R1"), QStringLiteral("注册纯地税户"),
                        QVariant());
    reportdb::addSimple(QStringLiteral("u1"), QStringLiteral("T1"), QStringLiteral("临时共管户"), QVariant());
    reportdb::addPayment(QStringLiteral("R1"), QStringLiteral("2003-01-01"), 1500.25);
    reportdb::addPayment(QStringLiteral("T1"), QStringLiteral("2004-01-01"), 30);
    const QString printed = m_install->path(QStringLiteral("chart.pdf"));
    reports::setTestPrintFile(printed);

    bool checked = false;
    driver::whenShown<TfrmTaxChart>(frmTaxChart, [&](TfrmTaxChart* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("税收统计图"));
        QVERIFY(f->windowState() & Qt::WindowMaximized);
        QCOMPARE(f->btnOK->text(), QStringLiteral("打印"));
        QCOMPARE(f->btnClose->text(), QStringLiteral("关闭"));
        QCOMPARE(f->Chart1->title(), QStringLiteral("税收统计图"));
        const QStringList titles{"注册纯地税额", "注册共管税额", "临时纯地税额", "临时共管税额"};
        const QList<QColor> colours{QColor(255, 0, 0), QColor(0, 128, 0), QColor(255, 255, 0),
                                    QColor(0, 0, 255)};
        for (int n = 0; n < 4; ++n) {
            QCOMPARE(f->Series[n]->label(), titles[n]);
            QCOMPARE(f->Series[n]->color(), colours[n]);
            QCOMPARE(f->Series[n]->count(), 2);
        }
        QCOMPARE(f->Series[0]->at(0), 1500.25);
        QCOMPARE(f->Series[3]->at(1), 30.0);
        QCOMPARE(f->markTexts(), (QStringList{"1,500.25", "0", "0", "0", "0", "0", "0", "30"}));
        QTest::mouseClick(f->btnOK, Qt::LeftButton);
        QVERIFY(f->isVisible()); // printing leaves the window open
        checked = true;
        QTest::mouseClick(f->btnClose, Qt::LeftButton);
    });
    showTaxChart(nullptr);
    QVERIFY(checked);
    QVERIFY(!frmTaxChart);
    const QString text = pdfText(printed);
    QVERIFY2(text.contains(QStringLiteral("税收统计图")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("注册纯地税额")));
    QVERIFY(text.contains(QStringLiteral("2003")));
    QVERIFY(text.contains(QStringLiteral("1,500.25")));
}

QTEST_MAIN(TestTaxChart)
#include "tst_taxchart.moc"
