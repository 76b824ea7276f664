// The export panel and the export: the list, the package written and
// proven, and nothing deleted unless the package holds it.
#include "app/filedialog.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tests/support/testinstall.h"
#include "tests/transfer/transferkit.h"
#include "transfer/exportpanel.h"
#include "transfer/package.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {
const QString kEmpty = QStringLiteral("请选择要导出的税户到列表框中！");

// Flips a byte inside the first entry's data (after its 30-byte header,
// the name "taxer.dat" and the 12-byte encryption header).
void damage(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        qFatal("cannot open %s", qPrintable(path));
    const qint64 at = 30 + 9 + 12 + 8;
    f.seek(at);
    const char c = f.read(1).at(0);
    f.seek(at);
    f.write(QByteArray(1, char(c ^ 0x5A)));
}
} // namespace

class TestExport : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<Dataset> m_qryTaxer;
    std::unique_ptr<TExportPanel> m_panel;
    QList<int> m_selected;
    int m_reQueries = 0;
    QTemporaryDir m_out;

    QString package() const { return m_out.filePath(QStringLiteral("pkg.zdt")); }
    QString tmp() const { return m_install->path(QStringLiteral("tmp")); }
    void listCodes(const QStringList& codes)
    {
        for (const QString& c : codes)
            m_panel->lbExport->addItem(c);
    }
    // Exports the listed codes into file with password (empty closes the
    // password dialog when closeDialog is set).
    void runExport(const QString& file, const QString& password, bool closeDialog = false)
    {
        tk::answerPassword(password, closeDialog);
        FileDlg::queueFileName(file);
        m_panel->show();
        QTest::mouseClick(m_panel->btnExport, Qt::LeftButton);
    }
    QStringList ownRows() { return tk::taxerRows() + tk::detailRows(); }

private slots:
    void init();
    void cleanup();

    void emptyListSays();
    void addToList_data();
    void addToList();
    void removeAndClear();
    void cancelledSaveDialog();
    void packageHoldsAndDeletes_data();
    void packageHoldsAndDeletes();
    void existingPackageUpdatedInPlace();
    void failedWriteDeletesNothing_data();
    void failedWriteDeletesNothing();
    void nothingWrittenDeletesNothing();
};

void TestExport::init()
{
    m_install = std::make_unique<TestInstall>();
    FileDlg::setTestMode(true);
    UserInfo.UserCode = QStringLiteral("U1");
    tk::exec("BEGIN"); // one commit: the test's time goes to the export, not to syncs
    tk::addArea("A1", "东区", "U1");
    tk::addArea("A2", "西区", "U1");
    tk::addArea("B1", "北区", "U2");
    tk::addTaxer("T01", "U1", 2);
    tk::addTaxer("T02", "U1", 3);
    tk::addTaxer("T03", "U1", 0); // no detail rows
    tk::addTaxer("K01", "U1", 1);
    tk::addTaxer("Z09", "U2", 1, "B1");
    tk::exec("COMMIT");
    m_qryTaxer = std::make_unique<Dataset>();
    m_qryTaxer->setSql(QStringLiteral("SELECT * FROM taxer WHERE mCode=? ORDER BY tCode"));
    m_qryTaxer->setParams({UserInfo.UserCode});
    m_qryTaxer->setUpdateTable(QStringLiteral("taxer"));
    m_qryTaxer->open();
    m_selected.clear();
    m_reQueries = 0;
    m_panel = std::make_unique<TExportPanel>(
        *m_qryTaxer, [this] { return m_selected; },
        [this] {
            ++m_reQueries;
            reopenQuery(QStringLiteral("test"), *m_qryTaxer);
        });
    QFile::remove(package());
}

void TestExport::cleanup()
{
    driver::stopAll();
    m_panel.reset();
    m_qryTaxer.reset();
    FileDlg::setTestMode(false);
    m_install.reset();
}

void TestExport::emptyListSays()
{
    QVERIFY(!m_panel->isVisible());
    m_panel->actExportExecute();
    QVERIFY(m_panel->isVisible());
    QTest::mouseClick(m_panel->btnExport, Qt::LeftButton);
    QCOMPARE(Msg::shownTexts(), QStringList{kEmpty});
    QVERIFY(m_panel->isVisible());
    QVERIFY(FileDlg::asked().isEmpty());
    m_panel->actExportExecute();
    QVERIFY(!m_panel->isVisible());
}

