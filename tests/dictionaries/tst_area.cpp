// The area editor: listing, the save check, the edit buttons, 确定 with a row
// still open, and the main window's area names after the editor closes.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/datasetmodel.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "dictionaries/area.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"

#include <QHeaderView>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

const QString kLongName = QStringLiteral("城关镇人民路第一社区居委会片区");

void addArea(const QString& code, const QString& name, const QString& owner)
{
    QVERIFY(execSql("t", "INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, ?)", {code, name, owner}));
}

QString areaColumn(const QString& code, const char* column)
{
    // column is one of the test's own names
    return getSqlValue("t", QStringLiteral("SELECT %1 FROM area WHERE aCode=?").arg(QLatin1String(column)),
                       {code});
}

QStringList gridColumn(DbGrid* grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, column).data().toString();
    return out;
}

// Counts the uniqueness queries the engine runs while it is alive.
class CountSpy {
public:
    CountSpy() { sqlite3_trace_v2(frmDm->handle(), SQLITE_TRACE_STMT, &CountSpy::trace, this); }
    ~CountSpy() { sqlite3_trace_v2(frmDm->handle(), 0, nullptr, nullptr); }
    int counts = 0;

private:
    static int trace(unsigned, void* self, void* stmt, void*)
    {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(stmt));
        if (sql && QByteArray(sql).contains("COUNT(*) FROM area"))
            ++static_cast<CountSpy*>(self)->counts;
        return 0;
    }
};

} // namespace

class TestArea : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("u1");
        addArea(QStringLiteral("A01"), QStringLiteral("东片"), QStringLiteral("u1"));
        addArea(QStringLiteral("B01"), QStringLiteral("西片"), QStringLiteral("u2"));
    }
    void cleanup()
    {
        driver::stopAll();
        m_install.reset();
    }

    void listsOwnAreas();
    void saveCheck_data();
    void saveCheck();
    void buttons();
    void leaving_data();
    void leaving();
    void mainWindowFollows_data();
    void mainWindowFollows();
};

void TestArea::listsOwnAreas()
{
    addArea(QStringLiteral("A02"), kLongName, QStringLiteral("U1")); // owner in another case is the same user
    driver::whenShown<TfrmArea>(frmArea, [](TfrmArea* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("管理片区"));
        QCOMPARE(f->size(), QSize(367, 232));
        QCOMPARE(f->panelMaintain->height(), 62);
        QVERIFY(f->panelMaintain->isVisible());
        DbGrid* g = f->gridArea;
        QCOMPARE(g->model()->columnCount(), 2); // mCode hidden
        QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("片区代码"));
        QCOMPARE(g->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("片区名称"));
        QCOMPARE(g->columnWidth(0), 150);
        QCOMPARE(g->columnWidth(1), 150);
        QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(g->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(gridColumn(g, 0), (QStringList{"A01", "A02"}));
        QCOMPARE(gridColumn(g, 1), (QStringList{"东片", kLongName})); // whole, not cut
        QCOMPARE(f->edtCode->text(), QStringLiteral("A01"));
        QCOMPARE(f->edtName->text(), QStringLiteral("东片"));
        f->qryArea->next();
        QCOMPARE(f->edtName->text(), kLongName);
        QVERIFY(f->btnAdd->isEnabled() && f->btnDel->isEnabled());
        QVERIFY(!f->btnSave->isEnabled() && !f->btnCancel->isEnabled());
        driver::click(f, "btnClose");
    });
    QVERIFY(!manageArea());
    QVERIFY(!frmArea);
}

void TestArea::saveCheck_data()
{
    QTest::addColumn<bool>("adding"); // else the code of A01 is edited
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message"); // part of the one message shown; empty: saved
    QTest::addColumn<int>("queries");     // uniqueness queries run

    const QString empty = QStringLiteral("请输入片区代码！");
    const QString control = QStringLiteral("片区代码中不能有制表符、换行符等控制字符，请更改片区代码！");
    const QString taken = QStringLiteral("已经存在片区代码为%1的片区，请更改片区代码！");
    QTest::newRow("new area") << true << "C01"
                              << "南片"
                              << "" << 1;
    QTest::newRow("new area without name") << true << "C01"
                                           << ""
                                           << "" << 1;
    QTest::newRow("new area with quote") << true << "O'1"
                                         << "北'片"
                                         << "" << 1;
    QTest::newRow("new area without code") << true << ""
                                           << "南片" << empty << 0;
    QTest::newRow("new area with blank code") << true << "   "
                                              << "南片" << empty << 0;
    QTest::newRow("new area with tab in code") << true << "C\t01"
                                               << "南片" << control << 0;
    QTest::newRow("another user's code") << true << "B01"
                                         << "南片" << taken.arg("B01") << 1;
    QTest::newRow("another user's code, other case") << true << "b01"
                                                     << "南片" << taken.arg("b01") << 1;
    QTest::newRow("own code again") << true << "a01"
                                    << "南片" << taken.arg("a01") << 1;
    QTest::newRow("rename") << false << "A01"
                            << "新东片"
                            << "" << 0;
    QTest::newRow("case of own code") << false << "a01"
                                      << "东片"
                                      << "" << 1;
    QTest::newRow("new code") << false << "A09"
                              << "东片"
                              << "" << 1;
    QTest::newRow("code of another user") << false << "B01"
                                          << "东片" << taken.arg("B01") << 1;
    QTest::newRow("code of another user, other case") << false << "b01"
                                                      << "东片" << taken.arg("b01") << 1;
    QTest::newRow("code cleared") << false << ""
                                  << "东片" << empty << 0;
    QTest::newRow("name the table refuses")
        << true << "C01" << QString(101, u'名') << "片区名称超过100个字符" << 1;
}

