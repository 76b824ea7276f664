// The dataset: states and hooks, write-back by rowid, engine refusals,
// lookup, locate, filter and master binding (recordset files and the
// connect checks are in tst_datasetfile).
#include "app/common.h"
#include "app/datamodule.h"
#include "app/datasetmodel.h"
#include "app/dberror.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "tests/support/testinstall.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <sqlite3.h>

#include "tests/app/datasettest.h"

using namespace datasettest;

class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup() { m_install.reset(); }

    void statesAndHooks();
    void abortInBeforePostKeepsRowAndInput();
    void postWritesBackByRowid();
    void engineRefusalKeepsEditing_data();
    void engineRefusalKeepsEditing();
    void autoNumberIsReadOnlyAndAssigned();
    void deleteWithAbortAndForReal();
    void cancelRestores();
    void cancelNewRowUnderGrid();
    void lookupFieldFollowsSourceAndCutsBytes();
    void locateFilterAndSort();
    void masterBoundParameter();
    void modelFollowsDataset();
    void abortInBeforeEditKeepsBrowsing();
    void afterCancelRuns();
    void priorAndBof();
    void secondStatementRefused_data();
    void secondStatementRefused();
    void savedRowSurvivesKill();
    void refusedPostKeepsRowsInPlace();
    void rowFoundAgainOnlyIfUnchanged();
    void unboundParameterRefused();
    void editableOverJoinOrReadOnly_data();
    void editableOverJoinOrReadOnly();

private:
    std::unique_ptr<TestInstall> m_install;
};

void TestDataset::statesAndHooks()
{
    Dataset ds;
    QStringList calls;
    ds.afterOpen = [&](Dataset&) { calls << "afterOpen"; };
    ds.afterScroll = [&](Dataset&) { calls << "afterScroll"; };
    ds.afterInsert = [&](Dataset& d) {
        calls << "afterInsert";
        d.setValue(QStringLiteral("tSelected"), 0);
    };
    ds.beforePost = [&](Dataset&) { calls << "beforePost"; };
    ds.afterPost = [&](Dataset&) { calls << "afterPost"; };
    ds.beforeEdit = [&](Dataset&) { calls << "beforeEdit"; };
    QSignalSpy states(&ds, &Dataset::stateChanged);

    QCOMPARE(ds.state(), DatasetState::Inactive);
    QVERIFY(ds.isEmpty()); // a closed dataset counts as empty
    openTaxer(ds);
    QCOMPARE(ds.state(), DatasetState::Browse);
    QVERIFY(ds.isEmpty() && ds.eof());
    QCOMPARE(calls, QStringList({"afterOpen", "afterScroll"}));

    calls.clear();
    ds.append();
    QCOMPARE(ds.state(), DatasetState::Insert);
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("A01"));
    ds.setValue(QStringLiteral("tName"), QStringLiteral("张三五金店"));
    ds.post();
    QCOMPARE(ds.state(), DatasetState::Browse);
    QCOMPARE(calls, QStringList({"afterInsert", "afterScroll", "beforePost", "afterPost"}));
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='A01'"), QStringLiteral("张三五金店"));

    calls.clear();
    ds.edit();
    QCOMPARE(ds.state(), DatasetState::Edit);
    QCOMPARE(calls, QStringList({"beforeEdit"}));
    QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue(QStringLiteral("noSuchField"), 1));
    ds.cancel();
    QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue(QStringLiteral("tName"), QStringLiteral("x")));
    QVERIFY(states.count() >= 5);
}

void TestDataset::abortInBeforePostKeepsRowAndInput()
{
    Dataset ds;
    int refusals = 0;
    ds.beforePost = [&](Dataset& d) {
        if (d.asString(QStringLiteral("tCode")).isEmpty()) {
            ++refusals;
            Dataset::abort();
        }
    };
    openTaxer(ds);
    ds.append();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("没有代码的税户"));
    ds.post(); // refused silently
    QCOMPARE(refusals, 1);
    QCOMPARE(ds.state(), DatasetState::Insert);
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("没有代码的税户"));
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("0"));
    // Moving away posts first; the refusal keeps the dataset on its row.
    ds.moveTo(0);
    QCOMPARE(ds.state(), DatasetState::Insert);
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("B02"));
    ds.post();
    QCOMPARE(ds.state(), DatasetState::Browse);
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='B02'"), QStringLiteral("没有代码的税户"));
}

