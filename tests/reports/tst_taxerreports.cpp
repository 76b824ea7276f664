// The taxpayer list over the grid's rows and the detail sheet of the current
// taxpayer, with its "top 20" sections.
#include "app/common.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "reports/preview.h"
#include "reports/reports.h"
#include "reports/taxerdetail.h"
#include "reports/taxerlist.h"
#include "tests/reports/reportdb.h"
#include "tests/support/testinstall.h"

#include <QtTest>
#include <memory>

namespace {

// Texts of the boxes whose left edge is at x (to 0.1 mm), page by page.
QStringList textsAt(const report::Report& rep, double x)
{
    QStringList out;
    for (const report::Page& p : rep.pages)
        for (const report::Box& b : p.boxes)
            if (b.kind == report::Box::Text && qAbs(b.rect.x() - x) < 0.05)
                out << b.text;
    return out;
}

QStringList column(const QList<QStringList>& rows, int c)
{
    QStringList out;
    for (const QStringList& r : rows)
        out << r.value(c);
    return out;
}

} // namespace

class TestTaxerReports : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
    QList<report::Report> m_shown;

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("u1");
        m_shown.clear();
        reports::setPreviewHook([this](const report::Report& r) { m_shown.append(r); });
    }
    void cleanup()
    {
        reports::setPreviewHook({});
        m_install.reset();
    }

    void listHoldsTheGridRows_data();
    void listHoldsTheGridRows();
    void listPagesWithHeaderOnEach();
    void emptyListIsOneBlankPage();
    void listCutsLongValuesToTheirColumn();

    void sectionsKeepTwentyNewestWithTies_data();
    void sectionsKeepTwentyNewestWithTies();
    void detailActionDoesNothing_data();
    void detailActionDoesNothing();
    void detailOfUnsavedRowIsBlankPage();
    void detailOfCodeWithQuote();
    void failedTaxpayerQueryShowsNoSheet();
    void longSheetBreaksPagesWithHeader();
};

void TestTaxerReports::listHoldsTheGridRows_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("search of 3, code order")
        << "SELECT * FROM taxer WHERE mCode=? AND tName LIKE '%店%' ORDER BY tCode" << false << QString()
        << QStringList{"C01", "C03", "C05"};
    QTest::newRow("grid sorted by code descending")
        << "SELECT * FROM taxer WHERE mCode=? ORDER BY tCode" << true << QString()
        << QStringList{"C05", "C04", "C03", "C02", "C01"};
    QTest::newRow("area from the grid's lookup field")
        << "SELECT * FROM taxer WHERE mCode=? AND tCode='C02'" << false << QString() << QStringList{"C02"};
    QTest::newRow("grid filtered") << "SELECT * FROM taxer WHERE mCode=? ORDER BY tCode" << false
                                   << QStringLiteral("taxType='临时共管户'") << QStringList{"C02", "C04"};
}

