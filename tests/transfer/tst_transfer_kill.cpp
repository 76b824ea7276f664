// Reliability: an export or an import killed (SIGKILL) at any point leaves
// every taxpayer either in the database with all its detail rows or in a
// package that imports cleanly, and an import leaves all of a package or
// none of it; the database always passes its integrity check.
#include "app/datamodule.h"
#include "app/globals.h"
#include "tests/support/testinstall.h"
#include "tests/transfer/transferkit.h"
#include "tools/dbinit.h"
#include "transfer/package.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {

constexpr int kTaxers = 600;

// Every row of the installation grouped by taxpayer code: the taxpayer's
// own row first, then its business periods, assessments and payments.
QHash<QString, QStringList> rowsByCode()
{
    QHash<QString, QStringList> out;
    for (const QString& row : tk::taxerRows() + tk::detailRows())
        out[row.section(QLatin1Char('|'), 0, 0)].append(row);
    return out;
}

struct Run {
    QHash<QString, qint64> steps; // step reached -> ms since the child started
    bool finished = false;        // ended by itself with success
};

} // namespace

class TestTransferKill : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_scratch; // its data module inspects the others
    QTemporaryDir m_root;
    QHash<QString, QStringList> m_original;
    QString m_package; // a sound package of every taxpayer
    QHash<QString, qint64> m_exportTimes, m_importTimes;
    int m_dirs = 0;

    // A fresh installation directory holding a copy of the seeded or the
    // empty database.
    QString install(bool seeded)
    {
        const QString dir = m_root.filePath(QStringLiteral("i%1").arg(++m_dirs));
        QDir().mkpath(dir);
        QFile::copy(m_root.filePath(seeded ? "seeded.mdb" : "empty.mdb"), dir + "/tax.mdb");
        return dir;
    }

    Run run(const QString& mode, const QString& dir, const QString& package, const QString& step,
            int killAfterMs = -1)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QStringLiteral(KILL_CHILD),
                {mode, dir, package, step.isEmpty() ? "none" : step, mode == "export" ? "E1" : "I1"});
        Run r;
        if (!p.waitForStarted())
            return r;
        if (killAfterMs >= 0) {
            QThread::msleep(ulong(killAfterMs));
            p.kill();
        }
        p.waitForFinished(60000);
        r.finished = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                r.steps.insert(QString::fromLatin1(parts[0]), parts[1].toLongLong());
        }
        if (!r.finished && killAfterMs < 0 && step.isEmpty())
            qWarning("%s", p.readAllStandardError().constData());
        return r;
    }

    void useDatabase(const QString& dir)
    {
        frmDm->disconnect();
        frmDm->connectTo(dir + "/tax.mdb");
    }

    // The delay that lands between two steps of a baseline run.
    static int between(const QHash<QString, qint64>& times, const QString& from, const QString& to, double f)
    {
        const qint64 a = times.value(from, 0), b = times.value(to, times.value("end"));
        return int(a + f * double(b - a));
    }

private slots:
    void initTestCase();
    void cleanupTestCase() { m_scratch.reset(); }
    void killedExport_data();
    void killedExport();
    void killedImport_data();
    void killedImport();
};

void TestTransferKill::initTestCase()
{
    m_scratch = std::make_unique<TestInstall>();
    QVERIFY(dbinit::createDatabase(m_root.filePath("empty.mdb")));
    QVERIFY(dbinit::createDatabase(m_root.filePath("seeded.mdb")));
    frmDm->disconnect();
    frmDm->connectTo(m_root.filePath("seeded.mdb"));
    tk::exec("BEGIN");
    tk::addArea("A1", "东区", "E1");
    tk::addArea("A2", "西区", "E1");
    for (int i = 0; i < kTaxers; ++i)
        tk::addTaxer(QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0')), "E1", 1 + i % 5,
                     i % 2 ? "A1" : "A2");
    tk::exec("COMMIT");
    m_original = rowsByCode();
    QCOMPARE(m_original.size(), kTaxers);
    frmDm->disconnect();

    // Baselines: where each step falls in time, and a sound package.
    QElapsedTimer clock;
    const QString dir = install(true);
    m_package = m_root.filePath("all.zdt");
    clock.start();
    Run r = run("export", dir, m_package, {});
    m_exportTimes = r.steps;
    m_exportTimes.insert("end", clock.elapsed());
    QVERIFY(r.finished);
    clock.restart();
    r = run("import", install(false), m_package, {});
    m_importTimes = r.steps;
    m_importTimes.insert("end", clock.elapsed());
    QVERIFY(r.finished);
}

