// The shared preview: the rendered report as real text, saved and printed
// as PDF, paging, the outline and search of the detail and statistics sheets.
#include "app/globals.h"
#include "app/msgbox.h"
#include "reports/preview.h"
#include "reports/printing.h"
#include "reports/statistics.h"
#include "reports/taxerdetail.h"
#include "reports/taxerlist.h"
#include "tests/reports/reportdb.h"
#include "tests/support/testinstall.h"

#include <QAction>
#include <QLineEdit>
#include <QPdfBookmarkModel>
#include <QPdfSearchModel>
#include <QProcess>
#include <QTabWidget>
#include <QtTest>
#include <memory>

namespace {

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

report::Report detailSheet()
{
    reports::TaxerDetail d;
    if (!reports::loadTaxerDetail(QStringLiteral("T002"), d))
        qFatal("detail not loaded");
    return reports::layoutTaxerDetail(d);
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("u1");
        reportdb::addGoldenData();
    }
    void cleanup()
    {
        reports::setTestPrintFile(QString());
        m_install.reset();
    }

    void savedPdfHoldsTheTexts_data();
    void savedPdfHoldsTheTexts();
    void outlineAndSearch();
    void listHasNeitherOutlineNorSearch();
    void pagesAndPrint();
    void failedSaveIsReported();
};

void TestPreview::savedPdfHoldsTheTexts_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("statistics") << 0 << QStringList{"个体户跟踪管理统计表",
                                                    "统计日期：2004年03月31日",
                                                    "正常户数（1）",
                                                    "合计户数（7）=1+2+3",
                                                    "175.5",
                                                    "制表人：（签名）"};
    QTest::newRow("detail sheet") << 1 << QStringList{"税户详细信息", "老王面馆",   "城西片区",
                                                      "营业记录",     "季节性停业", "核定记录",
                                                      "0.045",        "纳税记录",   "100.5"};
    QTest::newRow("list") << 2 << QStringList{"打印日期:",  "税户代码",      "联系电话",
                                              "东风五金店", "新华书店'分店", "2004/3/31"};
}

void TestPreview::savedPdfHoldsTheTexts()
{
    QFETCH(int, which);
    QFETCH(QStringList, texts);
    const QDate date(2004, 3, 31);
    report::Report rep;
    if (which == 0)
        rep = reports::layoutStatistics(reports::computeStatistics(QStringLiteral("u1"), IniFileName, date),
                                        date);
    else if (which == 1)
        rep = detailSheet();
    else
        rep = reports::layoutTaxerList({{"T001", "东风五金店"}, {"T003", "新华书店'分店"}}, date);
    TfrmPreview preview(rep);
    QVERIFY(preview.isLoaded());
    const QString path = m_install->path(QStringLiteral("saved.pdf"));
    reports::queueSaveFileName(path);
    preview.findChild<QAction*>(QStringLiteral("actSave"))->trigger();
    const QString text = pdfText(path);
    for (const QString& t : texts)
        QVERIFY2(text.contains(t), qPrintable(t + QStringLiteral(" not in:\n") + text));
}

void TestPreview::outlineAndSearch()
{
    TfrmPreview preview(detailSheet());
    QVERIFY(preview.findChild<QTabWidget*>(QStringLiteral("tabSide")));
    QPdfBookmarkModel* outline = preview.bookmarks();
    QVERIFY(outline);
    QTRY_COMPARE(outline->rowCount(), 4);
    QStringList titles;
    for (int r = 0; r < outline->rowCount(); ++r)
        titles << outline->index(r, 0).data(int(QPdfBookmarkModel::Role::Title)).toString();
    QCOMPARE(titles, (QStringList{"税户详细信息", "营业记录", "核定记录", "纳税记录"}));

    preview.searchEdit()->setText(QStringLiteral("季节性停业"));
    QTRY_COMPARE(preview.search()->rowCount(QModelIndex()), 1);
    QCOMPARE(preview.search()->index(0, 0).data(int(QPdfSearchModel::Role::Page)).toInt(), 0);
}

void TestPreview::listHasNeitherOutlineNorSearch()
{
    TfrmPreview preview(reports::layoutTaxerList({{"T001"}}, QDate(2004, 3, 31)));
    QVERIFY(!preview.findChild<QTabWidget*>(QStringLiteral("tabSide")));
    QVERIFY(!preview.bookmarks());
    QVERIFY(!preview.search());
}

void TestPreview::pagesAndPrint()
{
    QList<reports::TaxerListRow> rows;
    for (int i = 0; i < 60; ++i)
        rows.append({QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0'))});
    TfrmPreview preview(reports::layoutTaxerList(rows, QDate(2004, 3, 31)));
    preview.resize(800, 600);
    preview.show();
    QCOMPARE(preview.pageCount(), 3);
    preview.findChild<QAction*>(QStringLiteral("actLast"))->trigger();
    QCOMPARE(preview.currentPage(), 2);
    preview.findChild<QAction*>(QStringLiteral("actNext"))->trigger();
    QCOMPARE(preview.currentPage(), 2);
    preview.findChild<QAction*>(QStringLiteral("actFirst"))->trigger();
    QCOMPARE(preview.currentPage(), 0);

    const QString printed = m_install->path(QStringLiteral("printed.pdf"));
    reports::setTestPrintFile(printed);
    preview.findChild<QAction*>(QStringLiteral("actPrint"))->trigger();
    const QString text = pdfText(printed);
    QCOMPARE(text.count(QStringLiteral("\f")), 3); // one form feed per page
    QVERIFY(text.contains(QStringLiteral("T059")));
}

void TestPreview::failedSaveIsReported()
{
    TfrmPreview preview(reports::layoutTaxerList({{"T001"}}, QDate(2004, 3, 31)));
    reports::queueSaveFileName(m_install->path(QStringLiteral("no/such/dir/x.pdf")));
    preview.findChild<QAction*>(QStringLiteral("actSave"))->trigger();
    QCOMPARE(Msg::shown().size(), 1);
    QVERIFY(Msg::shown().first().text.startsWith(QStringLiteral("无法保存文件")));
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
