#include "app/common.h"
#include "app/dberror.h"
#include "app/globals.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

class TestErrorLog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void entryFormat();
    void newestFirst();
    void exceptionLabel();
    void exceptionLabel_data();
    void cutToNewestLines();
    void cutToNewestLines_data();
    void unwritableLogThrows();
    void oldGbkLogKept();

private:
    QByteArray logBytes() const;
    QStringList logLines() const;
    void writeOldLog(int lineCount) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestErrorLog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setAppPath(m_dir->path());
}

QByteArray TestErrorLog::logBytes() const
{
    QFile file(m_dir->filePath(QStringLiteral("errorlog.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList TestErrorLog::logLines() const
{
    QStringList lines = QString::fromUtf8(logBytes()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TestErrorLog::writeOldLog(int lineCount) const
{
    QFile file(m_dir->filePath(QStringLiteral("errorlog.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 1; i <= lineCount; ++i)
        file.write(QStringLiteral("旧行 %1\r\n").arg(i).toUtf8());
}

void TestErrorLog::entryFormat()
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    writeErrorLog(QStringLiteral("frmMain.btnSearchClick"), QStringLiteral("SELECT *\r\nFROM 税户"));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray bytes = logBytes();
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), QStringLiteral("frmMain.btnSearchClick"));
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}年\\d{2}月\\d{2}日 \\d{2}:\\d{2}:\\d{2}$"));
    QVERIFY2(stamp.match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
    // Parsing back with a 24-hour pattern pins the clock and the local zone.
    const QDateTime written = QDateTime::fromString(lines.at(1), QStringLiteral("yyyy年MM月dd日 hh:mm:ss"));
    QVERIFY(written >= before.addMSecs(-before.time().msec()));
    QVERIFY(written <= after);
    QCOMPARE(lines.at(2), QStringLiteral("SELECT *"));
    QCOMPARE(lines.at(3), QStringLiteral("FROM 税户"));
    QCOMPARE(lines.at(4), QStringLiteral("------------------------------------------------------------"));
    QCOMPARE(lines.at(4).size(), 60);
}

void TestErrorLog::newestFirst()
{
    writeErrorLog(QStringLiteral("first"), QStringLiteral("one"));
    writeErrorLog(QStringLiteral("second"), QStringLiteral("two\r\n"));

    const QStringList lines = logLines();
    // The trailing line break of a message leaves an empty line before the separator.
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines.at(0), QStringLiteral("second"));
    QCOMPARE(lines.at(2), QStringLiteral("two"));
    QCOMPARE(lines.at(3), QString());
    QCOMPARE(lines.at(4), QString(60, QLatin1Char('-')));
    QCOMPARE(lines.at(5), QStringLiteral("first"));
    QCOMPARE(lines.at(7), QStringLiteral("one"));
    QCOMPARE(lines.at(8), QString(60, QLatin1Char('-')));
}

void TestErrorLog::exceptionLabel_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("message text") << 0;
    QTest::newRow("DbError") << 1;
    QTest::newRow("std::runtime_error") << 2;
}

void TestErrorLog::exceptionLabel()
{
    QFETCH(int, kind);
    const QString message = QStringLiteral("no such table: 税户");
    const QString context = QStringLiteral("frmLogin.checkOK");
    if (kind == 0)
        writeExceptionLog(context, message);
    else if (kind == 1)
        writeExceptionLog(context, DbError(message));
    else
        writeExceptionLog(context, std::runtime_error(message.toStdString()));

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), context);
    QCOMPARE(lines.at(2), QStringLiteral("程序异常详细信息："));
    QCOMPARE(lines.at(3), QStringLiteral("    ") + message);
}

void TestErrorLog::cutToNewestLines_data()
{
    QTest::addColumn<int>("oldLines");
    QTest::addColumn<int>("keptOld");
    QTest::newRow("998 lines") << 998 << 998;
    QTest::newRow("999 lines: nothing cut") << 999 << 999;
    QTest::newRow("1000 lines: last dropped") << 1000 << 999;
    QTest::newRow("1500 lines") << 1500 << 999;
}

void TestErrorLog::cutToNewestLines()
{
    QFETCH(int, oldLines);
    QFETCH(int, keptOld);
    writeOldLog(oldLines);

    writeErrorLog(QStringLiteral("ctx"), QStringLiteral("msg"));

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 4 + keptOld);
    QCOMPARE(lines.at(0), QStringLiteral("ctx"));
    QCOMPARE(lines.at(4), QStringLiteral("旧行 1"));
    QCOMPARE(lines.last(), QStringLiteral("旧行 %1").arg(keptOld));
}

void TestErrorLog::unwritableLogThrows()
{
    setAppPath(m_dir->filePath(QStringLiteral("no-such-folder")));
    QVERIFY_THROWS_EXCEPTION(DbError, writeErrorLog(QStringLiteral("ctx"), QStringLiteral("msg")));
    try {
        writeErrorLog(QStringLiteral("ctx"), QStringLiteral("msg"));
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("错误日志")), qPrintable(e.message()));
    }
}

// The old system's log is in GBK: its lines stay readable below the new
// entry, and the whole file is UTF-8 from then on.
void TestErrorLog::oldGbkLogKept()
{
    const QString old = QStringLiteral("frmMain.btnSearchClick\r\n2009年03月05日 09:07:02\r\n"
                                       "程序异常详细信息：\r\n    数据库已损坏\r\n") +
                        QString(60, QLatin1Char('-')) + QStringLiteral("\r\n");
    QStringEncoder toGbk("GBK");
    {
        QFile file(m_dir->filePath(QStringLiteral("errorlog.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(toGbk(old));
    }
    writeErrorLog(QStringLiteral("新.条目"), QStringLiteral("消息"));
    QStringDecoder strict(QStringDecoder::Utf8);
    const QString text = strict(logBytes());
    QVERIFY(!strict.hasError());
    QVERIFY(text.startsWith(QStringLiteral("新.条目\r\n")));
    QVERIFY2(text.endsWith(old), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
