// The dictionary editor: list operations, 确定 and 关闭, the database copy,
// an unwritable settings file, and refilling a search box afterwards.
#include "app/common.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "dictionaries/datadic.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QtTest>
#include <memory>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList storedCopy(const QString& ident)
{
    QStringList list;
    sqlToList(QStringLiteral("test.storedCopy"),
              QStringLiteral("SELECT dItemValue FROM datadic WHERE dIdent=? ORDER BY dSort"), list, {ident});
    return list;
}

void setStart(const QStringList& items)
{
    writeIniList(items, IniFileName, dic::Section, dic::TaxType);
}

} // namespace

class TestDataDic : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup()
    {
        driver::stopAll();
        m_install.reset();
    }

    void layout();
    void listOperations_data();
    void listOperations();
    void leaving_data();
    void leaving();
    void searchBoxFollows_data();
    void searchBoxFollows();
    void databaseCopyReplaced();
    void databaseWriteFailureRollsBack();
    void unwritableSettings_data();
    void unwritableSettings();
};

void TestDataDic::layout()
{
    driver::whenShown<TfrmDataDic>(frmDataDic, [](TfrmDataDic* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("维护“行业种类”"));
        QCOMPARE(f->size(), QSize(337, 252));
        QCOMPARE(f->edtIdent->text(), QStringLiteral("行业种类"));
        QVERIFY(f->edtIdent->isReadOnly());
        QCOMPARE(f->items().first(), QStringLiteral("批发零售业"));
        QCOMPARE(f->items().size(), 11);
        QCOMPARE(f->lbItem->currentRow(), -1);
        // the list buttons stand in a column right of the list, in their order
        int top = -1;
        for (QPushButton* b : {f->btnAdd, f->btnModify, f->RzButton1, f->btnUp, f->btnDown}) {
            QVERIFY(b->x() >= f->lbItem->geometry().right());
            QVERIFY(b->y() > top);
            top = b->y();
        }
        QCOMPARE(f->RzButton1->text(), QStringLiteral("删除"));
        QVERIFY(f->btnRead->y() > f->lbItem->geometry().bottom());
        QVERIFY(f->btnRead->geometry().bottom() < f->Panel1->height());
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::Trade));
    QVERIFY(!frmDataDic);
}

void TestDataDic::listOperations_data()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<int>("select"); // row clicked first; -1 none
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("result");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("message");

    const QStringList abc{"A", "B", "C"};
    const int yes = QMessageBox::Yes, no = QMessageBox::No;
    QTest::newRow("add appends and selects") << abc << -1 << "D"
                                             << "btnAdd" << 0 << QStringList{"A", "B", "C", "D"} << 3 << "";
    QTest::newRow("add trims blanks") << abc << -1 << "  D "
                                      << "btnAdd" << 0 << QStringList{"A", "B", "C", "D"} << 3 << "";
    QTest::newRow("add blanks only") << abc << -1 << "   "
                                     << "btnAdd" << 0 << abc << -1 << QStringLiteral("请输入可能取的值！");
    QTest::newRow("add duplicate") << abc << 0 << "A"
                                   << "btnAdd" << 0 << QStringList{"A", "B", "C", "A"} << 3 << "";
    QTest::newRow("add quote") << abc << -1 << "O'Neil"
                               << "btnAdd" << 0 << QStringList{"A", "B", "C", "O'Neil"} << 3 << "";
    QTest::newRow("enter adds") << abc << -1 << "D"
                                << "enter" << 0 << QStringList{"A", "B", "C", "D"} << 3 << "";
    QTest::newRow("modify selected") << abc << 1 << "X"
                                     << "btnModify" << 0 << QStringList{"A", "X", "C"} << 1 << "";
    QTest::newRow("modify without selection") << abc << -1 << "X"
                                              << "btnModify" << 0 << abc << -1 << "";
    QTest::newRow("modify empty") << abc << 1 << ""
                                  << "btnModify" << 0 << abc << 1 << QStringLiteral("请输入可能取的值！");
    QTest::newRow("delete yes") << abc << 1 << ""
                                << "RzButton1" << yes << QStringList{"A", "C"} << 1
                                << QStringLiteral("删除当前项:B？");
    QTest::newRow("delete no") << abc << 1 << ""
                               << "RzButton1" << no << abc << 1 << QStringLiteral("删除当前项:B？");
    QTest::newRow("delete last") << abc << 2 << ""
                                 << "RzButton1" << yes << QStringList{"A", "B"} << 1
                                 << QStringLiteral("删除当前项:C？");
    QTest::newRow("delete only item")
        << QStringList{"A"} << 0 << ""
        << "RzButton1" << yes << QStringList{} << -1 << QStringLiteral("删除当前项:A？");
    QTest::newRow("delete without selection") << abc << -1 << ""
                                              << "RzButton1" << yes << abc << -1 << "";
    QTest::newRow("up") << abc << 2 << ""
                        << "btnUp" << 0 << QStringList{"A", "C", "B"} << 1 << "";
    QTest::newRow("up on first") << abc << 0 << ""
                                 << "btnUp" << 0 << abc << 0 << "";
    QTest::newRow("up without selection") << abc << -1 << ""
                                          << "btnUp" << 0 << abc << -1 << "";
    QTest::newRow("down") << abc << 0 << ""
                          << "btnDown" << 0 << QStringList{"B", "A", "C"} << 1 << "";
    QTest::newRow("down on last") << abc << 2 << ""
                                  << "btnDown" << 0 << abc << 2 << "";
}

