#include "app/common.h"
#include "app/globals.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestLists : public QObject {
    Q_OBJECT

private slots:
    void init();
    void trim_data();
    void trim();
    void split_data();
    void split();
    void join_data();
    void join();
    void readList_data();
    void readList();
    void listRoundTrip();
    void numbers_data();
    void numbers();
    void restartTimerStartsIntervalAnew();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLists::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setAppPath(m_dir->path());
}

void TestLists::trim_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and controls") << QStringLiteral(" \t\r\n个体户\x01 ") << QStringLiteral("个体户");
    QTest::newRow("inner blanks kept") << QStringLiteral("  a  b  ") << QStringLiteral("a  b");
    QTest::newRow("only blanks") << QStringLiteral(" \t ") << QString();
    QTest::newRow("ideographic space kept")
        << QStringLiteral("\u3000甲\u3000") << QStringLiteral("\u3000甲\u3000");
}

void TestLists::trim()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(trimText(text), expected);
}

void TestLists::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty item kept, trailing dropped")
        << QStringLiteral("a, b,,c ,") << QStringLiteral(",")
        << QStringList{QStringLiteral("a"), QStringLiteral("b"), QString(), QStringLiteral("c")};
    QTest::newRow("empty text") << QString() << QStringLiteral(",") << QStringList{};
    QTest::newRow("blank text") << QStringLiteral("  ") << QStringLiteral(",") << QStringList{};
    QTest::newRow("one item") << QStringLiteral(" 正常户 ") << QStringLiteral(",")
                              << QStringList{QStringLiteral("正常户")};
    QTest::newRow("leading separator")
        << QStringLiteral(",a") << QStringLiteral(",") << QStringList{QString(), QStringLiteral("a")};
    QTest::newRow("only separators") << QStringLiteral(",,") << QStringLiteral(",")
                                     << QStringList{QString(), QString()};
    QTest::newRow("Chinese items") << QStringLiteral("餐饮,零售, 修理") << QStringLiteral(",")
                                   << QStringList{QStringLiteral("餐饮"), QStringLiteral("零售"),
                                                  QStringLiteral("修理")};
    QTest::newRow("longer separator") << QStringLiteral("a;;b;;") << QStringLiteral(";;")
                                      << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("empty separator") << QStringLiteral(" a,b ") << QString()
                                     << QStringList{QStringLiteral("a,b")};
}

void TestLists::split()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, expected);
    QStringList list{QStringLiteral("stale")};
    splitToList(text, separator, list);
    QCOMPARE(list, expected);
}

void TestLists::join_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("bare");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("two items") << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                               << QStringLiteral("a,b") << QStringLiteral("'a','b'");
    QTest::newRow("empty list") << QStringList{} << QString() << QString();
    QTest::newRow("one empty item") << QStringList{QString()} << QString() << QStringLiteral("''");
    QTest::newRow("not trimmed") << QStringList{QStringLiteral(" a "), QString()} << QStringLiteral(" a ,")
                                 << QStringLiteral("' a ',''");
    QTest::newRow("quote in item") << QStringList{QStringLiteral("O'Neil"), QStringLiteral("x")}
                                   << QStringLiteral("O'Neil,x") << QStringLiteral("'O''Neil','x'");
}

void TestLists::join()
{
    QFETCH(QStringList, list);
    QFETCH(QString, bare);
    QFETCH(QString, quoted);
    QCOMPARE(joinList(list, true), bare);
    QCOMPARE(joinList(list, false), quoted);
}

void TestLists::readList_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("blankFirst");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("items") << QStringLiteral("税务状态") << false
                           << QStringList{QStringLiteral("正常户"), QStringLiteral("停业户"), QString(),
                                          QStringLiteral("注销户")};
    QTest::newRow("items, blank first")
        << QStringLiteral("税务状态") << true
        << QStringList{QString(), QStringLiteral("正常户"), QStringLiteral("停业户"), QString(),
                       QStringLiteral("注销户")};
    QTest::newRow("missing key") << QStringLiteral("行业种类") << false << QStringList{};
    QTest::newRow("missing key, blank first") << QStringLiteral("行业种类") << true << QStringList{QString()};
}