void TestExport::addToList_data()
{
    // rows of qryTaxer (ordered K01, T01, T02, T03)
    QTest::addColumn<QStringList>("listed");   // already in the list
    QTest::addColumn<QList<int>>("selection"); // grid selection, in order
    QTest::addColumn<int>("times");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("current"); // qryTaxer's row afterwards
    QTest::newRow("two rows") << QStringList() << QList<int>{1, 2} << 1 << QStringList{"T01", "T02"} << 2;
    QTest::newRow("same rows twice") << QStringList() << QList<int>{1, 2} << 2 << QStringList{"T01", "T02"}
                                     << 2;
    QTest::newRow("sorted whatever the order")
        << QStringList() << QList<int>{3, 0, 1} << 1 << QStringList{"K01", "T01", "T03"} << 1;
    QTest::newRow("listed in other letter case")
        << QStringList{"t01"} << QList<int>{1} << 1 << QStringList{"t01"} << 1;
    QTest::newRow("no selection") << QStringList() << QList<int>{} << 1 << QStringList() << 0;
}

void TestExport::addToList()
{
    QFETCH(QStringList, listed);
    QFETCH(QList<int>, selection);
    QFETCH(int, times);
    QFETCH(QStringList, expected);
    QFETCH(int, current);
    listCodes(listed);
    m_selected = selection;
    for (int i = 0; i < times; ++i)
        m_panel->N20Click();
    QCOMPARE(m_panel->codes(), expected);
    QCOMPARE(m_qryTaxer->recNo(), current);
}

void TestExport::removeAndClear()
{
    listCodes({"T01", "T02", "T03"});
    QListWidget* lb = m_panel->lbExport;
    // No item selected: nothing goes.
    lb->setCurrentRow(-1);
    m_panel->lbExportDblClick();
    QCOMPARE(lb->count(), 3);
    lb->setCurrentRow(1);
    m_panel->lbExportDblClick();
    QCOMPARE(m_panel->codes(), (QStringList{"T01", "T03"}));

    Msg::queueAnswer(QMessageBox::No);
    QTest::mouseClick(m_panel->btnClearLB, Qt::LeftButton);
    QCOMPARE(Msg::shownTexts(), QStringList{"清除税户导出列表吗？"});
    QCOMPARE(lb->count(), 2);
    Msg::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(m_panel->btnClearLB, Qt::LeftButton);
    QCOMPARE(lb->count(), 0);
}

void TestExport::cancelledSaveDialog()
{
    listCodes({"T01"});
    const QStringList before = ownRows();
    tk::answerPassword("pw");
    FileDlg::queueCancel();
    m_panel->show();
    QTest::mouseClick(m_panel->btnExport, Qt::LeftButton);
    QCOMPARE(FileDlg::asked().size(), 1);
    QVERIFY(!m_panel->isVisible());
    QVERIFY(!QFileInfo::exists(package()));
    QVERIFY(!QFileInfo::exists(tmp()));
    QCOMPARE(ownRows(), before);
    QVERIFY(Msg::shownTexts().isEmpty());
}

void TestExport::packageHoldsAndDeletes_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("closeDialog");
    QTest::newRow("with password") << "s3cret" << false;
    QTest::newRow("empty password") << "" << false;
    QTest::newRow("password dialog closed") << "" << true;
}

void TestExport::packageHoldsAndDeletes()
{
    QFETCH(QString, password);
    QFETCH(bool, closeDialog);
    const QStringList kept = tk::taxerRows("K%") + tk::detailRows("K%");
    const QStringList otherUser = tk::taxerRows("Z%") + tk::detailRows("Z%");
    listCodes({"T01", "T03"});
    runExport(package(), password, closeDialog);

    QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("已将2个税户导出到文件%1。").arg(package())});
    QVERIFY(!m_panel->isVisible());
    QCOMPARE(m_panel->codes(), (QStringList{"T01", "T03"})); // the list stays
    QVERIFY(!QFileInfo::exists(tmp()));
    QVERIFY(m_reQueries > 0);

    const tk::Outside o = tk::readOutside(package(), password);
    QVERIFY(o.ok);
    QCOMPARE(o.names, (QStringList{"taxer.dat", "area.dat", "tax.dat", "audit.dat", "yingye.dat"}));
    QCOMPARE(o.encrypted, QList<bool>(5, !password.isEmpty()));
    const auto rowsOf = [&](const char* entry) { return o.recordsets.value(entry).value("rows").toArray(); };
    const auto columnsOf = [&](const char* entry) {
        QStringList names;
        for (const QJsonValue& c : o.recordsets.value(entry).value("columns").toArray())
            names << c.toObject().value("name").toString();
        return names;
    };
    // All columns in the table's order, mCode and tSelected included.
    QCOMPARE(columnsOf("taxer.dat").first(), QStringLiteral("mCode"));
    QCOMPARE(columnsOf("taxer.dat").last(), QStringLiteral("tSelected"));
    QCOMPARE(columnsOf("yingye.dat"), (QStringList{"tid", "tCode", "tStartDate", "tEndDate", "tRemark"}));
    QCOMPARE(rowsOf("taxer.dat").size(), 2);
    QCOMPARE(rowsOf("area.dat").size(), 2); // every area of U1, none of U2
    QCOMPARE(rowsOf("yingye.dat").size(), 2);
    QCOMPARE(rowsOf("audit.dat").size(), 2);
    QCOMPARE(rowsOf("tax.dat").size(), 2);
    QCOMPARE(rowsOf("tax.dat").at(0).toArray().at(3).toDouble(), 10.25);

    // Gone with every detail row; the others untouched.
    QCOMPARE(tk::taxerRows("T%").size(), 1);
    QCOMPARE(tk::taxerRows("T02").size(), 1);
    QCOMPARE(tk::detailRows("T01"), QStringList());
    QCOMPARE(tk::detailRows("T03"), QStringList());
    QCOMPARE(tk::taxerRows("K%") + tk::detailRows("K%"), kept);
    QCOMPARE(tk::taxerRows("Z%") + tk::detailRows("Z%"), otherUser);
    QVERIFY(!m_qryTaxer->locate("tCode", "T01"));
    QVERIFY(m_qryTaxer->locate("tCode", "T02"));
}

