// Each report's boxes (text, position and size to 0.1 mm, font, weight) for
// a fixed data set and date, compared with the checked-in files in golden/.
// After an intended layout change, regenerate them and review the diff:
//   CORVANE_UPDATE_GOLDEN=1 build/tests/bin/tst_reportgolden
// CORVANE_GOLDEN_PDF=<dir> also writes the three reports there as PDF files
// for a look.
#include "app/dataset.h"
#include "app/globals.h"
#include "reports/reportpage.h"
#include "reports/statistics.h"
#include "reports/taxerdetail.h"
#include "reports/taxerlist.h"
#include "tests/reports/reportdb.h"
#include "tests/support/testinstall.h"

#include <QFile>
#include <QtTest>
#include <memory>

class TestReportGolden : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
    const QDate m_date{2004, 3, 31};

    void compareGolden(const report::Report& rep, const QString& name)
    {
        const QString actual = report::dumpBoxes(rep);
        if (qEnvironmentVariableIsSet("CORVANE_GOLDEN_PDF"))
            report::writePdf(rep,
                             qEnvironmentVariable("CORVANE_GOLDEN_PDF") + QLatin1Char('/') + name + ".pdf");
        const QString path = QStringLiteral(GOLDEN_DIR "/%1.txt").arg(name);
        if (qEnvironmentVariableIsSet("CORVANE_UPDATE_GOLDEN")) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(actual.toUtf8());
            return;
        }
        QFile in(path);
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(path));
        const QStringList want = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
        const QStringList got = actual.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < qMax(want.size(), got.size()); ++i)
            QCOMPARE(QStringLiteral("%1: %2").arg(i + 1).arg(got.value(i)),
                     QStringLiteral("%1: %2").arg(i + 1).arg(want.value(i)));
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("u1");
        reportdb::addGoldenData();
    }
    void cleanup() { m_install.reset(); }

    void taxerList()
    {
        Dataset qryTaxer;
        qryTaxer.setSql(QStringLiteral("SELECT * FROM taxer WHERE mCode=? ORDER BY tCode"));
        qryTaxer.setParams({UserInfo.UserCode});
        qryTaxer.open();
        compareGolden(reports::layoutTaxerList(reports::taxerListRows(qryTaxer), m_date),
                      QStringLiteral("taxerlist"));
    }

    void taxerDetail()
    {
        reports::TaxerDetail d;
        QVERIFY(reports::loadTaxerDetail(QStringLiteral("T002"), d));
        compareGolden(reports::layoutTaxerDetail(d), QStringLiteral("taxerdetail"));
    }

    void statistics()
    {
        const QStringList cells = reports::computeStatistics(UserInfo.UserCode, IniFileName, m_date);
        compareGolden(reports::layoutStatistics(cells, m_date), QStringLiteral("statistics"));
    }
};

QTEST_MAIN(TestReportGolden)
#include "tst_reportgolden.moc"