void TestDataDic::listOperations()
{
    QFETCH(QStringList, start);
    QFETCH(int, select);
    QFETCH(QString, entry);
    QFETCH(QString, action);
    QFETCH(int, answer);
    QFETCH(QStringList, result);
    QFETCH(int, selected);
    QFETCH(QString, message);
    setStart(start);
    const QByteArray before = fileBytes(IniFileName);

    driver::whenShown<TfrmDataDic>(frmDataDic, [&](TfrmDataDic* f) {
        QCOMPARE(f->items(), start);
        if (select >= 0) {
            QListWidget* lb = f->lbItem;
            QTest::mouseClick(lb->viewport(), Qt::LeftButton, {},
                              lb->visualItemRect(lb->item(select)).center());
            QCOMPARE(f->edtItem->text(), start.at(select)); // a click copies the item
        }
        driver::type(f, "edtItem", entry);
        if (answer)
            Msg::queueAnswer(QMessageBox::StandardButton(answer));
        if (action == QLatin1String("enter")) {
            QTest::keyClick(f->edtItem, Qt::Key_Return);
            QVERIFY(f->isVisible()); // Enter does not reach the default button
            QCOMPARE(f->edtItem->selectedText(), entry);
        } else {
            driver::click(f, action.toLatin1().constData());
        }
        QCOMPARE(f->items(), result);
        const QListWidgetItem* cur = f->lbItem->currentItem();
        QCOMPARE(cur && cur->isSelected() ? f->lbItem->currentRow() : -1, selected);
        QCOMPARE(Msg::shownTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::TaxType));
    QCOMPARE(fileBytes(IniFileName), before); // nothing is stored before 确定
}

void TestDataDic::leaving_data()
{
    QTest::addColumn<QString>("button"); // btnOK, btnClose or "window" (title bar)
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("确定 stores") << "btnOK" << true << QStringList{"B", "甲 乙", "x", "y"};
    QTest::newRow("关闭 discards") << "btnClose" << false << QStringList{"A", "B"};
    QTest::newRow("title bar discards") << "window" << false << QStringList{"A", "B"};
}

// After 确定 the list is in myapp.ini (a comma inside an item splits it on
// the next read); the other entries of the file stay.
void TestDataDic::leaving()
{
    QFETCH(QString, button);
    QFETCH(bool, accepted);
    QFETCH(QStringList, stored);
    setStart({"A", "B"});
    const QString reportKey = readIniValue(IniFileName, dic::Section, QStringLiteral("rp正常户"));
    QVERIFY(!reportKey.isEmpty());

    driver::whenShown<TfrmDataDic>(frmDataDic, [&](TfrmDataDic* f) {
        f->lbItem->setCurrentRow(0);
        Msg::queueAnswer(QMessageBox::Yes);
        driver::click(f, "RzButton1");
        driver::type(f, "edtItem", QStringLiteral("甲 乙"));
        driver::click(f, "btnAdd");
        driver::type(f, "edtItem", QStringLiteral("x,y"));
        driver::click(f, "btnAdd");
        if (button == QLatin1String("window"))
            f->close();
        else
            driver::click(f, button.toLatin1().constData());
    });
    QCOMPARE(editDataDic(dic::TaxType), accepted);
    QCOMPARE(dictionaryItems(dic::TaxType), stored);
    QCOMPARE(readIniValue(IniFileName, dic::Section, QStringLiteral("rp正常户")), reportKey);
    QCOMPARE(dictionaryItems(dic::Trade).size(), 11);
}

void TestDataDic::searchBoxFollows_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("afterwards");

    QTest::newRow("kept item stays chosen") << "餐饮业"
                                            << "餐饮业";
    QTest::newRow("deleted item falls back to empty") << "批发零售业"
                                                      << "";
    QTest::newRow("nothing chosen") << ""
                                    << "";
}

// The search box takes the new list with its empty first item at once.
void TestDataDic::searchBoxFollows()
{
    QFETCH(QString, chosen);
    QFETCH(QString, afterwards);
    QComboBox box;
    fillSearchBox(box, dic::Trade);
    QCOMPARE(box.count(), 12);
    QCOMPARE(box.itemText(0), QString());
    box.setCurrentIndex(box.findText(chosen));

    driver::whenShown<TfrmDataDic>(frmDataDic, [](TfrmDataDic* f) {
        f->lbItem->setCurrentRow(0);
        Msg::queueAnswer(QMessageBox::Yes);
        driver::click(f, "RzButton1");
        driver::type(f, "edtItem", QStringLiteral("网络零售业"));
        driver::click(f, "btnAdd");
        driver::click(f, "btnOK");
    });
    QVERIFY(editDataDic(dic::Trade));
    fillSearchBox(box, dic::Trade);
    QCOMPARE(box.count(), 12);
    QCOMPARE(box.itemText(0), QString());
    QCOMPARE(box.itemText(1), QStringLiteral("餐饮业"));
    QCOMPARE(box.itemText(11), QStringLiteral("网络零售业"));
    QCOMPARE(box.currentText(), afterwards);
    QCOMPARE(box.currentIndex(), afterwards.isEmpty() ? 0 : 1);
}