void TestExport::existingPackageUpdatedInPlace()
{
    // A package with an entry of its own and an older taxer.dat.
    QTemporaryDir src;
    const QString other = src.filePath("readme.txt"), oldTaxer = src.filePath("taxer.dat");
    for (const QString& p : {other, oldTaxer}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    }
    QVERIFY(arkelle::zipList({other, oldTaxer}, package(), "pw").written);

    listCodes({"T02"});
    runExport(package(), "pw");
    QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("已将1个税户导出到文件%1。").arg(package())});
    const tk::Outside o = tk::readOutside(package(), "pw");
    QVERIFY(o.ok);
    QCOMPARE(o.names,
             (QStringList{"readme.txt", "taxer.dat", "area.dat", "tax.dat", "audit.dat", "yingye.dat"}));
    QCOMPARE(o.recordsets.value("taxer.dat").value("rows").toArray().size(), 1);
    QCOMPARE(tk::taxerRows("T02"), QStringList());
}

void TestExport::failedWriteDeletesNothing_data()
{
    QTest::addColumn<QString>("target");      // relative to the output folder
    QTest::addColumn<QByteArray>("existing"); // content placed at the target first
    QTest::addColumn<bool>("corrupt");        // damage the package once written
    QTest::addColumn<QString>("message");     // start of the message
    QTest::newRow("folder missing") << "no/such/folder/pkg.zdt" << QByteArray() << false
                                    << "无法写入导出文件";
    QTest::newRow("target is no archive")
        << "pkg.zdt" << QByteArray("not an archive at all") << false << "无法写入导出文件";
    QTest::newRow("package damaged after writing") << "pkg.zdt" << QByteArray() << true << "导出文件";
}

void TestExport::failedWriteDeletesNothing()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, existing);
    QFETCH(bool, corrupt);
    QFETCH(QString, message);
    const QString path = m_out.filePath(target);
    if (!existing.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(existing);
    }
    if (corrupt)
        transfer::setStepHook([path](const char* step) {
            if (qstrcmp(step, "written") == 0)
                damage(path);
        });
    const QStringList before = ownRows();
    listCodes({"T01", "T02"});
    runExport(path, "pw");
    transfer::setStepHook({});

    const QStringList shown = Msg::shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(message) && shown.first().contains(path), qPrintable(shown.first()));
    QVERIFY(shown.first().contains(QStringLiteral("没有删除任何税户")));
    // The engine's own account goes to the error log.
    if (!corrupt)
        QVERIFY(m_install->errorLog().contains(QStringLiteral("frmMain.btnExportClick")));
    QCOMPARE(ownRows(), before);
    QVERIFY(m_panel->isVisible());
    QVERIFY(!QFileInfo::exists(tmp()));
    if (!existing.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), existing);
    }

    // The user can try again into a sound file.
    Msg::clearShown();
    const QString retry = m_out.filePath(QStringLiteral("retry.zdt"));
    QFile::remove(retry);
    runExport(retry, "pw");
    QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("已将2个税户导出到文件%1。").arg(retry)});
    QCOMPARE(tk::taxerRows("T0%").size(), 1);
}

// A package whose entries are newer than this export's files takes none of
// them (zipList reports nothing written): the user is told, nothing goes.
void TestExport::nothingWrittenDeletesNothing()
{
    QTemporaryDir src;
    QStringList files;
    for (const char* n : {"taxer.dat", "area.dat", "tax.dat", "audit.dat", "yingye.dat"}) {
        QFile f(src.filePath(n));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{}");
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(2), QFileDevice::FileModificationTime));
        files << f.fileName();
    }
    QVERIFY(arkelle::zipList(files, package(), "pw").written);
    const QStringList before = ownRows();
    listCodes({"T01"});
    runExport(package(), "pw");
    const QStringList shown = Msg::shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(package()) && shown.first().contains(QStringLiteral("没有删除任何税户")),
             qPrintable(shown.first()));
    QCOMPARE(ownRows(), before);
    QVERIFY(m_panel->isVisible());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
