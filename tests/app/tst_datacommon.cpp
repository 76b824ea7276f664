// The data routines: what reaches the database, what lands in the log.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/enginetext.h"
#include "app/globals.h"
#include "tests/support/testinstall.h"

#include <QtTest>
#include <sqlite3.h>

namespace {
const QString kSeparator(60, QLatin1Char('-'));

QStringList logLines(const TestInstall& install)
{
    QString text = install.errorLog();
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

class TestDataCommon : public QObject {
    Q_OBJECT
private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup() { m_install.reset(); }

    void runSqlLogsStatementAndError();
    void runSqlSucceedsAndReplacesStatement();
    void connExecLogsStatementOnly();
    void reopenQueryLogsTwoEntries();
    void hostileValuesStoredAsTyped_data();
    void hostileValuesStoredAsTyped();
    void getSqlValueAndSqlToList();
    void recordExistsCounts();
    void engineTexts_data();
    void engineTexts();
    void engineWordsStayInLog();
    void statementsInAnyLetterCaseAndLines();
    void unconnectedDatabaseFailsIntoLog();

private:
    std::unique_ptr<TestInstall> m_install;
};

void TestDataCommon::runSqlLogsStatementAndError()
{
    Dataset q;
    QVERIFY(!runSql(QStringLiteral("frmMain.btnSearchClick"), q,
                    QStringLiteral("SELECT * FROM nowhere WHERE a=?"), true, {QStringLiteral("O'Brien")}));
    QVERIFY(!q.isActive());
    QVERIFY(q.isEmpty());
    const QStringList lines = logLines(*m_install);
    // Newest first: the error entry, then the statement entry.
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines.at(0), QStringLiteral("frmMain.btnSearchClick"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}年\\d{2}月\\d{2}日 \\d{2}:\\d{2}:\\d{2}$"))
                .match(lines.at(1))
                .hasMatch());
    QCOMPARE(lines.at(2), QStringLiteral("程序异常详细信息："));
    QCOMPARE(lines.at(3), QStringLiteral("    no such table: nowhere"));
    QCOMPARE(lines.at(4), kSeparator);
    QCOMPARE(lines.at(5), QStringLiteral("frmMain.btnSearchClick"));
    QCOMPARE(lines.at(7), QStringLiteral("SELECT * FROM nowhere WHERE a=?"));
    // The statement is logged with its bound values.
    QVERIFY2(lines.at(8).contains(QStringLiteral("1='O''Brien'")), qPrintable(lines.at(8)));
    QCOMPARE(lines.at(9), kSeparator);
}

void TestDataCommon::runSqlSucceedsAndReplacesStatement()
{
    Dataset q;
    QVERIFY(runSql(QStringLiteral("t.a"), q,
                   QStringLiteral("INSERT INTO area(aCode, aName, mCode) VALUES(?,?,?)"), false,
                   {QStringLiteral("P1"), QStringLiteral("城东"), QStringLiteral("u1")}));
    QVERIFY(runSql(QStringLiteral("t.b"), q, QStringLiteral("SELECT aName FROM area WHERE aCode=?"), true,
                   {QStringLiteral("p1")}));
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.asString(QStringLiteral("aName")), QStringLiteral("城东"));
    QVERIFY(m_install->errorLog().isEmpty());
}

void TestDataCommon::connExecLogsStatementOnly()
{
    QVERIFY(!connExec(QStringLiteral("frmMain.actClearExecute"),
                      QStringLiteral("UPDATE nowhere SET tSelected=0")));
    const QStringList lines = logLines(*m_install);
    QCOMPARE(lines, QStringList({"frmMain.actClearExecute", lines.value(1), "UPDATE nowhere SET tSelected=0",
                                 kSeparator}));
    QVERIFY(connExec(QStringLiteral("x"), QStringLiteral("UPDATE taxer SET tSelected=0")));
}