void TestTaxerReports::listHoldsTheGridRows()
{
    QFETCH(QString, sql);
    QFETCH(bool, descending);
    QFETCH(QString, filter);
    QFETCH(QStringList, codes);
    for (int i = 5; i >= 1; --i)
        reportdb::addTaxer({"u1", QStringLiteral("C0%1").arg(i),
                            i % 2 ? QStringLiteral("店%1").arg(i) : QStringLiteral("馆%1").arg(i), "",
                            i % 2 ? "注册纯地税户" : "临时共管户", "", "", "", "", "A1", QVariant(), "", ""});
    reportdb::addTaxer({"u2", "C00", "别人的店", "", "", "", "", "", "", "", QVariant(), "", ""});
    reportdb::addArea(QStringLiteral("A1"), QStringLiteral("本人片区"), QStringLiteral("u1"));
    Dataset qryArea; // stands in for the grid's area list
    QVERIFY(runSql(QStringLiteral("test"), qryArea,
                   QStringLiteral("SELECT 'A1' AS aCode, '网格片区' AS aName"), true));
    Dataset qryTaxer;
    if (QByteArray(QTest::currentDataTag()).startsWith("area"))
        qryTaxer.addLookupField(QStringLiteral("aName"), QStringLiteral("aCode"), &qryArea,
                                QStringLiteral("aCode"), QStringLiteral("aName"), 100);
    QVERIFY(runSql(QStringLiteral("test"), qryTaxer, sql, true, {UserInfo.UserCode}));
    if (descending)
        qryTaxer.setSort({{qryTaxer.fieldIndex(QStringLiteral("tCode")), true}});
    if (!filter.isEmpty())
        setFilter(qryTaxer, filter);

    printTaxerList(qryTaxer, nullptr);
    QCOMPARE(m_shown.size(), 1);
    const report::Report& rep = m_shown.first();
    QCOMPARE(rep.orientation, QPageLayout::Landscape);
    QCOMPARE(rep.pageSize, QPageSize::Letter);
    QVERIFY(!rep.outlineAndSearch);
    QCOMPARE(textsAt(rep, 9.3 + 0.4), codes);
    // The area column: the lookup field's text where the grid has one, else
    // the user's area of the row's code.
    const bool lookup = QByteArray(QTest::currentDataTag()).startsWith("area");
    QCOMPARE(textsAt(rep, 225.2 + 0.4), QStringList(codes.size(), lookup ? "网格片区" : "本人片区"));
}

void TestTaxerReports::listPagesWithHeaderOnEach()
{
    QList<reports::TaxerListRow> rows;
    for (int i = 0; i < 60; ++i)
        rows.append({QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("名称")});
    const report::Report rep = reports::layoutTaxerList(rows, QDate(2004, 3, 5));
    QCOMPARE(rep.pages.size(), 3); // 27 rows of 6.1 mm fit between the 23 mm header and the 13.2 mm footer
    QCOMPARE(textsAt(rep, 9.3 + 0.4).size(), 60);
    const double bottomLimit = rep.printableMm().height() - 13.2;
    for (qsizetype n = 0; n < rep.pages.size(); ++n) {
        const report::Page& p = rep.pages.at(n);
        QStringList texts;
        double lowest = 0, lastRule = 0;
        for (const report::Box& b : p.boxes) {
            texts << b.text;
            lowest = qMax(lowest, b.rect.bottom());
            if (b.kind == report::Box::Line && b.rect.height() == 0)
                lastRule = qMax(lastRule, b.rect.top());
        }
        QVERIFY(texts.contains(QStringLiteral("纳  税  人  列  表")));
        QVERIFY(texts.contains(QStringLiteral("所 属 片 区")));
        QVERIFY(texts.contains(QStringLiteral("2004/3/5")));
        QVERIFY2(lowest <= bottomLimit + 1e-6, qPrintable(QString::number(lowest)));
        // The grid is closed under the page's last row.
        const int rowsOnPage = n < 2 ? 27 : 6;
        QCOMPARE(qRound(lastRule * 10), qRound((23.0 + rowsOnPage * 6.1) * 10));
    }
}

void TestTaxerReports::emptyListIsOneBlankPage()
{
    Dataset closed;
    printTaxerList(closed, nullptr);
    Dataset empty;
    QVERIFY(runSql(QStringLiteral("test"), empty, QStringLiteral("SELECT * FROM taxer WHERE mCode=?"), true,
                   {"nobody"}));
    printTaxerList(empty, nullptr);
    QCOMPARE(m_shown.size(), 2);
    for (const report::Report& rep : m_shown) {
        QCOMPARE(rep.pages.size(), 1);
        QVERIFY(rep.pages.first().boxes.isEmpty());
    }
}

void TestTaxerReports::listCutsLongValuesToTheirColumn()
{
    const QString address = QString(60, QChar(0x8DEF)); // 路 x 60, far wider than the column
    const report::Report rep = reports::layoutTaxerList({{"T1", "", "", "", address}}, QDate(2004, 3, 5));
    for (const report::Box& b : rep.pages.first().boxes) {
        if (b.kind == report::Box::Text && b.text.startsWith(QChar(0x8DEF))) {
            QVERIFY(b.text.size() < address.size());
            QVERIFY(report::textWidthMm(b.text, b.family, b.pointSize, b.bold) <= 184.9 - 117.5);
            return;
        }
    }
    QFAIL("address not printed");
}

