// The main window as a user meets it: layout, menus and actions, the grids
// and their columns, the about box, a user without taxpayers.
#include "tests/registry/registryfixture.h"
#include "tests/support/dialogdriver.h"
#include "registry/aboutbox.h"
#include "registry/editbuttons.h"
#include "dictionaries/area.h"
#include "dictionaries/datadic.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

using regtest::Window;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { driver::stopAll(); }
    void menusAndActions();
    void layoutAndColumns();
    void areaNameOfOwnAreasOnly();
    void userWithoutTaxpayers();
    void pickListsAndSearchBoxesFromSettings();
    void modelsPassTheTester();
    void aboutBox();
    void dictionaryActionRefills_data();
    void dictionaryActionRefills();
    void areaActionRereadsAreas();
};

void TestMainWindow::menusAndActions()
{
    Window w;
    QCOMPARE(w.main->windowTitle(), QStringLiteral("Corvane"));
    QStringList menus;
    for (QAction* a : w.main->menuBar()->actions()) {
        QStringList items;
        for (QAction* i : a->menu()->actions())
            items << (i->isSeparator() ? QStringLiteral("-") : i->text());
        menus << a->text() + QLatin1Char(':') + items.join(QLatin1Char(','));
    }
    QCOMPARE(menus, QStringList({QStringLiteral("文件:导入数据,导出数据,-,退出"),
                                 QStringLiteral("登记:登记片区,-,登记税户类型,登记税务状态,登记行业种类"),
                                 QStringLiteral("统计:打印纳税人列表,打印纳税人细目,-,统计报表,税收统计图"),
                                 QStringLiteral("帮助:关于")}));
    QStringList categories;
    for (QAction* a : w.main->act()) {
        QVERIFY(a->isEnabled());
        categories << a->property("category").toString();
    }
    QCOMPARE(categories, QStringList({"文件", "文件", "文件", "登记", "登记", "登记", "登记", "统计打印", "统计打印",
                                      "统计打印", "统计打印", "帮助"}));
    const QList<QAction*> popup = w.main->PopupMenu1->actions();
    QCOMPARE(popup.size(), 2);
    QCOMPARE(popup.at(0)->text(), QStringLiteral("添加到打印列表"));
    QCOMPARE(popup.at(1), w.main->actPrintDetail);
}

void TestMainWindow::layoutAndColumns()
{
    Window w([] { regtest::addTaxer("U1", "T1", "甲"); });
    QStringList captions;
    const QAbstractItemModel* m = w.grid().model();
    for (int c = 0; c < m->columnCount(); ++c)
        captions << m->headerData(c, Qt::Horizontal).toString();
    // seventeen columns, mCode and tSex hidden
    QCOMPARE(captions, QStringList({"选", "税户代码", "注册名称", "所属行业", "税户类型", "税户状态", "状态更改日期",
                                    "注册日期", "注册地址", "业主", "身份证号", "联系电话", "开业日期", "片区名称",
                                    "片区代码"}));
    QCOMPARE(w.taxer().fieldIndex("mCode") >= 0 && w.taxer().fieldIndex("tSex") >= 0, true);
    QCOMPARE(w.grid().columnWidth(0), 20);
    QCOMPARE(w.grid().columnWidth(8), 150);

    QStringList bars;
    for (const char* part : {"RzSizePanel2", "RzSizePanel5", "RzSizePanel4"})
        bars << w.main->findChild<QWidget*>(part)->findChild<QStatusBar*>()->findChild<QLabel*>()->text();
    QCOMPARE(bars, QStringList({"营业状况", "核定情况", "缴税情况"}));

    QStringList hints;
    for (const char* name : {"btnTaxerAdd", "btnTaxerCancel", "btnYingyeDel", "btnAuditSave", "btnTaxAdd"}) {
        auto* b = w.main->findChild<QToolButton*>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QCOMPARE(b->accessibleName(), b->toolTip());
        hints << b->toolTip() + QString::number(b->property("tag").toInt());
    }
    QCOMPARE(hints, QStringList({"添加纳税人资料1", "放弃修改纳税人资料4", "删除营业情况6", "保存核定情况11",
                                 "添加纳税记录13"}));

    // Search panel tab order.
    QStringList order;
    QWidget* wgt = w.search().edtTCode;
    for (int i = 0; i < 13; ++i, wgt = wgt->nextInFocusChain()) {
        while (wgt->focusPolicy() == Qt::NoFocus || !wgt->isVisible() || wgt->objectName().isEmpty())
            wgt = wgt->nextInFocusChain();
        order << wgt->objectName();
    }
    QCOMPARE(order, QStringList({"edtTCode", "edtRegName", "cbbTrade", "cbbTaxType", "cbbTaxStatus", "edtContacter",
                                 "edtRegAddr", "btnSearch", "btnClearSearch", "edtQuicktCode", "btnClearQuickTCode",
                                 "cbbSelected", "btnClearSelected"}));
    QCOMPARE(w.search().cbbSelected->currentIndex(), -1);

    if (qEnvironmentVariableIsSet("CORVANE_SHOTS"))
        w.main->grab().save(qEnvironmentVariable("CORVANE_SHOTS") + "/main.png");
}

