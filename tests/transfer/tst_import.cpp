// The import: refusals that change nothing, the merge rules (codes of any
// user and letter case skipped, owners), values exactly as exported, one
// transaction, and the whole road from one installation to another.
#include "app/filedialog.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tests/support/testinstall.h"
#include "tests/transfer/transferkit.h"
#include "transfer/exportpanel.h"
#include "transfer/importdata.h"
#include "transfer/package.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

QString summary(int taxers, int areas, int skipped)
{
    return QStringLiteral("导入完成：新增税户%1个，新增片区%2个；%3个税户因代码已存在而跳过。")
        .arg(taxers)
        .arg(areas)
        .arg(skipped);
}

// The exporting installation's taxpayers: two of user E1 with details, one
// holding the values that must arrive exactly.
void seedExporter()
{
    tk::exec("BEGIN");
    tk::addArea("A1", "东区", "E1");
    tk::addArea("A2", "西区", "E1");
    tk::addTaxer("N01", "E1", 2);
    tk::addTaxer("N02", "E1", 1, "A2");
    tk::addTaxer("X01", "E1", 1);
    tk::addTaxer("x02", "E1", 1);
    tk::exec("UPDATE taxer SET tName=?, tContacter=NULL WHERE tCode='N02'", {"O'Brien \"老店\""});
    tk::exec("INSERT INTO yingye(tCode, tStartDate, tEndDate, tRemark) VALUES('N02', '2022-01-01', NULL, ?)",
             {"it's 'quoted'"});
    tk::exec("INSERT INTO audit(tCode, aCount, aRatio, aTax, aStartDate, aEndDate) "
             "VALUES('N02', NULL, 0.1234, 123.456789, '2022-01-01', '2022-12-31')");
    tk::exec("INSERT INTO tax(tCode, tDate, tTax) VALUES('N02', '2022-03-04', 0.005)");
    tk::exec("COMMIT");
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
    QTemporaryDir m_out;
    int m_reQueries = 0;

    QString pkg(const QString& name = QStringLiteral("pkg.zdt")) const { return m_out.filePath(name); }
    QString tmp() const { return m_install->path(QStringLiteral("tmp")); }

    // Exports codes from a throw-away installation (seeded by seedExporter)
    // into path, and leaves an empty installation signed in as I1 behind.
    void makePackage(const QString& path, const QString& password,
                     const QStringList& codes = {"N01", "N02", "X01", "x02"})
    {
        m_install.reset(); // one installation at a time: each owns the data module
        m_install = std::make_unique<TestInstall>();
        seedExporter();
        QFile::remove(path);
        transfer::PackageWriter w(codes, QStringLiteral("E1"), m_install->path(QStringLiteral("tmp")));
        QVERIFY(w.saveRecordsets());
        QVERIFY2(w.writePackage(path, password), qPrintable(w.error()));
        w.cleanUp();
        m_exported = tk::taxerRows() + tk::detailRows();
        m_install.reset();
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("I1");
    }
    QStringList m_exported; // the exporter's rows, as tk reads them

    // Runs the import with the dialogs answered.
    void runImport(const QString& file, const QString& password, bool closePassword = false)
    {
        FileDlg::queueFileName(file);
        tk::answerPassword(password, closePassword);
        importData(nullptr, [this] { ++m_reQueries; });
    }
    QStringList allRows()
    {
        return tk::rows("SELECT * FROM area ORDER BY aCode") +
               tk::rows("SELECT * FROM taxer ORDER BY tCode") + tk::detailRows();
    }

private slots:
    void init()
    {
        FileDlg::setTestMode(true);
        m_reQueries = 0;
    }
    void cleanup()
    {
        driver::stopAll();
        FileDlg::setTestMode(false);
        m_install.reset();
    }

    void cancelledDialogOnlyReQueries();
    void missingFile();
    void refusedPackagesChangeNothing_data();
    void refusedPackagesChangeNothing();
    void mergeRules();
    void valuesArriveExactly();
    void failedRowRollsBackEverything();
    void endToEnd();
};

void TestImport::cancelledDialogOnlyReQueries()
{
    m_install = std::make_unique<TestInstall>();
    FileDlg::queueCancel();
    importData(nullptr, [this] { ++m_reQueries; });
    QCOMPARE(m_reQueries, 1);
    QCOMPARE(FileDlg::asked(), QStringList{"导入数据"});
    QVERIFY(!frmExpImpPassword);
    QVERIFY(Msg::shownTexts().isEmpty());
}