void TestDataset::postWritesBackByRowid()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲'), ('A02','乙')");
    Dataset ds;
    openTaxer(ds);
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.fieldIndex(QStringLiteral("TCODE")), ds.fieldIndex(QStringLiteral("tCode")));
    QVERIFY(ds.fieldIndex(QStringLiteral("corvane_rowid")) < 0); // the carried rowid is not a field
    ds.moveTo(0);
    ds.edit();
    // A changed code is still the same row: found again by rowid.
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("C09"));
    ds.setValue(QStringLiteral("tName"), QStringLiteral("O'Brien 100% _x_ \\"));
    ds.post();
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("2"));
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='C09'"), QStringLiteral("O'Brien 100% _x_ \\"));
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='A02'"), QStringLiteral("乙"));
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer WHERE tCode='A01'"), QStringLiteral("0"));
    // Default of tSelected was applied by the engine on insert.
    QCOMPARE(scalar("SELECT tSelected FROM taxer WHERE tCode='A02'"), QStringLiteral("0"));
}

void TestDataset::engineRefusalKeepsEditing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("code over 50") << "tCode" << QVariant(QString(51, QLatin1Char('x')))
                                  << "税户代码超过50个字符";
    QTest::newRow("sex over 2") << "tSex" << QVariant(QStringLiteral("男女x")) << "性别超过2个字符";
    QTest::newRow("duplicate in other case")
        << "tCode" << QVariant(QStringLiteral("a01")) << "与已有的记录重复（taxer.tCode）";
    QTest::newRow("text into a number") << "tSelected" << QVariant(QStringLiteral("abc")) << "数据类型不符";
    // length() stops at a NUL: the rules refuse it, so widths count every character.
    QTest::newRow("NUL in a code") << "tCode"
                                   << QVariant(QStringLiteral("Z9") + QChar(u'\0') + QStringLiteral("9"))
                                   << "税户代码不能包含控制字符";
    QTest::newRow("line break in a code")
        << "tCode" << QVariant(QStringLiteral("Z9\n9")) << "税户代码不能包含控制字符";
    QTest::newRow("control character in an area code")
        << "aCode" << QVariant(QStringLiteral("P\x01")) << "片区代码不能包含控制字符";
    QTest::newRow("NUL hiding a long name")
        << "tName" << QVariant(QStringLiteral("甲") + QChar(u'\0') + QString(300, QLatin1Char('x')))
        << "注册名称不能包含空字符";
}

void TestDataset::engineRefusalKeepsEditing()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, message);
    exec("INSERT INTO taxer(tCode) VALUES('A01')");
    Dataset ds;
    openTaxer(ds);
    ds.append();
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("Z99"));
    ds.setValue(field, value);
    try {
        ds.post();
        QFAIL("the engine accepted the row");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(ds.state(), DatasetState::Insert);
    // The row keeps what was typed, exactly.
    QCOMPARE(ds.value(field), value);
    if (field != QLatin1String("tCode"))
        QCOMPARE(ds.value(QStringLiteral("tCode")), QVariant(QStringLiteral("Z99")));
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("1"));
}

void TestDataset::autoNumberIsReadOnlyAndAssigned()
{
    Dataset ds;
    ds.setSql(QStringLiteral("SELECT * FROM tax"));
    ds.setUpdateTable(QStringLiteral("tax"));
    ds.open();
    const int tid = ds.fieldIndex(QStringLiteral("tid"));
    QVERIFY(ds.field(tid).autoNumber);
    QVERIFY(ds.field(tid).readOnly);
    ds.append();
    QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue(tid, 5));
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("A01"));
    ds.setValue(QStringLiteral("tTax"), QStringLiteral("12.5")); // typed text becomes a number
    ds.post();
    QVERIFY(ds.value(tid).toLongLong() > 0);
    QCOMPARE(ds.value(QStringLiteral("tTax")).toDouble(), 12.5);
    ds.append();
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("A01"));
    ds.post();
    QCOMPARE(ds.value(tid).toLongLong(), ds.valueAt(0, tid).toLongLong() + 1);
    QCOMPARE(ds.value(QStringLiteral("tTax")).toDouble(), 0.0); // the column default
}

void TestDataset::deleteWithAbortAndForReal()
{
    exec("INSERT INTO taxer(tCode) VALUES('A01'), ('A02'), ('A03')");
    Dataset ds;
    bool refuse = true;
    ds.beforeDelete = [&](Dataset&) {
        if (refuse)
            Dataset::abort();
    };
    openTaxer(ds);
    ds.moveTo(1);
    ds.remove();
    QCOMPARE(ds.recordCount(), 3);
    refuse = false;
    ds.remove();
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.asString(QStringLiteral("tCode")), QStringLiteral("A03"));
    QCOMPARE(scalar("SELECT group_concat(tCode) FROM taxer"), QStringLiteral("A01,A03"));
}

