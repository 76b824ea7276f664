// Editing taxpayers and their detail rows in the main window: the save
// check, deletes with their detail rows, the button enabling, the detail
// refresh, the assessment tax and the date buttons.
#include "app/selectdate.h"
#include "tests/registry/registryfixture.h"
#include "tests/support/dialogdriver.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QToolButton>

using regtest::count;
using regtest::Window;

namespace {

void fill()
{
    for (const char* c : {"ab01", "T2", "T3", "T4"}) {
        regtest::addTaxer("U1", QString::fromLatin1(c));
        for (const char* t : {"yingye", "audit", "tax"})
            QVERIFY(execSql("t", QStringLiteral("INSERT INTO %1(tCode) VALUES(?)").arg(QLatin1String(t)),
                            {QString::fromLatin1(c)}));
    }
    regtest::addTaxer("U2", "OTHER");
}

int details(const QString& code)
{
    return count("SELECT (SELECT COUNT(*) FROM yingye WHERE tCode = ?) + (SELECT COUNT(*) FROM audit WHERE tCode = ?)"
                 " + (SELECT COUNT(*) FROM tax WHERE tCode = ?)",
                 {code, code, code});
}

QToolButton* button(Window& w, const char* name)
{
    return w.main->findChild<QToolButton*>(QString::fromLatin1(name));
}

QString enabled(Window& w, const char* stem)
{
    QString s;
    for (const char* op : {"Add", "Del", "Save", "Cancel"})
        s += button(w, QStringLiteral("btn%1%2").arg(QLatin1String(stem), QLatin1String(op)).toLatin1())->isEnabled()
                 ? QLatin1Char('1')
                 : QLatin1Char('0');
    return s;
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { driver::stopAll(); }
    void saveCheck_data();
    void saveCheck();
    void unchangedCodeNeedsNoUniquenessQuery();
    void newTaxpayerDefaultsAndUnchangedRowDropped();
    void codeChangeCarriesDetailRows();
    void deleteOneAndSeveral();
    void deleteRollsBackOnFailure();
    void buttonEnabling();
    void typedRowSavedBeforeSearch();
    void refusedRowKeptOnSearchAndClose();
    void detailRefreshOnceAfterHeldKey();
    void newDetailRows();
    void assessmentTax_data();
    void assessmentTax();
    void dateButton_data();
    void dateButton();
    void columnKinds();
    void codeChangeRefreshesDetails();
    void openEditorTextSavedOnClose();
    void typedDetailRowGoesWithItsTaxpayer();
};

void TestEditing::saveCheck_data()
{
    QTest::addColumn<QString>("row");  // existing row to edit, or empty for a new one
    QTest::addColumn<QVariant>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("new without code") << "" << QVariant() << "请输入税记代码！";
    QTest::newRow("spaces only") << "" << QVariant(" \t ") << "请输入税记代码！";
    QTest::newRow("another user's code, other case") << "" << QVariant("other")
                                                      << "已经存在税户代码为other的数据，请更改税户代码!";
    QTest::newRow("changed to a code in use") << "T2" << QVariant("T3")
                                              << "已经存在税户代码为T3的数据，请更改税户代码!";
    QTest::newRow("case change of its own code") << "ab01" << QVariant("AB01") << "";
    QTest::newRow("new code with a quote") << "" << QVariant("O'1") << "";
    QTest::newRow("leading blank kept") << "" << QVariant(" T9") << "";
}

void TestEditing::saveCheck()
{
    QFETCH(QString, row);
    QFETCH(QVariant, code);
    QFETCH(QString, message);
    Window w(fill);
    Dataset& t = w.taxer();
    if (row.isEmpty()) {
        QTest::mouseClick(button(w, "btnTaxerAdd"), Qt::LeftButton);
    } else {
        QVERIFY(w.moveTo(row));
        t.edit();
    }
    if (!code.isNull())
        t.setValue("tCode", code);
    t.setValue("tName", "名称");
    QTest::mouseClick(button(w, "btnTaxerSave"), Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(Msg::shownTexts(), QStringList());
        QCOMPARE(t.state(), DatasetState::Browse);
        QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE tCode = ? AND tName = '名称'", {code}), 1);
        QCOMPARE(getSqlValue("t", "SELECT tCode FROM taxer WHERE tName = '名称'"), code.toString());
    } else {
        QCOMPARE(Msg::shownTexts(), QStringList{message});
        QVERIFY(t.isEditing()); // input kept
        QCOMPARE(t.asString("tName"), QStringLiteral("名称"));
        QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE tName = '名称'"), 0);
    }
}

void TestEditing::unchangedCodeNeedsNoUniquenessQuery()
{
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    regtest::StatementLog log;
    log.start();
    w.taxer().edit();
    w.taxer().setValue("tName", "新名");
    w.taxer().post();
    log.stop();
    QCOMPARE(log.matching("COUNT(*)"), 0);
    QCOMPARE(getSqlValue("t", "SELECT tName FROM taxer WHERE tCode = 'T2'"), QStringLiteral("新名"));
}

void TestEditing::newTaxpayerDefaultsAndUnchangedRowDropped()
{
    Window w(fill);
    w.grid().setFocus();
    QTest::keyClick(&w.grid(), Qt::Key_Insert);
    QCOMPARE(w.taxer().state(), DatasetState::Insert);
    QCOMPARE(w.taxer().asString("mCode"), QStringLiteral("U1"));
    QCOMPARE(w.taxer().value("tSelected").toInt(), 0);
    QVERIFY(w.taxer().isNull("tName"));
    // focus leaves the grid for another control: the untouched row goes
    w.search().edtTCode->setFocus();
    QCOMPARE(w.taxer().state(), DatasetState::Browse);
    QCOMPARE(w.taxer().recordCount(), 4);
    QCOMPARE(Msg::shownTexts(), QStringList());
}

void TestEditing::codeChangeCarriesDetailRows()
{
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    w.taxer().edit();
    w.taxer().setValue("tCode", "T2-new");
    QVERIFY(w.moveTo("T3")); // leaving the row saves it
    QCOMPARE(details("T2"), 0);
    QCOMPARE(details("T2-new"), 3);

    // a refused row write rolls the carried detail rows back too
    QVERIFY(execSql("t", "CREATE TRIGGER refuse BEFORE UPDATE OF tCode ON taxer WHEN NEW.tCode = 'BAD' "
                         "BEGIN SELECT RAISE(ABORT, '拒绝'); END"));
    QVERIFY(w.moveTo("T3"));
    w.taxer().edit();
    w.taxer().setValue("tCode", "BAD");
    QTest::mouseClick(button(w, "btnTaxerSave"), Qt::LeftButton);
    QCOMPARE(Msg::shownTexts().size(), 1);
    QVERIFY(Msg::shownTexts().first().contains(QStringLiteral("拒绝")));
    QVERIFY(w.taxer().isEditing());
    QCOMPARE(details("T3"), 3);
    QCOMPARE(details("BAD"), 0);
}

void TestEditing::deleteOneAndSeveral()
{
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    QTest::mouseClick(button(w, "btnTaxerDel"), Qt::LeftButton); // no question
    QCOMPARE(Msg::shownTexts(), QStringList());
    QCOMPARE(details("T2"), 0);
    QCOMPARE(w.codes(), QStringList({"ab01", "T3", "T4"}));

    // three selected rows with Ctrl+Delete after one confirmation
    w.grid().selectAll();
    QCOMPARE(w.grid().selectedRows().size(), 3);
    Msg::queueAnswer(QMessageBox::Ok);
    QTest::keyClick(&w.grid(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(Msg::shownTexts().size(), 1);
    QCOMPARE(w.codes(), QStringList());
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE mCode = 'U1'"), 0);
    QCOMPARE(count("SELECT COUNT(*) FROM yingye") + count("SELECT COUNT(*) FROM audit") +
                 count("SELECT COUNT(*) FROM tax"),
             0);
    QCOMPARE(count("SELECT COUNT(*) FROM taxer"), 1); // the other user's
}

void TestEditing::deleteRollsBackOnFailure()
{
    Window w(fill);
    QVERIFY(execSql("t", "CREATE TRIGGER keep BEFORE DELETE ON tax WHEN OLD.tCode = 'T4' "
                         "BEGIN SELECT RAISE(ABORT, '不能删除'); END"));
    w.grid().selectAll();
    Msg::queueAnswer(QMessageBox::Ok);
    QTest::keyClick(&w.grid(), Qt::Key_Delete, Qt::ControlModifier);
    const QStringList shown = Msg::shownTexts();
    QCOMPARE(shown.size(), 2); // the question, then the engine's refusal
    QVERIFY(shown.last().contains(QStringLiteral("不能删除")));
    QCOMPARE(w.codes(), QStringList({"ab01", "T2", "T3", "T4"}));
    for (const char* c : {"ab01", "T2", "T3", "T4"})
        QCOMPARE(details(QString::fromLatin1(c)), 3);
}

void TestEditing::buttonEnabling()
{
    Window w(fill);
    QCOMPARE(enabled(w, "Taxer"), QStringLiteral("1100"));
    w.taxer().edit();
    QCOMPARE(enabled(w, "Taxer"), QStringLiteral("0011"));
    QTest::mouseClick(button(w, "btnTaxerCancel"), Qt::LeftButton);
    QCOMPARE(enabled(w, "Taxer"), QStringLiteral("1100"));
    QTest::mouseClick(button(w, "btnTaxAdd"), Qt::LeftButton);
    QCOMPARE(enabled(w, "Tax"), QStringLiteral("0011"));
    QCOMPARE(enabled(w, "Audit"), QStringLiteral("1100"));
    w.taxer().close();
    QCOMPARE(enabled(w, "Taxer"), QStringLiteral("0000"));
}

void TestEditing::typedRowSavedBeforeSearch()
{
    Window w(fill);
    QVERIFY(w.moveTo("T3"));
    w.taxer().edit();
    w.taxer().setValue("tName", "已输入");
    w.search([](SearchPanel&) {});
    QCOMPARE(getSqlValue("t", "SELECT tName FROM taxer WHERE tCode = 'T3'"), QStringLiteral("已输入"));
    QCOMPARE(w.taxer().state(), DatasetState::Browse);
}

void TestEditing::refusedRowKeptOnSearchAndClose()
{
    Window w(fill);
    QTest::mouseClick(button(w, "btnTaxerAdd"), Qt::LeftButton);
    w.taxer().setValue("tName", "没有代码");
    w.search([](SearchPanel& s) { s.edtTCode->setText("T"); });
    QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("请输入税记代码！")});
    QCOMPARE(w.taxer().state(), DatasetState::Insert);
    QCOMPARE(w.taxer().asString("tName"), QStringLiteral("没有代码"));
    QCOMPARE(w.codes().size(), 5); // the search did not run

    QVERIFY(!w.main->close()); // refused: the window stays with the input
    QVERIFY(w.main->isVisible());
    w.taxer().setValue("tCode", "T9");
    QVERIFY(w.main->close());
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE tCode = 'T9' AND tName = '没有代码'"), 1);
}

void TestEditing::detailRefreshOnceAfterHeldKey()
{
    Window w(fill);
    w.grid().setFocus();
    regtest::StatementLog log;
    log.start();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&w.grid(), Qt::Key_Down);
    QCOMPARE(w.taxer().asString("tCode"), QStringLiteral("T4"));
    QCOMPARE(log.matching("FROM tax WHERE"), 0); // nothing yet while the key is held
    QTest::qWait(250);
    QCOMPARE(log.matching("FROM yingye WHERE"), 1);
    QCOMPARE(log.matching("FROM audit WHERE"), 1);
    QCOMPARE(log.matching("FROM tax WHERE"), 1);
    QCOMPARE(w.details().qryTax->asString("tCode"), QStringLiteral("T4"));
}

