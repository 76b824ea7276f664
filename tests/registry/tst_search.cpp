// Search, quick locate and the selection marks, through the search panel.
#include "tests/registry/registryfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include "app/datasetmodel.h"

using regtest::Window;

namespace {
void fill()
{
    const char* rows[][4] = {{"0100001", "五金店", "张三", "1"}, {"2010", "O'Brien 饭店", "李四", "0"},
                             {"50%", "百分之五十", "王五", "1"},  {"500", "五百", "赵六", "0"},
                             {"a_b", "下划线", "张三", "0"},      {"axb", "甲乙", "孙七", "0"}};
    for (auto& r : rows) {
        QVERIFY(execSql("t", "INSERT INTO taxer(mCode, tCode, tName, tContacter, tSelected, tTrade) "
                             "VALUES('U1', ?, ?, ?, ?, '餐饮')",
                        {QString::fromUtf8(r[0]), QString::fromUtf8(r[1]), QString::fromUtf8(r[2]), QString::fromUtf8(r[3]).toInt()}));
    }
    regtest::addTaxer("U2", "0101", "他人", "", 1);
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void conditions_data();
    void conditions();
    void clearConditions();
    void quickLocate_data();
    void quickLocate();
    void quickLocateWaitsForTheLastKey();
    void quickLocateFollowsChangedRows();
    void clearMarksAcrossUsers();
};

void TestSearch::conditions_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("contacter");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("nothing: all own rows") << "" << "" << "" << -1
                                           << QStringList{"0100001", "2010", "50%", "500", "a_b", "axb"};
    QTest::newRow("01 anywhere in the code") << "01" << "" << "" << -1 << QStringList{"0100001", "2010"};
    QTest::newRow("01 and marked") << "01" << "" << "" << 2 << QStringList{"0100001"};
    QTest::newRow("unmarked") << "" << "" << "" << 1 << QStringList{"2010", "500", "a_b", "axb"};
    QTest::newRow("percent matches itself") << "50%" << "" << "" << -1 << QStringList{"50%"};
    QTest::newRow("underscore matches itself") << "a_b" << "" << "" << -1 << QStringList{"a_b"};
    QTest::newRow("quote in a name") << "" << "O'Brien" << "" << -1 << QStringList{"2010"};
    QTest::newRow("trimmed text, two conditions") << "  0  " << "" << " 张三 " << -1
                                                  << QStringList{"0100001"};
    QTest::newRow("no match") << "zz" << "" << "" << -1 << QStringList{};
}

void TestSearch::conditions()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, contacter);
    QFETCH(int, selected);
    QFETCH(QStringList, found);
    Window w(fill);
    w.search([&](SearchPanel& s) {
        s.edtTCode->setText(code);
        s.edtRegName->setText(name);
        s.edtContacter->setText(contacter);
        s.cbbSelected->setCurrentIndex(selected);
    });
    QCOMPARE(w.codes(), found);
    QVERIFY(w.install->errorLog().isEmpty());
}

void TestSearch::clearConditions()
{
    Window w(fill);
    w.search([](SearchPanel& s) {
        s.edtTCode->setText("2010");
        s.cbbTrade->setCurrentIndex(s.cbbTrade->findText("餐饮"));
        s.cbbSelected->setCurrentIndex(2);
    });
    QCOMPARE(w.codes(), QStringList{});
    w.search().edtQuicktCode->setText("500");
    QTest::mouseClick(w.search().btnClearSearch, Qt::LeftButton);
    QCOMPARE(w.codes().size(), 6);
    QCOMPARE(w.search().edtTCode->text(), QString());
    QCOMPARE(w.search().cbbTrade->currentIndex(), -1);
    QCOMPARE(w.search().cbbSelected->currentText(), QStringLiteral("随便"));
    QCOMPARE(w.search().edtQuicktCode->text(), QStringLiteral("500")); // not cleared
}

void TestSearch::quickLocate_data()
{
    QTest::addColumn<QString>("searched"); // code condition of the list searched first
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("current");
    QTest::newRow("whole code") << "" << "500" << "500";
    QTest::newRow("other letter case") << "" << "AXB" << "axb";
    QTest::newRow("part of a code") << "" << "01" << "0100001";
    QTest::newRow("another user's code") << "" << "0101" << "0100001";
    QTest::newRow("outside the search result") << "00" << "axb" << "0100001";
}

void TestSearch::quickLocate()
{
    QFETCH(QString, searched);
    QFETCH(QString, typed);
    QFETCH(QString, current);
    Window w(fill);
    w.search([&](SearchPanel& s) { s.edtTCode->setText(searched); });
    QTest::keyClicks(w.search().edtQuicktCode, typed);
    QTest::qWait(400);
    QCOMPARE(w.taxer().asString("tCode"), current);
}

void TestSearch::quickLocateWaitsForTheLastKey()
{
    Window w(fill);
    QLineEdit* box = w.search().edtQuicktCode;
    QTest::keyClicks(box, "50");
    QTest::qWait(150);
    QTest::keyClicks(box, "0");
    QTest::qWait(200); // 350 ms after the first keys, 200 after the last
    QCOMPARE(w.taxer().asString("tCode"), QStringLiteral("0100001"));
    QTest::qWait(200);
    QCOMPARE(w.taxer().asString("tCode"), QStringLiteral("500"));
    // "清除" empties the box and locates nothing
    w.moveTo("a_b");
    QTest::mouseClick(w.search().btnClearQuickTCode, Qt::LeftButton);
    QTest::qWait(400);
    QCOMPARE(box->text(), QString());
    QCOMPARE(w.taxer().asString("tCode"), QStringLiteral("a_b"));
}

void TestSearch::quickLocateFollowsChangedRows()
{
    Window w(fill);
    QLineEdit* box = w.search().edtQuicktCode;
    auto locate = [&](const QString& code) {
        box->setText(code); // one change, as a paste
        QTest::qWait(400);
        return w.taxer().asString("tCode");
    };
    QCOMPARE(locate("AXB"), QStringLiteral("axb"));
    // a changed code is found under its new spelling only
    w.taxer().edit();
    w.taxer().setValue("tCode", "Ärger");
    w.taxer().post();
    w.moveTo("500");
    QCOMPARE(locate("axb"), QStringLiteral("500"));
    QCOMPARE(locate("äRGER"), QStringLiteral("Ärger"));
    // a new row, and a list sorted another way
    w.taxer().append();
    w.taxer().setValue("tCode", "z9");
    w.taxer().post();
    w.grid().sortByColumn(w.grid().datasetModel()->modelColumnOf("tName"), false);
    QCOMPARE(locate("Z9"), QStringLiteral("z9"));
    QCOMPARE(locate("0100001"), QStringLiteral("0100001"));
    QCOMPARE(w.taxer().recNo(), w.codes().indexOf("0100001"));
}

void TestSearch::clearMarksAcrossUsers()
{
    Window w(fill);
    w.search().cbbSelected->setCurrentIndex(2);
    QTest::mouseClick(w.search().btnClearSelected, Qt::LeftButton);
    QCOMPARE(w.codes(), QStringList{});
    QCOMPARE(regtest::count("SELECT COUNT(*) FROM taxer WHERE tSelected <> 0"), 0);
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