void TestDataset::cancelRestores()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲')");
    Dataset ds;
    openTaxer(ds);
    ds.edit();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("改过"));
    QCOMPARE(ds.valueAt(0, ds.fieldIndex(QStringLiteral("tName"))).toString(), QStringLiteral("改过"));
    ds.cancel();
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("甲"));
    ds.append();
    QCOMPARE(ds.recordCount(), 2);
    ds.cancel();
    QCOMPARE(ds.recordCount(), 1);
    QCOMPARE(ds.state(), DatasetState::Browse);
}

// A grid moves its current row off a new row that is being abandoned; that
// move must neither save the row nor upset the removal.
void TestDataset::cancelNewRowUnderGrid()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲')");
    Dataset ds;
    openTaxer(ds);
    DatasetModel model(&ds, {{QStringLiteral("c"), QStringLiteral("tCode"), QStringLiteral("code")}});
    DbGrid grid;
    grid.setDatasetModel(&model);
    int posts = 0;
    ds.beforePost = [&posts](Dataset&) { ++posts; };
    ds.append();
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("B01"));
    QCOMPARE(grid.currentIndex().row(), 1);
    ds.cancel();
    QCOMPARE(posts, 0);
    QCOMPARE(ds.state(), DatasetState::Browse);
    QCOMPARE(ds.recordCount(), 1);
    QCOMPARE(ds.recNo(), 0);
    QCOMPARE(grid.currentIndex().row(), 0);
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("1"));
}

void TestDataset::lookupFieldFollowsSourceAndCutsBytes()
{
    exec("INSERT INTO area(aCode, aName, mCode) VALUES('P1','城东片区','u'), "
         "('P2','一二三四五六七八九十十一十二','u'), ('P3','ab一二三四五六七八九十','u')");
    exec("INSERT INTO taxer(tCode, aCode) VALUES('A01','p1'), ('A02','P2'), ('A03','P3'), ('A04','P9')");
    Dataset areas;
    areas.setSql(QStringLiteral("SELECT * FROM area WHERE mCode=?"));
    areas.setParams({QStringLiteral("u")});
    areas.setUpdateTable(QStringLiteral("area"));
    areas.open();
    Dataset ds;
    ds.addLookupField(QStringLiteral("aName"), QStringLiteral("aCode"), &areas, QStringLiteral("aCode"),
                      QStringLiteral("aName"), 20);
    openTaxer(ds);
    const int a = ds.fieldIndex(QStringLiteral("aName"));
    QVERIFY(ds.field(a).lookup && ds.field(a).readOnly);
    QCOMPARE(ds.valueAt(0, a).toString(), QStringLiteral("城东片区")); // key compared ignoring case
    QCOMPARE(ds.valueAt(1, a).toString(), QStringLiteral("一二三四五六七八九十"));
    QCOMPARE(ds.valueAt(2, a).toString(), QStringLiteral("ab一二三四五六七八九")); // 2 + 9*2 = 20 bytes
    QVERIFY(ds.valueAt(3, a).isNull());
    // Renaming the area shows in the taxpayer list.
    areas.moveTo(0);
    areas.edit();
    areas.setValue(QStringLiteral("aName"), QStringLiteral("城西"));
    areas.post();
    QCOMPARE(ds.valueAt(0, a).toString(), QStringLiteral("城西"));
}

void TestDataset::locateFilterAndSort()
{
    exec("INSERT INTO taxer(tCode, tName, aCode) VALUES('A01','甲','X'), ('b02','乙','Y'), ('C03','丙','X'), "
         "('D''4','丁','X')");
    Dataset ds;
    openTaxer(ds);
    QVERIFY(ds.locate(QStringLiteral("tCode"), QStringLiteral("B02")));
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("乙"));
    QVERIFY(!ds.locate(QStringLiteral("tCode"), QStringLiteral("Z")));
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("乙")); // not found: stays

    setFilter(ds, QStringLiteral("aCode='x'"));
    QCOMPARE(ds.recordCount(), 3);
    setFilter(ds, QStringLiteral("tCode='d''4'"));
    QCOMPARE(ds.recordCount(), 1);
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("丁"));
    setFilter(ds, QStringLiteral("aCode='X' AND tCode='c03'"));
    QCOMPARE(ds.recordCount(), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, setFilter(ds, QStringLiteral("aCode LIKE 'x'")));
    setFilter(ds, QString());
    QCOMPARE(ds.recordCount(), 4);

    ds.setSort(
        {{ds.fieldIndex(QStringLiteral("aCode")), true}, {ds.fieldIndex(QStringLiteral("tCode")), false}});
    QStringList order;
    for (int r = 0; r < ds.recordCount(); ++r)
        order << ds.valueAt(r, ds.fieldIndex(QStringLiteral("tCode"))).toString();
    QCOMPARE(order, QStringList({"b02", "A01", "C03", "D'4"}));
}