void TestTaxerReports::sectionsKeepTwentyNewestWithTies_data()
{
    QTest::addColumn<QVariantList>("dates"); // in insertion order
    QTest::addColumn<QStringList>("expected");
    QVariantList dates;
    QStringList newest;
    for (int d = 1; d <= 25; ++d)
        dates << QStringLiteral("2004-01-%1").arg(d, 2, 10, QLatin1Char('0'));
    for (int d = 25; d > 5; --d)
        newest << QStringLiteral("2004-01-%1").arg(d, 2, 10, QLatin1Char('0'));
    QTest::newRow("25 dates give the 20 newest, newest first") << dates << newest;

    QVariantList tied = dates;
    tied << "2004-01-06"
         << "2004-01-06";
    QStringList withTies = newest;
    withTies << "2004-01-06"
             << "2004-01-06";
    QTest::newRow("rows tied with the 20th date come along") << tied << withTies;

    QTest::newRow("fewer than 20") << QVariantList{"2003-05-01", "2004-01-01", "2003-12-31"}
                                   << QStringList{"2004-01-01", "2003-12-31", "2003-05-01"};

    QVariantList undated = dates;
    undated << QVariant() << QString();
    QTest::newRow("undated rows rank below every date") << undated << newest;

    QTest::newRow("undated rows fill up to 20")
        << QVariantList{QVariant(), "2004-01-01"} << QStringList{"2004-01-01", ""};
}

void TestTaxerReports::sectionsKeepTwentyNewestWithTies()
{
    QFETCH(QVariantList, dates);
    QFETCH(QStringList, expected);
    reportdb::addTaxer({"u1", "T1", "", "", "", "", "", "", "", "", QVariant(), "", ""});
    reportdb::addTaxer({"u1", "T2", "", "", "", "", "", "", "", "", QVariant(), "", ""});
    for (const QVariant& d : dates) {
        reportdb::addPayment(QStringLiteral("T1"), d, 1);
        reportdb::addPeriod(QStringLiteral("T1"), d, QVariant(), QString());
        reportdb::addPayment(QStringLiteral("T2"), QStringLiteral("2009-01-01"),
                             1); // another taxpayer's rows
    }
    reports::TaxerDetail d;
    QVERIFY(reports::loadTaxerDetail(QStringLiteral("t1"), d)); // codes ignore letter case
    QVERIFY(d.found);
    QCOMPARE(column(d.payments, 0), expected);
    QCOMPARE(column(d.periods, 0), expected);
}

void TestTaxerReports::detailActionDoesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("dataset not open") << 0;
    QTest::newRow("empty grid") << 1;
    QTest::newRow("new row without a code") << 2;
}

void TestTaxerReports::detailActionDoesNothing()
{
    QFETCH(int, kind);
    Dataset qryTaxer;
    if (kind > 0) {
        qryTaxer.setUpdateTable(QStringLiteral("taxer"));
        QVERIFY(runSql(QStringLiteral("test"), qryTaxer, QStringLiteral("SELECT * FROM taxer WHERE mCode=?"),
                       true, {UserInfo.UserCode}));
    }
    if (kind == 2)
        qryTaxer.append();
    printTaxerDetail(qryTaxer, nullptr);
    QVERIFY(m_shown.isEmpty());
    QCOMPARE(m_install->errorLog(), QString());
}

void TestTaxerReports::detailOfUnsavedRowIsBlankPage()
{
    Dataset qryTaxer;
    qryTaxer.setUpdateTable(QStringLiteral("taxer"));
    QVERIFY(runSql(QStringLiteral("test"), qryTaxer, QStringLiteral("SELECT * FROM taxer WHERE mCode=?"),
                   true, {UserInfo.UserCode}));
    qryTaxer.append();
    qryTaxer.setValue(QStringLiteral("tCode"), QStringLiteral("NEW1"));
    printTaxerDetail(qryTaxer, nullptr);
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first().pages.size(), 1);
    QVERIFY(m_shown.first().pages.first().boxes.isEmpty());
}

