// Recordset files (the entries of an export package, pinned to a checked-in
// reference) and the data module's refusal of files that are no sound
// Corvane database.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "tests/app/datasettest.h"
#include "tests/support/testinstall.h"

#include <QFile>
#include <QJsonDocument>
#include <QtTest>
#include <cmath>

using namespace datasettest;

class TestDatasetFile : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup() { m_install.reset(); }

    void recordsetFileRoundTrip();
    void recordsetFileRefusesOtherFiles();
    void recordsetFileFormatPinned();
    void connectRefuses_data();
    void connectRefuses();
};

void TestDatasetFile::recordsetFileRoundTrip()
{
    exec("INSERT INTO audit(tCode, aCount, aRatio, aTax, aStartDate) VALUES "
         "('A01', 9007199254740993, 0.1, 0.30000000000000004, '2024-01-01'), "
         "('张三', NULL, 1e-300, 1.0, NULL), ('O''Neil', -5, 3.0, -0.0, '')");
    Dataset ds;
    ds.setSql(QStringLiteral("SELECT *, aRatio + 2 AS total FROM audit ORDER BY aID"));
    ds.open();
    const QString path = m_install->path(QStringLiteral("audit.dat"));
    ds.saveToFile(path);

    Dataset back;
    back.loadFromFile(path);
    QCOMPARE(back.state(), DatasetState::Browse);
    QCOMPARE(back.fieldNames(), ds.fieldNames());
    QCOMPARE(back.recordCount(), 3);
    for (int c = 0; c < ds.fieldCount(); ++c) {
        QCOMPARE(back.field(c).kind, ds.field(c).kind);
        for (int r = 0; r < ds.recordCount(); ++r) {
            const QVariant a = ds.valueAt(r, c), b = back.valueAt(r, c);
            QCOMPARE(b.isNull(), a.isNull());
            QCOMPARE(b.metaType(), a.metaType());
            if (a.metaType().id() == QMetaType::Double)
                QVERIFY2(a.toDouble() == b.toDouble() &&
                             std::signbit(a.toDouble()) == std::signbit(b.toDouble()),
                         qPrintable(QString::number(a.toDouble(), 'g', 17)));
            else
                QCOMPARE(b, a);
        }
    }
    QCOMPARE(back.valueAt(0, back.fieldIndex(QStringLiteral("aCount"))).toLongLong(), 9007199254740993LL);
    QVERIFY(back.locate(QStringLiteral("tCode"), QStringLiteral("o'neil")));
    QVERIFY_THROWS_EXCEPTION(DbError, back.edit()); // a loaded file belongs to no table
}

void TestDatasetFile::recordsetFileRefusesOtherFiles()
{
    const QString path = m_install->path(QStringLiteral("bad.dat"));
    for (const QByteArray& content : {QByteArray("not json"), QByteArray("{\"rows\":[]}"),
                                      QByteArray("{\"recordset\":\"Corvane\",\"columns\":[{\"name\":\"a\"}],"
                                                 "\"rows\":[[1,2]]}")}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        Dataset ds;
        QVERIFY_THROWS_EXCEPTION(DbError, ds.loadFromFile(path));
        QCOMPARE(ds.state(), DatasetState::Inactive);
    }
}