void TestDataset::masterBoundParameter()
{
    exec("INSERT INTO taxer(tCode) VALUES('A01'), ('A02')");
    exec("INSERT INTO tax(tCode, tDate, tTax) VALUES('A01','2024-01-05',10), ('A01','2024-02-05',20), "
         "('a02','2024-03-05',30)");
    Dataset master;
    openTaxer(master);
    Dataset detail;
    detail.setSql(QStringLiteral("SELECT * FROM tax WHERE tCode=:tCode ORDER BY tDate"));
    detail.setMaster(&master, QStringLiteral("tCode"), QStringLiteral(":tCode"));
    master.first();
    detail.bindValue(QStringLiteral("tCode"), master.value(QStringLiteral("tCode")));
    detail.open();
    QCOMPARE(detail.recordCount(), 2);
    master.next();
    QCOMPARE(detail.recordCount(), 1); // the code compares ignoring case
    QCOMPARE(detail.asFloat(QStringLiteral("tTax")), 30.0);

    // An edit in progress is saved before the detail follows its master.
    detail.setUpdateTable(QStringLiteral("tax"));
    detail.open();
    detail.edit();
    detail.setValue(QStringLiteral("tTax"), 31.5);
    master.first();
    QCOMPARE(detail.recordCount(), 2);
    QCOMPARE(scalar("SELECT tTax FROM tax WHERE tCode='a02'"), QStringLiteral("31.5"));
}

void TestDataset::modelFollowsDataset()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲'), ('A02','乙')");
    Dataset ds;
    DatasetModel model(&ds, {{"gridTaxertCode", "tCode", "税户代码", 80, true, false},
                             {"gridTaxertSex", "tSex", "性别", 20, false, false},
                             {"gridTaxertName", "tName", "注册名称", 120, true, false}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    openTaxer(ds);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2); // the hidden column is not in the model
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("注册名称"));
    QVERIFY(model.setData(model.index(1, 1), QStringLiteral("乙改")));
    QCOMPARE(ds.state(), DatasetState::Edit);
    QCOMPARE(ds.recNo(), 1);
    ds.post();
    ds.append();
    QCOMPARE(model.rowCount(), 3);
    ds.cancel();
    QCOMPARE(model.rowCount(), 2);
    model.sort(0, Qt::DescendingOrder);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("A02"));
    ds.moveTo(0);
    ds.remove();
    QCOMPARE(model.rowCount(), 1);
    ds.close();
    QCOMPARE(model.rowCount(), 0);
}

void TestDataset::abortInBeforeEditKeepsBrowsing()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲')");
    Dataset ds;
    int asked = 0;
    ds.beforeEdit = [&](Dataset&) {
        ++asked;
        Dataset::abort();
    };
    openTaxer(ds);
    QSignalSpy states(&ds, &Dataset::stateChanged);
    ds.edit();
    QCOMPARE(asked, 1);
    QCOMPARE(ds.state(), DatasetState::Browse);
    QCOMPARE(states.count(), 0);
    QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue(QStringLiteral("tName"), QStringLiteral("乙")));
    ds.post();
    QCOMPARE(ds.asString(QStringLiteral("tName")), QStringLiteral("甲"));
    QCOMPARE(scalar("SELECT tName FROM taxer"), QStringLiteral("甲"));
}

// after-cancel runs when an edit or an insert is cancelled, once the
// dataset browses again; a cancel with nothing to cancel calls nothing.
void TestDataset::afterCancelRuns()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲')");
    Dataset ds;
    QStringList calls;
    ds.afterCancel = [&](Dataset& d) {
        calls << QStringLiteral("%1 %2 %3")
                     .arg(d.state() == DatasetState::Browse ? "browsing" : "editing")
                     .arg(d.recordCount())
                     .arg(d.asString(QStringLiteral("tName")));
    };
    openTaxer(ds);
    ds.edit();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("改"));
    ds.cancel();
    QCOMPARE(calls, QStringList{"browsing 1 甲"});
    ds.append();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("新"));
    ds.cancel();
    QCOMPARE(calls, (QStringList{"browsing 1 甲", "browsing 1 甲"}));
    ds.cancel();
    QCOMPARE(calls.size(), 2);
}