void TestImport::missingFile()
{
    m_install = std::make_unique<TestInstall>();
    bool asked = false;
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [&asked](TfrmExpImpPassword* f) {
        asked = f->windowTitle() == QStringLiteral("导入密码");
        driver::click(f, "btnClose");
    });
    FileDlg::queueFileName(pkg("missing.zdt"));
    importData(nullptr, [this] { ++m_reQueries; });
    QVERIFY(asked);
    QCOMPARE(Msg::shownTexts(),
             QStringList{pkg("missing.zdt") + QStringLiteral("文件不存在，请重新选择文件")});
    QCOMPARE(m_reQueries, 0);
}

void TestImport::refusedPackagesChangeNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message"); // a part of the message
    QTest::newRow("wrong password") << "wrong password"
                                    << "密码错误或文件已损坏";
    QTest::newRow("no password for an encrypted package") << "no password"
                                                          << "密码错误或文件已损坏";
    QTest::newRow("truncated") << "truncated"
                               << "密码错误或文件已损坏";
    QTest::newRow("not an archive") << "not an archive"
                                    << "密码错误或文件已损坏";
    QTest::newRow("an entry damaged") << "damaged entry"
                                      << "密码错误或文件已损坏";
    QTest::newRow("an entry missing") << "missing entry"
                                      << "密码错误或文件已损坏";
    QTest::newRow("a column missing") << "missing column"
                                      << "缺少字段tRemark";
    QTest::newRow("not a recordset") << "not a recordset"
                                     << "audit.dat无法读取";
}

// Every refusal says so and leaves the database as it was, also when the
// transfer folder still holds the files of an earlier package.
void TestImport::refusedPackagesChangeNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    makePackage(pkg(), "pw");
    QString file = pkg(), password = QStringLiteral("pw");
    QByteArray bytes;
    {
        QFile f(pkg());
        QVERIFY(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    const auto writeBytes = [&](const QByteArray& b) {
        file = pkg("faulty.zdt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(b);
    };
    if (fault == "wrong password")
        password = "PW";
    else if (fault == "no password")
        password.clear();
    else if (fault == "truncated")
        writeBytes(bytes.left(bytes.size() - 30));
    else if (fault == "not an archive")
        writeBytes("just some text");
    else if (fault == "damaged entry") {
        bytes[30 + 9 + 12 + 8] = char(bytes.at(30 + 9 + 12 + 8) ^ 0x5A); // inside taxer.dat's data
        writeBytes(bytes);
    } else if (fault == "missing entry") {
        QTemporaryDir d;
        QVERIFY(arkelle::unZip(pkg(), d.path(), "pw"));
        file = pkg("four.zdt");
        QVERIFY(arkelle::zipList({d.filePath("taxer.dat"), d.filePath("area.dat"), d.filePath("tax.dat"),
                                  d.filePath("audit.dat")},
                                 file, "pw")
                    .written);
    } else if (fault == "missing column") {
        file = pkg("column.zdt");
        QVERIFY(tk::repack(
            pkg(), "pw", "yingye.dat",
            [](QJsonObject& o) {
                QJsonArray cols = o.value("columns").toArray();
                QJsonObject last = cols.last().toObject();
                last.insert("name", "tNote");
                cols.replace(cols.size() - 1, last);
                o.insert("columns", cols);
            },
            file));
    } else if (fault == "not a recordset") {
        file = pkg("garbage.zdt");
        QVERIFY(tk::repack(
            pkg(), "pw", "audit.dat",
            [](QJsonObject& o) {
                o = QJsonObject{{"hello", 1}};
            },
            file));
    }
    // Files of an earlier package wait in the transfer folder.
    QVERIFY(arkelle::unZip(pkg(), tmp(), "pw"));

    runImport(file, password);
    const QStringList shown = Msg::shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(message) && shown.first().contains(QStringLiteral("没有导入任何数据")),
             qPrintable(shown.first()));
    QCOMPARE(tk::count("taxer") + tk::count("area") + tk::count("yingye") + tk::count("audit") +
                 tk::count("tax"),
             0);
    QVERIFY(!QFileInfo::exists(tmp()));
}

void TestImport::mergeRules()
{
    makePackage(pkg(), "pw");
    tk::exec("BEGIN");
    tk::addArea("a1", "本地东区", "I2"); // same code, other case, other user
    tk::addTaxer("x01", "I2", 1, "a1");  // other user, other case
    tk::addTaxer("X02", "I1", 0, "a1");  // own, other case
    tk::exec("COMMIT");
    const QStringList before = tk::taxerRows("X%") + tk::detailRows("X%");

    runImport(pkg(), "pw");
    QCOMPARE(Msg::shownTexts(), QStringList{summary(2, 1, 2)});
    QCOMPARE(m_reQueries, 1);
    // Skipped ones and their details untouched; the new ones with all theirs.
    QCOMPARE(tk::taxerRows("X%") + tk::detailRows("X%"), before);
    QCOMPARE(tk::rows("SELECT tCode, mCode, tSelected FROM taxer WHERE tCode LIKE 'N%' ORDER BY tCode"),
             (QStringList{"N01|I1|0", "N02|I1|0"}));
    QCOMPARE(tk::detailRows("N%").size(), 2 * 3 + 2 * 3);
    // The new area keeps its exporter; the existing one is unchanged.
    QCOMPARE(tk::rows("SELECT aCode, aName, mCode FROM area ORDER BY aCode"),
             (QStringList{"a1|本地东区|I2", "A2|西区|E1"}));
    QVERIFY(!QFileInfo::exists(tmp()));

    // A second import adds nothing.
    const QStringList after = allRows();
    Msg::clearShown();
    runImport(pkg(), "pw");
    QCOMPARE(Msg::shownTexts(), QStringList{summary(0, 0, 4)});
    QCOMPARE(allRows(), after);
}

void TestImport::valuesArriveExactly()
{
    makePackage(pkg(), "", {"N02"});
    // An unencrypted package imports whatever password is typed.
    runImport(pkg(), "anything");
    QCOMPARE(Msg::shownTexts(), QStringList{summary(1, 2, 0)});
    QCOMPARE(tk::taxerRows("N02") + tk::detailRows("N02"), m_exported.filter(QRegularExpression("^N02\\|")));
    QCOMPARE(tk::rows("SELECT aCount, aRatio, aTax FROM audit WHERE aCount IS NULL"),
             QStringList{"<null>|0.1234|123.456789"});
    QCOMPARE(tk::rows("SELECT tTax FROM tax WHERE tDate='2022-03-04'"), QStringList{"0.005"});
    QCOMPARE(tk::rows("SELECT tName, tContacter FROM taxer"), QStringList{"O'Brien \"老店\"|<null>"});
    QCOMPARE(tk::rows("SELECT tEndDate, tRemark FROM yingye WHERE tEndDate IS NULL"),
             QStringList{"<null>|it's 'quoted'"});
}

void TestImport::failedRowRollsBackEverything()
{
    makePackage(pkg(), "pw");
    // The last business period gets a remark longer than the column holds.
    QVERIFY(tk::repack(
        pkg(), "pw", "yingye.dat",
        [](QJsonObject& o) {
            QJsonArray rows = o.value("rows").toArray();
            QJsonArray last = rows.last().toArray();
            last.replace(4, QString(300, QChar(u'长')));
            rows.replace(rows.size() - 1, last);
            o.insert("rows", rows);
        },
        pkg("long.zdt")));
    runImport(pkg("long.zdt"), "pw");
    const QStringList shown = Msg::shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QStringLiteral("备注超过255个字符")), qPrintable(shown.first()));
    QCOMPARE(tk::count("taxer") + tk::count("area") + tk::count("yingye") + tk::count("audit") +
                 tk::count("tax"),
             0);
    QVERIFY(m_install->errorLog().contains(QStringLiteral("frmMain.actImportExecute")));
    QCOMPARE(m_reQueries, 0);
}