void TestLists::readList()
{
    QFETCH(QString, key);
    QFETCH(bool, blankFirst);
    QFETCH(QStringList, expected);
    QFile file(IniFileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[DataDic]\r\n税务状态= 正常户, 停业户,,注销户,\r\n").toUtf8());
    file.close();

    QStringList list{QStringLiteral("stale")};
    readIniList(list, IniFileName, QStringLiteral("DataDic"), blankFirst, key);
    QCOMPARE(list, expected);
}

void TestLists::listRoundTrip()
{
    const QStringList types{QStringLiteral("注册纯地税户"), QStringLiteral("临时共管户"),
                            QStringLiteral("其他")};
    writeIniList(types, IniFileName, QStringLiteral("DataDic"), QStringLiteral("税户类型"));
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("税户类型")),
             QStringLiteral("注册纯地税户,临时共管户,其他"));
    QStringList back;
    readIniList(back, IniFileName, QStringLiteral("DataDic"), false, QStringLiteral("税户类型"));
    QCOMPARE(back, types);
}

void TestLists::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isFloatResult");
    QTest::addColumn<bool>("isIntegerResult");
    QTest::newRow("empty") << QString() << false << false;
    QTest::newRow("integer") << QStringLiteral("42") << true << true;
    QTest::newRow("negative") << QStringLiteral("-17") << true << true;
    QTest::newRow("plus sign") << QStringLiteral("+5") << true << true;
    QTest::newRow("int max") << QStringLiteral("2147483647") << true << true;
    QTest::newRow("int min") << QStringLiteral("-2147483648") << true << true;
    QTest::newRow("above int max") << QStringLiteral("2147483648") << true << false;
    QTest::newRow("below int min") << QStringLiteral("-2147483649") << true << false;
    QTest::newRow("decimal") << QStringLiteral("-2.5") << true << false;
    QTest::newRow("exponent") << QStringLiteral("1e3") << true << false;
    QTest::newRow("comma decimal") << QStringLiteral("2,5") << false << false;
    QTest::newRow("group separator") << QStringLiteral("1,000") << false << false;
    QTest::newRow("leading blank") << QStringLiteral(" 12") << false << false;
    QTest::newRow("trailing blank") << QStringLiteral("12 ") << false << false;
    QTest::newRow("letters") << QStringLiteral("12a") << false << false;
    QTest::newRow("hex") << QStringLiteral("0x1F") << false << false;
    QTest::newRow("only sign") << QStringLiteral("-") << false << false;
    QTest::newRow("infinity") << QStringLiteral("inf") << false << false;
    QTest::newRow("not a number") << QStringLiteral("nan") << false << false;
    QTest::newRow("overflow") << QStringLiteral("1e400") << false << false;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << false << false;
}

void TestLists::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isFloatResult);
    QFETCH(bool, isIntegerResult);
    QCOMPARE(isFloat(text), isFloatResult);
    QCOMPARE(isInteger(text), isIntegerResult);
}

void TestLists::restartTimerStartsIntervalAnew()
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(2000);
    timer.setTimerType(Qt::PreciseTimer);
    QSignalSpy fired(&timer, &QTimer::timeout);

    restartTimer(timer); // a stopped timer is started
    QVERIFY(timer.isActive());
    QTest::qWait(1200);
    QVERIFY(timer.remainingTime() < 1200);
    QElapsedTimer sinceRestart;
    restartTimer(timer);
    sinceRestart.start();
    QVERIFY(timer.isActive());
    QVERIFY(timer.remainingTime() > 1800);
    // The first start's deadline passes without the timer firing (judged
    // only when the wait did not itself overrun the new deadline).
    QTest::qWait(1200);
    if (sinceRestart.elapsed() < 1900)
        QCOMPARE(fired.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 1, 5000);
    QVERIFY(!timer.isActive());
}

QTEST_GUILESS_MAIN(TestLists)
#include "tst_lists.moc"