void TestDataset::priorAndBof()
{
    exec("INSERT INTO taxer(tCode, aCode) VALUES('A01','X'), ('A02','Y'), ('A03','X')");
    Dataset ds;
    openTaxer(ds);
    QVERIFY(ds.bof());
    ds.last();
    QVERIFY(!ds.bof());
    ds.prior();
    QCOMPARE(ds.asString(QStringLiteral("tCode")), QStringLiteral("A02"));
    QVERIFY(!ds.bof() && !ds.eof());
    ds.prior();
    QCOMPARE(ds.recNo(), 0);
    QVERIFY(!ds.bof()); // on the first row, not yet before it
    ds.prior();
    QCOMPARE(ds.recNo(), 0);
    QVERIFY(ds.bof());

    // A filter or sort that puts the current row first leaves bof set, and
    // one that does not, clears it.
    ds.last();
    setFilter(ds, QStringLiteral("aCode='X'"));
    QCOMPARE(ds.asString(QStringLiteral("tCode")), QStringLiteral("A03"));
    QVERIFY(!ds.bof());
    setFilter(ds, QStringLiteral("tCode='a03'"));
    QCOMPARE(ds.recNo(), 0);
    QVERIFY(ds.bof());
    setFilter(ds, QString());
    QCOMPARE(ds.recNo(), 2);
    QVERIFY(!ds.bof());
    const int code = ds.fieldIndex(QStringLiteral("tCode"));
    ds.setSort({{code, true}});
    QCOMPARE(ds.asString(QStringLiteral("tCode")), QStringLiteral("A03"));
    QCOMPARE(ds.recNo(), 0);
    QVERIFY(ds.bof());
    ds.setSort({{code, false}});
    QCOMPARE(ds.recNo(), 2);
    QVERIFY(!ds.bof());
}

void TestDataset::secondStatementRefused_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("refused");
    QTest::newRow("open, second select") << true << "SELECT * FROM taxer; SELECT 1" << true;
    QTest::newRow("open, hidden delete") << true << "SELECT * FROM taxer;DELETE FROM taxer" << true;
    QTest::newRow("open, trailing comment") << true << "SELECT * FROM taxer; -- all" << false;
    QTest::newRow("execute, second statement")
        << false << "UPDATE taxer SET tName='乙'; DELETE FROM taxer" << true;
    QTest::newRow("execute, behind a comment")
        << false << "UPDATE taxer SET tName='乙'; /* x */ DELETE FROM taxer" << true;
    QTest::newRow("execute, trailing semicolons") << false << "UPDATE taxer SET tName='乙';;  " << false;
}

void TestDataset::secondStatementRefused()
{
    QFETCH(bool, open);
    QFETCH(QString, sql);
    QFETCH(bool, refused);
    exec("INSERT INTO taxer(tCode, tName) VALUES('A01','甲')");
    Dataset ds;
    ds.setSql(sql);
    try {
        open ? ds.open() : ds.execute();
        QVERIFY(!refused);
    } catch (const DbError& e) {
        QVERIFY2(refused, qPrintable(e.message()));
        QCOMPARE(e.message(), QStringLiteral("一次只能执行一条语句"));
    }
    // Nothing of a refused text ran.
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("1"));
    QCOMPARE(scalar("SELECT tName FROM taxer"),
             refused || open ? QStringLiteral("甲") : QStringLiteral("乙"));
}

void TestDataset::savedRowSurvivesKill()
{
    const QString db = m_install->path(QStringLiteral("tax.mdb"));
    frmDm->disconnect();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--post-and-die"), db});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    frmDm->connectTo(db);
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='K01'"), QStringLiteral("刚保存就被杀掉"));
}

