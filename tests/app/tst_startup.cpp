// Start-up: files found beside the executable whatever the working
// directory, the error box for a database that cannot be opened, Chinese
// texts, the splash window.
#include "app/dataset.h"
#include "app/dberror.h"
#include "app/msgbox.h"
#include "app/startup.h"
#include "tools/dbinit.h"

#include <QMessageBox>
#include <QProcess>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void findsFilesBesideExecutable();
    void missingDatabaseShowsOneErrorBox();
    void fullStopRule_data();
    void fullStopRule();
    void splashWindow();
    void uncaughtErrorShowsErrorBoxAndGoesOn();
    void windowTitleIsExactCaption();

private:
    QMap<QString, QStringList> runProbe(const QString& installDir, const QString& workDir);
};

QMap<QString, QStringList> TestStartup::runProbe(const QString& installDir, const QString& workDir)
{
    const QString exe = QDir(installDir).filePath(QStringLiteral("corvane_probe"));
    QFile::remove(exe);
    if (!QFile::copy(QStringLiteral(STARTUP_PROBE), exe))
        qFatal("cannot copy the probe");
    QProcess p;
    p.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8")); // Chinese whatever LANG says
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(exe, {});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qFatal("probe failed: %s", p.readAllStandardError().constData());
    QMap<QString, QStringList> out;
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out[line.section(QLatin1Char('='), 0, 0)] << line.section(QLatin1Char('='), 1);
    return out;
}

void TestStartup::findsFilesBesideExecutable()
{
    QTemporaryDir install, elsewhere;
    QVERIFY(dbinit::createDatabase(install.filePath(QStringLiteral("tax.mdb"))));
    QVERIFY(dbinit::writeDefaultSettings(install.filePath(QStringLiteral("myapp.ini"))));
    const auto out = runProbe(install.path(), elsewhere.path());
    QCOMPARE(out.value("AppPath").value(0), install.path() + QLatin1Char('/'));
    QCOMPARE(out.value("IniFileName").value(0), install.filePath(QStringLiteral("myapp.ini")));
    QCOMPARE(out.value("connected").value(0), QStringLiteral("1"));
    QCOMPARE(out.value("report").value(0), QStringLiteral("正常户"));
    QCOMPARE(out.value("boxes").value(0), QStringLiteral("0"));
    QVERIFY(QFile::exists(install.filePath(QStringLiteral("errorlog.txt"))));
    QVERIFY(!QFile::exists(QDir(elsewhere.path()).filePath(QStringLiteral("errorlog.txt"))));
    QVERIFY(!QFile::exists(QDir(elsewhere.path()).filePath(QStringLiteral("tax.mdb"))));
    QCOMPARE(out.value("title").value(0), QStringLiteral("Corvane"));
    QCOMPARE(out.value("yes").value(0).left(1), QStringLiteral("是"));
    QCOMPARE(out.value("font").value(0), QStringLiteral("AR PL UMing CN"));
    QCOMPARE(out.value("echo").value(0), QStringLiteral("**")); // password fields echo "*"
}

void TestStartup::missingDatabaseShowsOneErrorBox()
{
    QTemporaryDir install, elsewhere;
    // A tax.mdb in the working directory must not be taken for the program's.
    QVERIFY(dbinit::createDatabase(QDir(elsewhere.path()).filePath(QStringLiteral("tax.mdb"))));
    const auto out = runProbe(install.path(), elsewhere.path());
    QCOMPARE(out.value("connected").value(0), QStringLiteral("0"));
    QCOMPARE(out.value("boxes").value(0), QStringLiteral("1"));
    const QStringList box = out.value("box").value(0).split(QLatin1Char('|'));
    QCOMPARE(box.value(0), QStringLiteral("Corvane"));
    QCOMPARE(box.value(1).toInt(), int(QMessageBox::Critical));
    QCOMPARE(box.value(2), QStringLiteral("无法打开数据库文件."));
    QVERIFY(!QFile::exists(install.filePath(QStringLiteral("tax.mdb")))); // never created by the program
}

void TestStartup::fullStopRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "file is not a database"
                            << "file is not a database.";
    QTest::newRow("full stop") << "done."
                               << "done.";
    QTest::newRow("bracket sorts before") << "failed (5)"
                                          << "failed (5)";
    QTest::newRow("Chinese") << "不是 Corvane 数据库"
                             << "不是 Corvane 数据库.";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStartup::fullStopRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(withFullStop(message), shown);
}

void TestStartup::splashWindow()
{
    TfrmStart splash;
    QCOMPARE(splash.size(), QSize(595, 461));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    const QImage shot = splash.grab().toImage();
    QVERIFY(shot.pixelColor(300, 20) != shot.pixelColor(300, 440)); // the picture is drawn
}

void TestStartup::uncaughtErrorShowsErrorBoxAndGoesOn()
{
    Msg::setTestMode(true);
    Msg::clearShown();
    bool later = false;
    QTimer::singleShot(0, [] { throw DbError(QStringLiteral("UNIQUE constraint failed: taxer.tCode")); });
    QTimer::singleShot(0, [] { Dataset::abort(); }); // a check's own stop shows nothing more
    QTimer::singleShot(1, [&] { later = true; });
    QTRY_COMPARE(Msg::shown().size(), 1);
    QTRY_VERIFY(later); // the program goes on after the error
    QTest::qWait(20);
    QCOMPARE(Msg::shown().size(), 1);
    QCOMPARE(Msg::shown().first().caption, QStringLiteral("Corvane"));
    QCOMPARE(Msg::shown().first().icon, QMessageBox::Critical);
    QCOMPARE(Msg::shown().first().text, QStringLiteral("UNIQUE constraint failed: taxer.tCode"));
}

// The caption as the window system holds it: no " — Corvane" after it.
void TestStartup::windowTitleIsExactCaption()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        QSKIP("needs xvfb-run and xprop");
    QTemporaryDir install;
    const QString exe = QDir(install.path()).filePath(QStringLiteral("corvane_probe"));
    QVERIFY(QFile::copy(QStringLiteral(STARTUP_PROBE), exe));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), exe, QStringLiteral("--window-title")});
    QVERIFY(p.waitForFinished(60000));
    const QString output = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(p.exitCode() == 0, qPrintable(output + QString::fromUtf8(p.readAllStandardError())));
    QCOMPARE(output.trimmed(), QStringLiteral("wmname=选择日期"));
}

int main(int argc, char** argv)
{
    CorvaneApplication app(argc, argv);
    TestStartup t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_startup.moc"