void TestTransferKill::killedExport_data()
{
    QTest::addColumn<QString>("step"); // kill at this step; empty: after a delay
    QTest::addColumn<QString>("from"); // the delay falls between these steps
    QTest::addColumn<QString>("to");
    QTest::addColumn<double>("fraction");
    for (const char* s : {"saved", "written", "checked", "deleting", "deleted"})
        QTest::addRow("at step %s", s) << QString::fromLatin1(s) << QString() << QString() << 0.0;
    QTest::newRow("while zipping, early") << QString() << "saved"
                                          << "written" << 0.3;
    QTest::newRow("while zipping, late") << QString() << "saved"
                                         << "written" << 0.8;
    QTest::newRow("while checking") << QString() << "written"
                                    << "checked" << 0.5;
    QTest::newRow("while deleting") << QString() << "checked"
                                    << "deleted" << 0.5;
    QTest::newRow("anywhere, 1") << QString() << "start"
                                 << "end" << 0.25;
    QTest::newRow("anywhere, 2") << QString() << "start"
                                 << "end" << 0.6;
}

void TestTransferKill::killedExport()
{
    QFETCH(QString, step);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(double, fraction);
    const QString dir = install(true);
    const QString package = dir + "/out.zdt";
    const Run r =
        run("export", dir, package, step, step.isEmpty() ? between(m_exportTimes, from, to, fraction) : -1);
    if (!step.isEmpty())
        QVERIFY(r.steps.contains(step) && !r.finished);

    useDatabase(dir);
    QCOMPARE(tk::rows("PRAGMA integrity_check"), QStringList{"ok"});
    const QHash<QString, QStringList> now = rowsByCode();
    QStringList gone;
    for (auto it = m_original.cbegin(); it != m_original.cend(); ++it) {
        if (now.contains(it.key()))
            QCOMPARE(now.value(it.key()), it.value()); // whole, with every detail row
        else
            gone << it.key();
    }
    QVERIFY(now.size() + gone.size() == m_original.size()); // no stray rows
    if (gone.isEmpty())
        return;

    // What left the database is in a package that imports cleanly.
    const QString target = install(false);
    useDatabase(target);
    transfer::PackageImporter im(QStringLiteral("I1"), target + "/tmp");
    QVERIFY2(im.unpack(package, "pw") && im.load() && im.merge(), qPrintable(im.error()));
    const QHash<QString, QStringList> imported = rowsByCode();
    for (const QString& code : gone)
        QCOMPARE(imported.value(code), m_original.value(code));
}

void TestTransferKill::killedImport_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<double>("fraction");
    for (const char* s : {"unpacked", "merging", "merged"})
        QTest::addRow("at step %s", s) << QString::fromLatin1(s) << QString() << QString() << 0.0;
    QTest::newRow("while unpacking") << QString() << "start"
                                     << "unpacked" << 0.7;
    QTest::newRow("while merging") << QString() << "merging"
                                   << "merged" << 0.5;
    QTest::newRow("anywhere") << QString() << "start"
                              << "end" << 0.8;
}

void TestTransferKill::killedImport()
{
    QFETCH(QString, step);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(double, fraction);
    const QString dir = install(false);
    const Run r =
        run("import", dir, m_package, step, step.isEmpty() ? between(m_importTimes, from, to, fraction) : -1);
    if (!step.isEmpty())
        QVERIFY(r.steps.contains(step) && !r.finished);

    useDatabase(dir);
    QCOMPARE(tk::rows("PRAGMA integrity_check"), QStringList{"ok"});
    const QHash<QString, QStringList> now = rowsByCode();
    if (now.isEmpty())
        QCOMPARE(tk::count("area"), 0);
    else
        QCOMPARE(now, m_original); // all of the package, or none
}

QTEST_MAIN(TestTransferKill)
#include "tst_transfer_kill.moc"