// Writing twice keeps one copy; reading gives it back in order, quotes and
// all, and leaves the settings file alone.  Other dictionaries' copies stay.
void TestDataDic::databaseCopyReplaced()
{
    QVERIFY(execSql("t", "INSERT INTO datadic(dIdent, dItemValue, dSort) VALUES(?, ?, 0)",
                    {dic::Trade, QStringLiteral("餐饮业")}));
    setStart({"b'1", "a", "c"});
    driver::whenShown<TfrmDataDic>(frmDataDic, [](TfrmDataDic* f) {
        driver::click(f, "btnWrite");
        driver::click(f, "btnWrite");
        QVERIFY(Msg::shownTexts().isEmpty());
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::TaxType));
    QCOMPARE(storedCopy(dic::TaxType), (QStringList{"b'1", "a", "c"}));
    QCOMPARE(getSqlValue("t", "SELECT group_concat(dSort) FROM datadic WHERE dIdent=?", {dic::TaxType}),
             QStringLiteral("0,1,2"));
    QCOMPARE(storedCopy(dic::Trade), QStringList{"餐饮业"});

    setStart({"z"});
    const QByteArray before = fileBytes(IniFileName);
    driver::whenShown<TfrmDataDic>(frmDataDic, [](TfrmDataDic* f) {
        driver::click(f, "btnRead");
        QCOMPARE(f->items(), (QStringList{"b'1", "a", "c"}));
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::TaxType));
    QCOMPARE(fileBytes(IniFileName), before);
    QVERIFY(m_install->errorLog().isEmpty());
}

// An item the table refuses (over 100 characters) leaves the stored copy as
// it was and says why.
void TestDataDic::databaseWriteFailureRollsBack()
{
    for (int i = 0; i < 2; ++i)
        QVERIFY(execSql("t", "INSERT INTO datadic(dIdent, dItemValue, dSort) VALUES(?, ?, ?)",
                        {dic::TaxType, QStringLiteral("旧%1").arg(i), i}));
    setStart({"a", QString(101, QLatin1Char('x')), "c"});
    driver::whenShown<TfrmDataDic>(frmDataDic, [](TfrmDataDic* f) {
        driver::click(f, "btnWrite");
        QCOMPARE(Msg::shownTexts().size(), 1);
        const QString text = Msg::shownTexts().first();
        QVERIFY2(text.startsWith(QStringLiteral("写入数据库失败")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("字典项目超过100个字符")), qPrintable(text));
        QCOMPARE(f->items().size(), 3);
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::TaxType));
    QCOMPARE(storedCopy(dic::TaxType), (QStringList{"旧0", "旧1"}));
    // the connection is usable afterwards: no transaction was left open
    QVERIFY(connExec("t", "BEGIN"));
    QVERIFY(connExec("t", "COMMIT"));
}

void TestDataDic::unwritableSettings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("directory in its place") << "directory";
    QTest::newRow("read-only file") << "file";
    QTest::newRow("read-only folder") << "folder";
}

// 确定 with a settings file that cannot be written: an error naming the file,
// the dialog stays open with its list, and the file keeps all it held.
void TestDataDic::unwritableSettings()
{
    QFETCH(QString, kind);
    if (kind != QLatin1String("directory") && geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    const QString ini = IniFileName;
    const QByteArray before = fileBytes(ini);
    if (kind == QLatin1String("directory")) {
        QVERIFY(QFile::remove(ini));
        QVERIFY(QDir().mkdir(ini));
    } else if (kind == QLatin1String("file")) {
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadUser));
    } else {
        QVERIFY(QFile::setPermissions(m_install->dir(), QFile::ReadOwner | QFile::ExeOwner));
    }

    bool stayed = false;
    driver::whenShown<TfrmDataDic>(frmDataDic, [&](TfrmDataDic* f) {
        driver::type(f, "edtItem", QStringLiteral("新类型"));
        driver::click(f, "btnAdd");
        const QStringList list = f->items();
        driver::click(f, "btnOK");
        stayed = f->isVisible();
        QCOMPARE(f->items(), list);
        QCOMPARE(Msg::shown().size(), 1);
        QCOMPARE(Msg::shown().first().icon, QMessageBox::Critical);
        QVERIFY2(Msg::shown().first().text.contains(ini), qPrintable(Msg::shown().first().text));
        driver::click(f, "btnClose");
    });
    QVERIFY(!editDataDic(dic::TaxType));
    QVERIFY(stayed);
    QFile::setPermissions(m_install->dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (kind != QLatin1String("directory"))
        QCOMPARE(fileBytes(ini), before);
}

QTEST_MAIN(TestDataDic)
#include "tst_datadic.moc"