// Export from one installation through the panel, import into another:
// every row arrives, and the exporter no longer has them.
void TestImport::endToEnd()
{
    QTemporaryDir keep;
    const QString file = keep.filePath("move.zdt");
    QStringList exported;
    {
        TestInstall first;
        seedExporter();
        UserInfo.UserCode = QStringLiteral("E1");
        exported = tk::rows("SELECT * FROM area ORDER BY aCode") + tk::taxerRows() + tk::detailRows();
        Dataset qryTaxer;
        qryTaxer.setSql("SELECT * FROM taxer WHERE mCode=? ORDER BY tCode");
        qryTaxer.setParams({"E1"});
        qryTaxer.open();
        TExportPanel panel(
            qryTaxer,
            [] {
                return QList<int>{0, 1, 2, 3};
            },
            [&qryTaxer] { qryTaxer.open(); });
        panel.N20Click();
        tk::answerPassword("移交 pass");
        FileDlg::queueFileName(file);
        panel.show();
        QTest::mouseClick(panel.btnExport, Qt::LeftButton);
        QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("已将4个税户导出到文件%1。").arg(file)});
        QCOMPARE(tk::count("taxer") + tk::count("yingye") + tk::count("audit") + tk::count("tax"), 0);
        QCOMPARE(qryTaxer.recordCount(), 0);
    }
    m_install = std::make_unique<TestInstall>();
    UserInfo.UserCode = QStringLiteral("E1");
    runImport(file, "移交 pass");
    QCOMPARE(Msg::shownTexts(), QStringList{summary(4, 2, 0)});
    QCOMPARE(tk::rows("SELECT * FROM area ORDER BY aCode") + tk::taxerRows() + tk::detailRows(), exported);
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