void TestTaxerReports::detailOfCodeWithQuote()
{
    reportdb::addArea(QStringLiteral("A'1"), QStringLiteral("河'东"), QStringLiteral("u1"));
    reportdb::addTaxer({"u1", "O'K", "奥'凯", "", "", "", "", "", "", "A'1", QVariant(), "", ""});
    reportdb::addPayment(QStringLiteral("O'K"), QStringLiteral("2004-01-01"), 12.5);
    Dataset qryTaxer;
    QVERIFY(runSql(QStringLiteral("test"), qryTaxer, QStringLiteral("SELECT * FROM taxer"), true));
    printTaxerDetail(qryTaxer, nullptr);
    QCOMPARE(m_shown.size(), 1);
    const report::Report& rep = m_shown.first();
    QCOMPARE(rep.orientation, QPageLayout::Portrait);
    QVERIFY(rep.outlineAndSearch);
    QCOMPARE(textsAt(rep, 34.7).mid(0, 1), QStringList{"O'K"});
    QVERIFY(textsAt(rep, 119.1).contains(QStringLiteral("河'东")));
    QCOMPARE(textsAt(rep, 56.6), (QStringList{"税额", "12.5"}));
    QCOMPARE(m_install->errorLog(), QString());
}

void TestTaxerReports::failedTaxpayerQueryShowsNoSheet()
{
    reportdb::addTaxer({"u1", "T1", "", "", "", "", "", "", "", "", QVariant(), "", ""});
    Dataset qryTaxer;
    QVERIFY(runSql(QStringLiteral("test"), qryTaxer, QStringLiteral("SELECT * FROM taxer"), true));
    QVERIFY(connExec(QStringLiteral("test"), QStringLiteral("ALTER TABLE taxer RENAME TO taxer_gone")));
    printTaxerDetail(qryTaxer, nullptr);
    QVERIFY(m_shown.isEmpty());
    QVERIFY(m_install->errorLog().startsWith(QStringLiteral("frmMain.actPrintDetailExecute")));
}

void TestTaxerReports::longSheetBreaksPagesWithHeader()
{
    reportdb::addTaxer({"u1", "T1", "名称", "", "", "", "", "", "", "", QVariant(), "", ""});
    for (int d = 1; d <= 22; ++d) {
        const QString date = QStringLiteral("2004-01-%1").arg(d, 2, 10, QLatin1Char('0'));
        reportdb::addPeriod(QStringLiteral("T1"), date, date, QStringLiteral("备注%1").arg(d));
        reportdb::addAudit(QStringLiteral("T1"), date, date, 100, 0.05, 5);
        reportdb::addPayment(QStringLiteral("T1"), date, d);
    }
    reports::TaxerDetail d;
    QVERIFY(reports::loadTaxerDetail(QStringLiteral("T1"), d));
    const report::Report rep = reports::layoutTaxerDetail(d);
    QVERIFY(rep.pages.size() >= 2);
    const double bottomLimit = rep.printableMm().height() - 13.2;
    for (const report::Page& p : rep.pages) {
        QStringList texts;
        for (const report::Box& b : p.boxes) {
            texts << b.text;
            QVERIFY(b.rect.bottom() <= bottomLimit + 1e-6);
        }
        QVERIFY(texts.contains(QStringLiteral("税户详细信息")));
        QVERIFY(texts.contains(QStringLiteral("名称")));
    }
    // Every section is in the outline, at the page it starts on.
    QStringList outline;
    for (const report::OutlineEntry& e : rep.outline) {
        outline << e.title;
        bool onPage = false;
        for (const report::Box& b : rep.pages.at(e.page).boxes)
            onPage = onPage || b.text == e.title;
        QVERIFY2(onPage, qPrintable(e.title));
    }
    QCOMPARE(outline, (QStringList{"税户详细信息", "营业记录", "核定记录", "纳税记录"}));
    QCOMPARE(textsAt(rep, 36.0).size(), 1 + 20); // heading and the 20 newest payments
}

QTEST_MAIN(TestTaxerReports)
#include "tst_taxerreports.moc"