// Export packages move these files between installations of different
// versions: what is written and what is read stay the format of version 1.
void TestDatasetFile::recordsetFileFormatPinned()
{
    const QString reference = QFINDTESTDATA("data/recordset-v1.json");
    QVERIFY(!reference.isEmpty());
    exec("INSERT INTO audit(tCode, aCount, aRatio, aStartDate) VALUES "
         "('A01', 9007199254740993, 0.30000000000000004, '2024-01-01'), ('张三税户', NULL, -1.5, NULL)");
    Dataset ds;
    // total: an expression without a declared type; 2.0 must stay a float.
    ds.setSql(
        QStringLiteral("SELECT tCode, aCount, aRatio, aStartDate, "
                       "CASE WHEN aCount IS NULL THEN 7.25 ELSE 2.0 END AS total FROM audit ORDER BY aID"));
    ds.open();
    const QString path = m_install->path(QStringLiteral("written.json"));
    ds.saveToFile(path);
    auto parse = [](const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return QJsonDocument();
        return QJsonDocument::fromJson(f.readAll());
    };
    const QJsonDocument written = parse(path), expected = parse(reference);
    QVERIFY(!expected.isNull());
    QCOMPARE(written, expected);

    // A file of this format loads with its kinds and exact values.
    Dataset back;
    back.loadFromFile(reference);
    QCOMPARE(back.fieldNames(), (QStringList{"tCode", "aCount", "aRatio", "aStartDate", "total"}));
    const QList<FieldDef::Kind> kinds{FieldDef::Text, FieldDef::Integer, FieldDef::Float, FieldDef::Text,
                                      FieldDef::Any};
    for (int c = 0; c < kinds.size(); ++c)
        QCOMPARE(back.field(c).kind, kinds.at(c));
    QCOMPARE(back.recordCount(), 2);
    QCOMPARE(back.valueAt(0, 1), QVariant(qint64(9007199254740993LL)));
    QCOMPARE(back.valueAt(0, 2).toDouble(), 0.30000000000000004);
    QCOMPARE(back.valueAt(0, 4).metaType().id(), QMetaType::Double);
    QCOMPARE(back.valueAt(0, 4).toDouble(), 2.0);
    QCOMPARE(back.valueAt(1, 0), QVariant(QStringLiteral("张三税户")));
    QVERIFY(back.valueAt(1, 1).isNull());
    QVERIFY(back.valueAt(1, 3).isNull());
    QCOMPARE(back.valueAt(1, 2).toDouble(), -1.5);
    QCOMPARE(back.valueAt(1, 4).toDouble(), 7.25);
}

// A check in before-edit stops the edit: the row stays browsing, unchanged.
void TestDatasetFile::connectRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("engine"); // the engine's own words, kept for the log
    QTest::newRow("missing file") << "missing"
                                  << "无法打开数据库文件"
                                  << "unable to open";
    QTest::newRow("text file") << "text"
                               << "文件不是数据库"
                               << "not a database";
    QTest::newRow("other SQLite database") << "foreign"
                                           << "数据库密码不正确，或者不是 Corvane 数据库"
                                           << "";
    QTest::newRow("damaged Corvane database") << "damaged"
                                              << "数据库文件已损坏"
                                              << "malformed";
}

void TestDatasetFile::connectRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(QString, engine);
    const QString path = m_install->path(QStringLiteral("tax.mdb"));
    frmDm->disconnect();
    if (kind == QLatin1String("missing")) {
        QFile::remove(path);
    } else if (kind == QLatin1String("text")) {
        QFile::remove(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[DataDic]\r\n税户类型=a,b\r\n").repeated(200));
    } else if (kind == QLatin1String("foreign")) {
        QFile::remove(path);
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    } else {
        // Fill the database, then scribble over a page in the middle of it.
        frmDm->DataModuleCreate();
        for (int i = 0; i < 2000; ++i)
            exec(QStringLiteral("INSERT INTO taxer(tCode, tName) VALUES('C%1', '%2')")
                     .arg(i)
                     .arg(QString(40, 'n')));
        frmDm->disconnect();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() > 8 * 4096);
        f.seek(5 * 4096);
        f.write(QByteArray(4096, '\x5a'));
    }
    try {
        frmDm->DataModuleCreate();
        QFAIL("connected to a file that is no sound Corvane database");
    } catch (const DbError& e) {
        QCOMPARE(e.message(), message);
        QVERIFY2(e.engineText().contains(engine), qPrintable(e.engineText()));
    }
    QVERIFY(!frmDm->isConnected());
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFile::exists(path)); // never creates an empty database
    // Every later statement then fails.
    Dataset ds;
    ds.setSql(QStringLiteral("SELECT 1"));
    QVERIFY_THROWS_EXCEPTION(DbError, ds.open());
}

QTEST_MAIN(TestDatasetFile)
#include "tst_datasetfile.moc"