void TestDataset::refusedPostKeepsRowsInPlace()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A', 'a'), ('B', 'b')");
    Dataset ds;
    bool refuse = true;
    ds.beforePost = [&](Dataset&) {
        if (refuse)
            Dataset::abort();
    };
    openTaxer(ds);
    ds.edit();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("changed"));
    // Neither a filter nor a sort may move the edited row under another one.
    setFilter(ds, QStringLiteral("tCode='B'"));
    ds.setSort({{ds.fieldIndex(QStringLiteral("tCode")), true}});
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.asString(QStringLiteral("tCode")), QStringLiteral("A"));
    // A row loop ends instead of spinning on the row being edited.
    int steps = 0;
    for (ds.first(); !ds.eof() && steps < 10; ds.next())
        ++steps;
    QVERIFY(steps < 10);
    refuse = false;
    ds.post();
    QCOMPARE(scalar("SELECT group_concat(tName) FROM (SELECT tName FROM taxer ORDER BY tCode)"),
             QStringLiteral("changed,b"));
}

void TestDataset::rowFoundAgainOnlyIfUnchanged()
{
    exec("INSERT INTO taxer(tCode, tName) VALUES('A', 'a'), ('B', 'b')");
    Dataset ds;
    openTaxer(ds);
    ds.last();
    // Elsewhere B goes and Z comes, taking B's rowid.
    exec("DELETE FROM taxer WHERE tCode='B'");
    exec("INSERT INTO taxer(tCode, tName) VALUES('Z', 'z')");
    QCOMPARE(scalar("SELECT rowid FROM taxer WHERE tCode='Z'"), QString::number(ds.rowId()));
    ds.edit();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("for B"));
    QVERIFY_THROWS_EXCEPTION(DbError, ds.post());
    QCOMPARE(ds.state(), DatasetState::Edit);
    ds.cancel();
    QVERIFY_THROWS_EXCEPTION(DbError, ds.remove());
    QCOMPARE(scalar("SELECT tName FROM taxer WHERE tCode='Z'"), QStringLiteral("z"));
}

void TestDataset::unboundParameterRefused()
{
    exec("INSERT INTO taxer(tCode) VALUES('A'), ('B')");
    Dataset ds;
    ds.setSql(QStringLiteral("DELETE FROM taxer WHERE tCode=? OR ? IS NULL"));
    ds.setParams({QStringLiteral("A")});
    QVERIFY_THROWS_EXCEPTION(DbError, ds.execute());
    ds.setSql(QStringLiteral("SELECT * FROM tax WHERE tCode=:tCode"));
    ds.setParams({});
    QVERIFY_THROWS_EXCEPTION(DbError, ds.open());
    QCOMPARE(scalar("SELECT COUNT(*) FROM taxer"), QStringLiteral("2"));
}

void TestDataset::editableOverJoinOrReadOnly_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("editable");
    QTest::newRow("alias") << "SELECT a.* FROM taxer a ORDER BY a.tCode" << true;
    QTest::newRow("comma join")
        << "SELECT t.*, r.aName AS areaName FROM taxer t, area r WHERE t.aCode=r.aCode" << true;
    QTest::newRow("distinct") << "SELECT DISTINCT tCode, tName FROM taxer" << false;
    QTest::newRow("grouped") << "SELECT tCode, COUNT(*) AS n FROM taxer GROUP BY tCode" << false;
}

void TestDataset::editableOverJoinOrReadOnly()
{
    QFETCH(QString, sql);
    QFETCH(bool, editable);
    exec("INSERT INTO area(aCode, aName, mCode) VALUES('P1', '城东', 'u')");
    exec("INSERT INTO taxer(tCode, tName, aCode) VALUES('A', 'a', 'P1')");
    Dataset ds;
    ds.setSql(sql);
    ds.setUpdateTable(QStringLiteral("taxer"));
    ds.open();
    QCOMPARE(ds.recordCount(), 1);
    if (!editable) {
        QVERIFY_THROWS_EXCEPTION(DbError, ds.edit());
        return;
    }
    ds.edit();
    ds.setValue(QStringLiteral("tName"), QStringLiteral("改"));
    ds.post();
    QCOMPARE(scalar("SELECT tName FROM taxer"), QStringLiteral("改"));
    QCOMPARE(scalar("SELECT aName FROM area"), QStringLiteral("城东"));
}

// Child mode for savedRowSurvivesKill: post one row, then die at once.
static int postAndDie(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    frmDm = new TfrmDm;
    frmDm->connectTo(QString::fromLocal8Bit(argv[2]));
    Dataset ds;
    openTaxer(ds);
    ds.append();
    ds.setValue(QStringLiteral("tCode"), QStringLiteral("K01"));
    ds.setValue(QStringLiteral("tName"), QStringLiteral("刚保存就被杀掉"));
    ds.post();
    std::raise(SIGKILL);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--post-and-die") == 0)
        return postAndDie(argc, argv);
    QApplication app(argc, argv);
    TestDataset t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_dataset.moc"
