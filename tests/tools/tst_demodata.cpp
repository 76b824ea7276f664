// The demo data generator: sane rows for one user, the same rows for the same
// seed, nothing added on a failure, and the demo installation.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/globals.h"
#include "tests/support/testinstall.h"
#include "tools/dbinit.h"
#include "tools/demodata.h"
#include "users/password.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

int count(const QString& sql, const QVariantList& values = {})
{
    bool ok = false;
    const int n = getSqlValue(QStringLiteral("test.count"), sql, values).toInt(&ok);
    return ok ? n : -1;
}

// Every row of the five data tables as text, in a fixed order.
QString dump(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QString out;
    for (const char* sql : {"SELECT * FROM area ORDER BY aCode", "SELECT * FROM taxer ORDER BY tCode",
                            "SELECT * FROM yingye ORDER BY tid", "SELECT * FROM audit ORDER BY aID",
                            "SELECT * FROM tax ORDER BY tid"}) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) + u'|';
            out += u'\n';
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

bool validIdentityNumber(const QString& id)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    if (id.size() != 18)
        return false;
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        if (!id.at(i).isDigit())
            return false;
        sum += id.at(i).digitValue() * weights[i];
    }
    return id.at(17) == QLatin1Char("10X98765432"[sum % 11]);
}

demodata::Options small(const QString& user)
{
    demodata::Options o;
    o.userCode = user;
    o.taxpayers = 40;
    o.areas = 6;
    o.detailRows = 333; // not a multiple of the taxpayers
    o.seed = 7;
    return o;
}

} // namespace

class TestDemoData : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup() { m_install.reset(); }

    void rowsAreSane();
    void sameSeedSameRows();
    void failureAddsNothing();
    void demoInstallation();
};

void TestDemoData::rowsAreSane()
{
    demodata::Counts c;
    QString error;
    QVERIFY2(demodata::fill(frmDm->handle(), small(QStringLiteral("u1")), &c, &error), qPrintable(error));
    QCOMPARE(c.taxpayers, 40);
    QCOMPARE(c.areas, 6);
    QCOMPARE(c.yingye + c.audit + c.tax, 333);
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode='u1'"), 40);
    QCOMPARE(count("SELECT COUNT(*) FROM area WHERE mCode='u1'"), 6);
    QCOMPARE(count("SELECT (SELECT COUNT(*) FROM yingye) + (SELECT COUNT(*) FROM audit) + (SELECT COUNT(*) "
                   "FROM tax)"),
             333);
    QCOMPARE(count("SELECT COUNT(*) FROM audit"), c.audit);

    // every detail row has its taxpayer, every taxpayer one of the user's areas
    QCOMPARE(count("SELECT COUNT(*) FROM (SELECT tCode FROM yingye UNION ALL SELECT tCode FROM audit "
                   "UNION ALL SELECT tCode FROM tax) d WHERE tCode NOT IN (SELECT tCode FROM taxer)"),
             0);
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE aCode IS NULL OR aCode NOT IN "
                   "(SELECT aCode FROM area WHERE mCode='u1')"),
             0);
    QCOMPARE(
        count("SELECT COUNT(*) FROM audit WHERE aCount <= 0 OR abs(aTax - aCount * aRatio / 100.0) > 1e-9"),
        0);

    // dates are real "YYYY-MM-DD" days in order: registered, opened, paid
    const QStringList dates = {"taxer.tRegistDate", "taxer.tOpenDate", "taxer.taxStatusChangeDate",
                               "yingye.tStartDate", "yingye.tEndDate", "audit.aStartDate",
                               "audit.aEndDate",    "tax.tDate"};
    for (const QString& d : dates) {
        const QString table = d.section(u'.', 0, 0), column = d.section(u'.', 1);
        const bool optional = column == QLatin1String("tEndDate");
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 IS NULL AND NOT %3 OR "
                                 "%2 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' = 0 OR date(%2) <> %2")
                      .arg(table, column, optional ? "1" : "0")),
            0);
    }
    QCOMPARE(
        count(
            "SELECT COUNT(*) FROM taxer WHERE tOpenDate < tRegistDate OR substr(tRegistDate, 1, 4) < '2019' "
            "OR substr(tOpenDate, 1, 4) > '2025'"),
        0);
    QCOMPARE(count("SELECT COUNT(*) FROM tax t, taxer x WHERE t.tCode = x.tCode AND t.tDate < x.tOpenDate"),
             0);
    QCOMPARE(count("SELECT COUNT(*) FROM audit WHERE aEndDate < aStartDate"), 0);

    // texts: dictionary values, identity numbers with their check character
    for (const auto& [column, ident] :
         {std::pair{"tTrade", "行业种类"}, {"taxType", "税户类型"}, {"taxStatus", "税务状态"}}) {
        QStringList allowed, used;
        readIniList(allowed, IniFileName, QStringLiteral("DataDic"), false, QString::fromUtf8(ident));
        sqlToList("t", QStringLiteral("SELECT DISTINCT %1 FROM taxer").arg(QLatin1String(column)), used);
        for (const QString& v : used)
            QVERIFY2(allowed.contains(v), qPrintable(v));
    }
    QStringList ids;
    sqlToList("t", "SELECT tID FROM taxer", ids);
    for (const QString& id : ids)
        QVERIFY2(validIdentityNumber(id), qPrintable(id));
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE tName = '' OR tContacter = '' OR tRegistAddress = '' "
                   "OR tContactTel = '' OR tSex NOT IN ('男', '女')"),
             0);
}