void TestDataCommon::reopenQueryLogsTwoEntries()
{
    Dataset q;
    q.setSql(QStringLiteral("SELECT * FROM area\nORDER BY nosuchcol"));
    reopenQuery(QStringLiteral("frmArea.FormShow"), q);
    QVERIFY(!q.isActive());
    const QStringList lines = logLines(*m_install);
    QCOMPARE(lines.at(0), QStringLiteral("frmArea.FormShow"));
    QCOMPARE(lines.at(2), QStringLiteral("no such column: nosuchcol")); // the message alone, no label
    QCOMPARE(lines.at(3), kSeparator);
    QCOMPARE(lines.at(4), QStringLiteral("frmArea.FormShow"));
    QCOMPARE(lines.mid(6), QStringList({"SELECT * FROM area", "ORDER BY nosuchcol", "", kSeparator}));
}

void TestDataCommon::hostileValuesStoredAsTyped_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("quote") << "O'Brien";
    QTest::newRow("percent and underscore") << "10%_off";
    QTest::newRow("backslash") << "a\\b\\";
    QTest::newRow("statement text") << "x'); DROP TABLE area; --";
    QTest::newRow("Chinese") << "城东片区";
}

void TestDataCommon::hostileValuesStoredAsTyped()
{
    QFETCH(QString, code);
    QVERIFY(execSql(QStringLiteral("t"),
                    QStringLiteral("INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, 'u')"), {code, code}));
    QVERIFY(execSql(QStringLiteral("t"),
                    QStringLiteral("INSERT INTO area(aCode, aName, mCode) VALUES('other', '', 'u')")));
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT aName FROM area WHERE aCode=?"), {code}),
             code);
    // LIKE patterns built from a value match only the value.
    QCOMPARE(getSqlValue(QStringLiteral("t"),
                         QStringLiteral("SELECT COUNT(*) FROM area WHERE aName LIKE '%' || ? || '%'"),
                         {code}),
             QStringLiteral("1"));
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("area"), QStringLiteral("AND aCode=?"), {code}));
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT COUNT(*) FROM area")),
             QStringLiteral("2"));
}

void TestDataCommon::getSqlValueAndSqlToList()
{
    QVERIFY(execSql(QStringLiteral("t"),
                    QStringLiteral("INSERT INTO tax(tCode, tDate, tTax) VALUES('A', '2024-01-01', 12.5), "
                                   "('A', '2024-02-01', NULL)")));
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT sum(tTax)+0 FROM tax")),
             QStringLiteral("12.5"));
    // SUM over no rows is null, and stays null when 0 is added: empty text.
    QCOMPARE(
        getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT sum(tTax)+0 FROM tax WHERE tCode='none'")),
        QString());
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT tTax FROM tax WHERE tTax IS NULL")),
             QString());
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT tTax FROM tax WHERE 1=0")), QString());

    QStringList list{QStringLiteral("old")};
    sqlToList(QStringLiteral("t"), QStringLiteral("SELECT '  ' || tDate || char(9) FROM tax ORDER BY tDate"),
              list);
    QCOMPARE(list, QStringList({"2024-01-01", "2024-02-01"}));
    sqlToList(QStringLiteral("t"), QStringLiteral("SELECT nothing FROM tax"), list);
    QVERIFY(list.isEmpty());
}

void TestDataCommon::recordExistsCounts()
{
    bool checked = false;
    QString why = QStringLiteral("untouched");
    QVERIFY(!recordExists(QStringLiteral("t"), QStringLiteral("manager"), QStringLiteral("AND mCode=?"),
                          {QStringLiteral("u1")}));
    QVERIFY(!recordExists(QStringLiteral("t"), QStringLiteral("manager"), QStringLiteral("AND mCode=?"),
                          {QStringLiteral("u1")}, &checked, &why));
    QVERIFY(checked);
    QVERIFY(execSql(QStringLiteral("t"), QStringLiteral("INSERT INTO manager(mCode) VALUES('U1')")));
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("manager"), QStringLiteral("AND mCode=?"),
                         {QStringLiteral("u1")}));
    checked = false;
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("manager"), QStringLiteral("AND mCode=?"),
                         {QStringLiteral("u1")}, &checked, &why));
    QVERIFY(checked); // a row that exists, not a failed count
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("manager"), QString()));
    // A count that cannot run refuses rather than risk a duplicate, and says
    // that it could not check.
    QVERIFY(m_install->errorLog().isEmpty());
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("nowhere"), QString()));
    QVERIFY(!m_install->errorLog().isEmpty());
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("nowhere"), QString(), {}, &checked, &why));
    QVERIFY(!checked);
    QCOMPARE(why, QStringLiteral("no such table: nowhere"));
    frmDm->disconnect();
    QVERIFY(recordExists(QStringLiteral("t"), QStringLiteral("manager"), QString(), {}, &checked, &why));
    QVERIFY(!checked);
    QCOMPARE(why, QStringLiteral("数据库未连接"));
}