void TestEditing::newDetailRows()
{
    Window w(fill);
    QVERIFY(w.moveTo("T3"));
    Window::settle();
    QTest::mouseClick(button(w, "btnAuditAdd"), Qt::LeftButton);
    QTest::mouseClick(button(w, "btnAuditSave"), Qt::LeftButton);
    QTest::mouseClick(button(w, "btnTaxAdd"), Qt::LeftButton);
    QTest::mouseClick(button(w, "btnTaxSave"), Qt::LeftButton);
    QCOMPARE(count("SELECT COUNT(*) FROM audit WHERE tCode = 'T3' AND aCount = 0 AND aRatio = 0 AND aTax = 0"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM tax WHERE tCode = 'T3' AND tTax = 0"), 2);
}

void TestEditing::assessmentTax_data()
{
    QTest::addColumn<QVariant>("quota");
    QTest::addColumn<QVariant>("rate");
    QTest::addColumn<double>("tax");
    QTest::newRow("1000 at 5") << QVariant("1000") << QVariant("5") << 50.0;
    QTest::newRow("1500 at 3.5") << QVariant("1500") << QVariant("3.5") << 52.5;
    QTest::newRow("quota 0") << QVariant("0") << QVariant("3.5") << 0.0;
    QTest::newRow("quota cleared keeps the tax") << QVariant() << QVariant("5") << 7.0;
}

void TestEditing::assessmentTax()
{
    QFETCH(QVariant, quota);
    QFETCH(QVariant, rate);
    QFETCH(double, tax);
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    Window::settle();
    Dataset& a = *w.details().qryAudit;
    a.edit();
    a.setValue("aTax", 7);
    a.setValue("aCount", quota);
    a.setValue("aRatio", rate);
    QTest::mouseClick(button(w, "btnAuditSave"), Qt::LeftButton);
    QCOMPARE(a.state(), DatasetState::Browse);
    QCOMPARE(getSqlValue("t", "SELECT aTax FROM audit WHERE tCode = 'T2'").toDouble(), tax);
}

void TestEditing::dateButton_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestEditing::dateButton()
{
    QFETCH(bool, confirm);
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [confirm](TfrmSelectDate* f) {
        f->MonthCalendar1->setSelectedDate(QDate(2004, 3, 31));
        driver::click(f, confirm ? "btnOK" : "btnClose");
    });
    // the ellipsis of 注册日期 in the current row
    const int col = w.grid().datasetModel()->modelColumnOf("tRegistDate");
    const QRect cell = w.grid().visualRect(w.grid().model()->index(w.taxer().recNo(), col));
    QTest::mouseClick(w.grid().viewport(), Qt::LeftButton, {}, QPoint(cell.right() - 5, cell.center().y()));
    QTRY_VERIFY(!frmSelectDate);
    QTest::qWait(50);
    if (confirm) {
        QCOMPARE(w.taxer().state(), DatasetState::Edit);
        QCOMPARE(w.taxer().asString("tRegistDate"), QStringLiteral("2004-03-31"));
        QTest::mouseClick(button(w, "btnTaxerSave"), Qt::LeftButton);
        QCOMPARE(getSqlValue("t", "SELECT tRegistDate FROM taxer WHERE tCode = 'T2'"), QStringLiteral("2004-03-31"));
    } else {
        QCOMPARE(w.taxer().state(), DatasetState::Browse);
        QVERIFY(w.taxer().isNull("tRegistDate"));
    }
}

void TestEditing::columnKinds()
{
    Window w([] {
        fill();
        QVERIFY(execSql("t", "INSERT INTO area(aCode, aName, mCode) VALUES('A1', '东城', 'U1'), ('A2', '西城', 'U1')"));
    });
    DbGrid& g = w.grid();
    auto cell = [&](const char* field) {
        return g.model()->index(w.taxer().recNo(), g.datasetModel()->modelColumnOf(QString::fromLatin1(field)));
    };
    QVERIFY(w.moveTo("T2"));
    g.setFocus();

    // check: Space ticks "选"; leaving the row saves the mark
    g.setCurrentIndex(cell("tSelected"));
    QTest::keyClick(&g, Qt::Key_Space);
    QCOMPARE(w.taxer().value("tSelected").toInt(), 1);
    QVERIFY(w.moveTo("T3"));
    QCOMPARE(count("SELECT tSelected FROM taxer WHERE tCode = 'T2'"), 1);

    // pick: a text that is not in the dictionary is taken as typed
    g.setCurrentIndex(cell("tTrade"));
    g.edit(cell("tTrade"));
    auto* pick = g.viewport()->findChild<QComboBox*>();
    QVERIFY(pick && pick->isEditable());
    QVERIFY(pick->count() > 0);
    pick->setEditText("自定行业");
    QTest::keyClick(pick->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(w.taxer().asString("tTrade"), QStringLiteral("自定行业")); // the view commits after the key

    // lookup: the area chosen by its name stores its code; the name shows
    g.setCurrentIndex(cell("aName"));
    g.edit(cell("aName"));
    QComboBox* area = nullptr;
    for (QComboBox* b : g.viewport()->findChildren<QComboBox*>())
        if (!b->isEditable())
            area = b;
    QVERIFY(area);
    QCOMPARE(area->count(), 3); // no area, 东城, 西城
    area->setCurrentIndex(area->findText("西城"));
    QTest::keyClick(area, Qt::Key_Return);
    QTRY_COMPARE(w.taxer().asString("aCode"), QStringLiteral("A2"));
    QTest::mouseClick(button(w, "btnTaxerSave"), Qt::LeftButton);
    QCOMPARE(Msg::shownTexts(), QStringList());
    QCOMPARE(getSqlValue("t", "SELECT aCode || tTrade FROM taxer WHERE tCode = 'T3'"), QStringLiteral("A2自定行业"));
    QCOMPARE(w.taxer().asString("aName"), QStringLiteral("西城"));
}

void TestEditing::codeChangeRefreshesDetails()
{
    Window w(fill);
    QVERIFY(w.moveTo("T2"));
    Window::settle();
    w.taxer().edit();
    w.taxer().setValue("tCode", "T2-new");
    QTest::mouseClick(button(w, "btnTaxerSave"), Qt::LeftButton);
    Window::settle();
    Dataset& tax = *w.details().qryTax;
    QCOMPARE(tax.recordCount(), 1);
    QCOMPARE(tax.asString("tCode"), QStringLiteral("T2-new"));
    QTest::mouseClick(button(w, "btnTaxDel"), Qt::LeftButton);
    QCOMPARE(Msg::shownTexts(), QStringList());
    QCOMPARE(count("SELECT COUNT(*) FROM tax WHERE tCode = 'T2-new'"), 0);
}

void TestEditing::openEditorTextSavedOnClose()
{
    Window w(fill);
    QVERIFY(w.moveTo("T3"));
    DbGrid& g = w.grid();
    const QModelIndex cell = g.model()->index(w.taxer().recNo(), g.datasetModel()->modelColumnOf("tName"));
    g.setCurrentIndex(cell);
    g.edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(g.indexWidget(cell));
    QVERIFY(editor);
    editor->setText("只在编辑框里");
    QVERIFY(w.main->close()); // the window closes as by its title bar: no focus moves
    QCOMPARE(getSqlValue("t", "SELECT tName FROM taxer WHERE tCode = 'T3'"), QStringLiteral("只在编辑框里"));
}

void TestEditing::typedDetailRowGoesWithItsTaxpayer()
{
    Window w(fill);
    QVERIFY(w.moveTo("T4"));
    Window::settle();
    QTest::mouseClick(button(w, "btnTaxAdd"), Qt::LeftButton);
    w.details().qryTax->setValue("tTax", 12.5); // typed, not saved
    QTest::mouseClick(button(w, "btnTaxerDel"), Qt::LeftButton);
    Window::settle();
    QCOMPARE(count("SELECT COUNT(*) FROM tax WHERE tCode = 'T4'"), 0); // no row left behind
    QCOMPARE(count("SELECT COUNT(*) FROM taxer WHERE tCode = 'T4'"), 0);
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