void TestMainWindow::areaNameOfOwnAreasOnly()
{
    Window w([] {
        QVERIFY(execSql("t", "INSERT INTO area(aCode, aName, mCode) VALUES('A1', '东城区一二三四五六七八九十', 'U1'), "
                             "('B1', '西城', 'U2')"));
        regtest::addTaxer("U1", "T1", "", "a1");
        regtest::addTaxer("U1", "T2", "", "B1");
        regtest::addTaxer("U1", "T3");
    });
    const int col = w.taxer().fieldIndex("aName");
    QCOMPARE(w.taxer().valueAt(0, col).toString(), QStringLiteral("东城区一二三四五六七")); // 20 bytes
    QCOMPARE(w.taxer().valueAt(1, col).toString(), QString());
    QCOMPARE(w.taxer().valueAt(2, col).toString(), QString());
}

void TestMainWindow::userWithoutTaxpayers()
{
    Window w([] { regtest::addTaxer("U2", "X1"); });
    QVERIFY(w.taxer().isActive());
    QCOMPARE(w.taxer().recordCount(), 0);
    for (Dataset* d : {w.details().qryYingye, w.details().qryAudit, w.details().qryTax}) {
        QVERIFY(d->isActive());
        QCOMPARE(d->recordCount(), 0);
    }
    // delete stays enabled on an empty browsed list; save and abandon do not
    QVERIFY(w.main->findChild<QToolButton*>("btnTaxerDel")->isEnabled());
    QVERIFY(!w.main->findChild<QToolButton*>("btnTaxerSave")->isEnabled());
}

void TestMainWindow::pickListsAndSearchBoxesFromSettings()
{
    Window w;
    QStringList types;
    readIniList(types, IniFileName, "DataDic", false, "税户类型");
    QVERIFY(!types.isEmpty());
    QCOMPARE(w.grid().pickList("taxType"), types);
    QCOMPARE(w.search().cbbTaxType->count(), types.size() + 1);
    QCOMPARE(w.search().cbbTaxType->itemText(0), QString());
    QVERIFY(w.search().cbbTaxType->currentIndex() <= 0); // nothing chosen: no condition
}

void TestMainWindow::modelsPassTheTester()
{
    Window w([] {
        regtest::addTaxer("U1", "T1");
        QVERIFY(execSql("t", "INSERT INTO tax(tCode, tDate, tTax) VALUES('T1', '2004-01-02', 5)"));
    });
    for (DbGrid* g : {&w.grid(), w.details().gridYingye, w.details().gridAudit, w.details().gridTax}) {
        QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        g->model()->data(g->model()->index(0, 0));
    }
    QAbstractItemModelTester tester(w.grid().model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.taxer().append();
    w.taxer().setValue("tCode", "T2");
    w.taxer().post();
    w.search([](SearchPanel&) {});
    QCOMPARE(w.codes(), QStringList({"T1", "T2"}));
}

void TestMainWindow::aboutBox()
{
    Window w;
    QDialog* seen = nullptr;
    QTimer::singleShot(50, [&] {
        seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(seen);
        QCOMPARE(seen->windowTitle(), QStringLiteral("版本说明"));
        auto* ok = seen->findChild<QPushButton*>("btnOK");
        QCOMPARE(ok->text(), QStringLiteral("确定"));
        QVERIFY(seen->findChild<QLabel*>("lblVersion")->text().contains(QLatin1String(CORVANE_TEST_VERSION)));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    w.main->actAbout->trigger();
    QVERIFY(seen);
}

void TestMainWindow::dictionaryActionRefills_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("确定 stores and refills") << true;
    QTest::newRow("关闭 leaves all as it was") << false;
}

void TestMainWindow::dictionaryActionRefills()
{
    QFETCH(bool, confirm);
    Window w;
    driver::whenShown<TfrmDataDic>(frmDataDic, [confirm](TfrmDataDic* f) {
        f->edtItem->setText(QStringLiteral("新行业"));
        QTest::mouseClick(f->btnAdd, Qt::LeftButton);
        driver::click(f, confirm ? "btnOK" : "btnClose");
    });
    w.main->actTrade->trigger();
    QTRY_VERIFY(!frmDataDic);
    QCOMPARE(w.grid().pickList("tTrade").contains(QStringLiteral("新行业")), confirm);
    QCOMPARE(w.search().cbbTrade->findText(QStringLiteral("新行业")) > 0, confirm);
    QStringList stored;
    readIniList(stored, IniFileName, "DataDic", false, "行业种类");
    QCOMPARE(stored.contains(QStringLiteral("新行业")), confirm);
}

void TestMainWindow::areaActionRereadsAreas()
{
    Window w([] { regtest::addTaxer("U1", "T1", "", "N1"); });
    const int col = w.taxer().fieldIndex("aName");
    QCOMPARE(w.taxer().valueAt(0, col).toString(), QString());
    // the area is added while the editor is open; closing by 关闭 still re-reads
    driver::whenShown<TfrmArea>(frmArea, [](TfrmArea* f) {
        QVERIFY(execSql("t", "INSERT INTO area(aCode, aName, mCode) VALUES('n1', '新区', 'U1')"));
        driver::click(f, "btnClose");
    });
    w.main->actArea->trigger();
    QTRY_VERIFY(!frmArea);
    QCOMPARE(w.taxer().valueAt(0, col).toString(), QStringLiteral("新区"));
    QCOMPARE(w.main->taxers->qryArea->recordCount(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