// The common engine failures in the user's language; anything else as the
// engine says it.
void TestDataCommon::engineTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("shown");
    QTest::newRow("cannot open") << SQLITE_CANTOPEN << "unable to open database file"
                                 << "无法打开数据库文件";
    QTest::newRow("not a database") << SQLITE_NOTADB << "file is not a database"
                                    << "文件不是数据库";
    QTest::newRow("locked") << SQLITE_BUSY << "database is locked"
                            << "数据库正被其他程序使用，请稍后再试";
    QTest::newRow("table locked") << SQLITE_LOCKED << "database table is locked"
                                  << "数据库正被其他程序使用，请稍后再试";
    QTest::newRow("malformed") << SQLITE_CORRUPT << "database disk image is malformed"
                               << "数据库文件已损坏";
    QTest::newRow("read-only") << SQLITE_READONLY_DBMOVED << "attempt to write a readonly database"
                               << "数据库是只读的，不能修改";
    QTest::newRow("disk full") << SQLITE_FULL << "database or disk is full"
                               << "磁盘已满，数据没有保存";
    QTest::newRow("named check") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: 用户代码超过50个字符"
                                 << "用户代码超过50个字符";
    QTest::newRow("unique") << SQLITE_CONSTRAINT_UNIQUE << "UNIQUE constraint failed: taxer.tCode"
                            << "与已有的记录重复（taxer.tCode）";
    QTest::newRow("trigger's own text") << SQLITE_CONSTRAINT_TRIGGER << "管理员不可删除" << "管理员不可删除";
    QTest::newRow("unmapped") << SQLITE_ERROR << "no such table: nowhere"
                              << "no such table: nowhere";
}

void TestDataCommon::engineTexts()
{
    QFETCH(int, code);
    QFETCH(QString, engine);
    QFETCH(QString, shown);
    QCOMPARE(engineText(code, engine), shown);
}

// A refused statement: the caller gets the Chinese text, the log keeps the
// engine's own words beside it.
void TestDataCommon::engineWordsStayInLog()
{
    QVERIFY(execSql(QStringLiteral("t"), QStringLiteral("INSERT INTO manager(mCode) VALUES('u1')")));
    QString message;
    QVERIFY(!execSql(QStringLiteral("frmCreateUser.checkOK"),
                     QStringLiteral("INSERT INTO manager(mCode) VALUES(?)"), {QStringLiteral("U1")},
                     &message));
    QCOMPARE(message, QStringLiteral("与已有的记录重复（manager.mCode）"));
    const QStringList lines = logLines(*m_install);
    QCOMPARE(
        lines.at(3),
        QStringLiteral("    与已有的记录重复（manager.mCode）（UNIQUE constraint failed: manager.mCode）"));
}

void TestDataCommon::statementsInAnyLetterCaseAndLines()
{
    QVERIFY(execSql(QStringLiteral("t"), QStringLiteral("insert into MANAGER(MCODE, mName)\r\nvalues(?, ?)"),
                    {QStringLiteral("a"), QStringLiteral("甲")}));
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT COUNT(*) FROM MANAGER WHERE mCode=?"),
                         {QStringLiteral("A")}),
             QStringLiteral("1"));
}

void TestDataCommon::unconnectedDatabaseFailsIntoLog()
{
    frmDm->disconnect();
    QVERIFY(!execSql(QStringLiteral("frmLogin.checkOK"), QStringLiteral("SELECT 1")));
    QVERIFY(m_install->errorLog().contains(QStringLiteral("数据库未连接")));
    QCOMPARE(getSqlValue(QStringLiteral("t"), QStringLiteral("SELECT 1")), QString());
}

QTEST_MAIN(TestDataCommon)
#include "tst_datacommon.moc"