void TestDemoData::sameSeedSameRows()
{
    QTemporaryDir dir;
    QStringList dumps;
    for (quint64 seed : {11, 11, 12}) {
        const QString path = dir.filePath(QStringLiteral("t%1.mdb").arg(dumps.size()));
        QVERIFY(dbinit::createDatabase(path));
        demodata::Options o = small(QStringLiteral("u1"));
        o.seed = seed;
        QVERIFY(demodata::fill(path, o));
        dumps << dump(path);
    }
    QVERIFY(dumps.at(0).size() > 1000);
    QCOMPARE(dumps.at(0), dumps.at(1));
    QVERIFY(dumps.at(0) != dumps.at(2));
}

// Codes are unique over all users: a fill that meets a code already taken
// halfway is refused whole; with free codes a second user gets his own rows.
void TestDemoData::failureAddsNothing()
{
    QVERIFY(demodata::fill(frmDm->handle(), small(QStringLiteral("u1"))));
    const int details = count("SELECT (SELECT COUNT(*) FROM yingye) + (SELECT COUNT(*) FROM audit) + "
                              "(SELECT COUNT(*) FROM tax)");
    QVERIFY(execSql("t", "INSERT INTO taxer(mCode, tCode) VALUES('u9', '370103000030')"));

    demodata::Options other = small(QStringLiteral("u2"));
    other.taxPrefix = QStringLiteral("370103");
    other.areaPrefix = QStringLiteral("Q");
    QString error;
    QVERIFY(!demodata::fill(frmDm->handle(), other, nullptr, &error));
    QVERIFY2(error.contains(QStringLiteral("UNIQUE")), qPrintable(error));
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode='u2'"), 0);
    QCOMPARE(count("SELECT COUNT(*) FROM area WHERE mCode='u2'"), 0);
    QCOMPARE(count("SELECT (SELECT COUNT(*) FROM yingye) + (SELECT COUNT(*) FROM audit) + (SELECT COUNT(*) "
                   "FROM tax)"),
             details);

    QVERIFY(execSql("t", "DELETE FROM taxer WHERE mCode='u9'"));
    QVERIFY2(demodata::fill(frmDm->handle(), other, nullptr, &error), qPrintable(error));
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode='u2'"), 40);
    QCOMPARE(count("SELECT COUNT(*) FROM area WHERE mCode='u2'"), 6);
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode='u1'"), 40);
    // the connection is left outside any transaction
    QVERIFY(connExec("t", "BEGIN"));
    QVERIFY(connExec("t", "COMMIT"));
}

void TestDemoData::demoInstallation()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("demo"));
    QString error;
    QVERIFY2(demodata::createDemo(target, &error), qPrintable(error));
    QFile ini(target + QStringLiteral("/myapp.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), dbinit::defaultSettings());

    frmDm->connectTo(target + QStringLiteral("/tax.mdb"));
    QCOMPARE(count("SELECT COUNT(*) FROM manager"), 1);
    QCOMPARE(getSqlValue("t", "SELECT mWhoInput FROM manager WHERE mCode='demo'"), QStringLiteral("demo"));
    const QString hash = getSqlValue("t", "SELECT mPassword FROM manager WHERE mCode='demo'");
    QVERIFY(verifyPassword(hash, QStringLiteral("demo")));
    QVERIFY(!verifyPassword(hash, QStringLiteral("Demo")));
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode='demo'"), 300);
    QCOMPARE(count("SELECT COUNT(*) FROM area WHERE mCode='demo'"), 20);
    QVERIFY(count("SELECT COUNT(*) FROM tax") > 1000);
    frmDm->disconnect();

    const QString before = dump(target + QStringLiteral("/tax.mdb"));
    QVERIFY(!demodata::createDemo(target, &error));
    QVERIFY2(error.contains(QStringLiteral("已经存在")), qPrintable(error));
    QCOMPARE(dump(target + QStringLiteral("/tax.mdb")), before);
}

QTEST_MAIN(TestDemoData)
#include "tst_demodata.moc"