// Typed into the two edits below the grid and saved with 保存.
void TestArea::saveCheck()
{
    QFETCH(bool, adding);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(int, queries);

    driver::whenShown<TfrmArea>(frmArea, [&](TfrmArea* f) {
        if (adding) {
            driver::click(f, "btnAdd");
            QCOMPARE(f->qryArea->state(), DatasetState::Insert);
            QCOMPARE(f->edtCode->text(), QString());
        }
        driver::type(f, "edtCode", code);
        driver::type(f, "edtName", name);
        QCOMPARE(f->qryArea->state(), adding ? DatasetState::Insert : DatasetState::Edit);
        QVERIFY(!f->btnAdd->isEnabled() && !f->btnDel->isEnabled());
        QVERIFY(f->btnSave->isEnabled() && f->btnCancel->isEnabled());
        CountSpy spy;
        driver::click(f, "btnSave");
        QCOMPARE(spy.counts, queries);
        QCOMPARE(Msg::shownTexts().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(Msg::shownTexts().first().contains(message), qPrintable(Msg::shownTexts().first()));
        if (message.isEmpty()) {
            QCOMPARE(f->qryArea->state(), DatasetState::Browse);
            QVERIFY(f->btnAdd->isEnabled() && !f->btnSave->isEnabled());
        } else {
            // refused: the row keeps its state and its input
            QVERIFY(f->qryArea->isEditing());
            QCOMPARE(f->edtCode->text(), code);
            QCOMPARE(f->qryArea->asString("aName"), name);
        }
        driver::click(f, "btnClose");
    });
    QVERIFY(!manageArea());
    if (message.isEmpty()) {
        QCOMPARE(areaColumn(code, "aCode"), code); // stored as typed, also its letter case
        QCOMPARE(areaColumn(code, "aName"), name);
        QCOMPARE(areaColumn(code, "mCode"), QStringLiteral("u1"));
    } else {
        QCOMPARE(areaColumn(QStringLiteral("A01"), "aName"), QStringLiteral("东片"));
        QCOMPARE(areaColumn(QStringLiteral("B01"), "mCode"), QStringLiteral("u2"));
    }
    QCOMPARE(getSqlValue("t", "SELECT COUNT(*) FROM area"),
             QString::number(adding && message.isEmpty() ? 3 : 2));
}

// 删除 deletes at once; 放弃修改 restores the row; Insert in the grid starts a
// new row; Ctrl+Delete asks first.
void TestArea::buttons()
{
    addArea(QStringLiteral("A02"), QStringLiteral("中片"), QStringLiteral("u1"));
    driver::whenShown<TfrmArea>(frmArea, [](TfrmArea* f) {
        driver::type(f, "edtName", QStringLiteral("改名"));
        QCOMPARE(f->gridArea->model()->index(0, 1).data().toString(), QStringLiteral("改名"));
        driver::click(f, "btnCancel");
        QCOMPARE(f->qryArea->state(), DatasetState::Browse);
        QCOMPARE(f->edtName->text(), QStringLiteral("东片"));
        QCOMPARE(gridColumn(f->gridArea, 1), (QStringList{"东片", "中片"}));

        // a cell typed in the grid shows in the edit below it
        QVERIFY(f->dsArea->setData(f->dsArea->index(0, 1), QStringLiteral("格内")));
        QCOMPARE(f->edtName->text(), QStringLiteral("格内"));
        QVERIFY(f->btnSave->isEnabled());
        driver::click(f, "btnCancel");

        driver::click(f, "btnDel");
        QVERIFY(Msg::shownTexts().isEmpty());
        QCOMPARE(gridColumn(f->gridArea, 0), QStringList{"A02"});
        QCOMPARE(f->edtCode->text(), QStringLiteral("A02"));

        QTest::keyClick(f->gridArea, Qt::Key_Insert);
        QCOMPARE(f->qryArea->state(), DatasetState::Insert);
        QCOMPARE(f->qryArea->asString("mCode"), QStringLiteral("u1"));
        driver::click(f, "btnCancel");
        QCOMPARE(gridColumn(f->gridArea, 0), QStringList{"A02"});

        Msg::queueAnswer(QMessageBox::Ok);
        QTest::keyClick(f->gridArea, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(Msg::shown().size(), 1);
        QCOMPARE(f->gridArea->model()->rowCount(), 0);
        QCOMPARE(f->edtCode->text(), QString());
        // typing into the code edit of an empty list starts a new area
        driver::type(f, "edtCode", QStringLiteral("N1"));
        QCOMPARE(f->qryArea->state(), DatasetState::Insert);
        driver::click(f, "btnSave");
        QCOMPARE(gridColumn(f->gridArea, 0), QStringList{"N1"});
        driver::click(f, "btnClose");
    });
    QVERIFY(!manageArea());
    QStringList codes;
    sqlToList("t", "SELECT aCode FROM area ORDER BY aCode", codes);
    QCOMPARE(codes, (QStringList{"B01", "N1"}));
}

void TestArea::leaving_data()
{
    QTest::addColumn<QString>("code"); // typed into a new row
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer"); // 0: no question expected
    QTest::addColumn<bool>("stays");
    QTest::addColumn<bool>("stored");

    const int yes = QMessageBox::Yes, no = QMessageBox::No;
    QTest::newRow("确定, no code, yes") << ""
                                        << "btnOK" << yes << true << false;
    QTest::newRow("确定, no code, no") << ""
                                       << "btnOK" << no << false << false;
    QTest::newRow("确定, with code, yes") << "C01"
                                          << "btnOK" << yes << false << true;
    QTest::newRow("确定, with code, no") << "C01"
                                         << "btnOK" << no << false << false;
    QTest::newRow("关闭 drops without a question") << "C01"
                                                   << "btnClose" << 0 << false << false;
}

void TestArea::leaving()
{
    QFETCH(QString, code);
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(bool, stays);
    QFETCH(bool, stored);

    bool stayed = false;
    driver::whenShown<TfrmArea>(frmArea, [&](TfrmArea* f) {
        driver::click(f, "btnAdd");
        driver::type(f, "edtCode", code);
        driver::type(f, "edtName", QStringLiteral("南片"));
        if (answer)
            Msg::queueAnswer(QMessageBox::StandardButton(answer));
        driver::click(f, button.toLatin1().constData());
        QStringList expected;
        if (answer)
            expected << QStringLiteral("片区数据已经修改，是否保存？");
        if (stays)
            expected << QStringLiteral("请输入片区代码！");
        QCOMPARE(Msg::shownTexts(), expected);
        stayed = f->isVisible();
        if (stayed) {
            QCOMPARE(f->qryArea->state(), DatasetState::Insert);
            QCOMPARE(f->edtName->text(), QStringLiteral("南片"));
            driver::click(f, "btnClose");
        }
    });
    QCOMPARE(manageArea(), button == QLatin1String("btnOK") && !stays);
    QCOMPARE(stayed, stays);
    QCOMPARE(getSqlValue("t", "SELECT COUNT(*) FROM area WHERE aName=?", {QStringLiteral("南片")}),
             stored ? QStringLiteral("1") : QStringLiteral("0"));
}

void TestArea::mainWindowFollows_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("closed with 确定") << "btnOK";
    QTest::newRow("closed with 关闭 after 保存") << "btnClose";
}

// The main window's taxpayer list names its area through its own area list;
// re-opening that list after the editor shows a new area's name, cut to ten
// Chinese characters there while the editor keeps it whole.
void TestArea::mainWindowFollows()
{
    QFETCH(QString, button);
    QVERIFY(execSql("t", "INSERT INTO taxer(mCode, tCode, aCode) VALUES('u1', 'T1', 'N01')"));
    Dataset mainArea;
    QVERIFY(
        runSql("t", mainArea, "SELECT * FROM AREA WHERE mCode=? ORDER BY aCode", true, {UserInfo.UserCode}));
    Dataset taxer;
    taxer.addLookupField(QStringLiteral("aName"), QStringLiteral("aCode"), &mainArea, QStringLiteral("aCode"),
                         QStringLiteral("aName"), 20);
    QVERIFY(
        runSql("t", taxer, "SELECT * FROM taxer WHERE mCode=? ORDER BY tCode", true, {UserInfo.UserCode}));
    QCOMPARE(taxer.asString("aName"), QString());

    driver::whenShown<TfrmArea>(frmArea, [&](TfrmArea* f) {
        driver::click(f, "btnAdd");
        driver::type(f, "edtCode", QStringLiteral("n01"));
        driver::type(f, "edtName", kLongName);
        driver::click(f, "btnSave");
        QCOMPARE(f->edtName->text(), kLongName);
        driver::click(f, button.toLatin1().constData());
    });
    manageArea();
    mainArea.close(); // as the main window's activeQuery re-opens its list
    mainArea.open();
    QCOMPARE(taxer.asString("aName"), kLongName.left(10));
}

QTEST_MAIN(TestArea)
#include "tst_area.moc"
