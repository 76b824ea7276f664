// The user picker: listing, choosing, creating from it, deleting with Ctrl+Delete.
#include "app/common.h"
#include "app/dataset.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"
#include "tests/users/userdb.h"
#include "users/createuser.h"
#include "users/selectuser.h"

#include <QHeaderView>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

QStringList gridColumn(DbGrid* grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, column).data().toString();
    return out;
}

QStringList gridCaptions(DbGrid* grid)
{
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->model()->headerData(c, Qt::Horizontal).toString();
    return out;
}

void clickRow(DbGrid* grid, int row)
{
    const QRect r = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestSelectUser : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init() { m_install = std::make_unique<TestInstall>(); }
    void cleanup()
    {
        driver::stopAll();
        m_install.reset();
    }

    void listsUsersInCodeOrder();
    void pickClickedRow();
    void okWithoutUsers();
    void cancelReturnsEmpty();
    void createFromPicker();
    void ctrlDelete_data();
    void ctrlDelete();
};

void TestSelectUser::listsUsersInCodeOrder()
{
    for (const char* c : {"b", "C", "a"})
        QVERIFY(userdb::addUser(QString::fromLatin1(c), QStringLiteral("名") + QString::fromLatin1(c),
                                QString()));
    driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("选择用户"));
        QCOMPARE(f->size(), QSize(270, 230));
        QCOMPARE(f->btnCreateUser->geometry(), QRect(16, 8, 75, 25));
        QCOMPARE(f->btnOK->geometry().topLeft(), QPoint(104, 8));
        DbGrid* g = f->gridManager;
        QCOMPARE(gridCaptions(g), (QStringList{"用户代码", "用户名称", "由谁录入"}));
        QCOMPARE(gridColumn(g, 0), (QStringList{"a", "b", "C"}));
        QCOMPARE(gridColumn(g, 2), (QStringList{"a", "b", "C"}));
        QCOMPARE(g->columnWidth(1), 80);
        QCOMPARE(g->currentIndex().row(), 0);
        QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
        driver::click(f, "btnClose");
    });
    TUserInfo user;
    QVERIFY(!selectUser(user));
}

void TestSelectUser::pickClickedRow()
{
    QVERIFY(userdb::addUser(QStringLiteral("a"), QStringLiteral("甲"), QString()));
    QVERIFY(userdb::addUser(QStringLiteral("b"), QStringLiteral("乙"), QString()));
    driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* f) {
        clickRow(f->gridManager, 1);
        QCOMPARE(f->qryUser->recNo(), 1);
        driver::click(f, "btnOK");
    });
    TUserInfo user{QString(), QString(), QStringLiteral("alias")};
    QVERIFY(selectUser(user));
    QCOMPARE(user.UserCode, QStringLiteral("b"));
    QCOMPARE(user.UserName, QStringLiteral("乙"));
    QVERIFY(user.UserAlias.isEmpty());
    QVERIFY(!frmSelectUser);
}

void TestSelectUser::okWithoutUsers()
{
    driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* f) {
        driver::click(f, "btnOK");
        QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("请先创建用户！")});
        QVERIFY(f->isVisible());
        QCOMPARE(f->focusWidget(), f->btnCreateUser);
        driver::click(f, "btnClose");
    });
    TUserInfo user;
    QVERIFY(!selectUser(user));
}

void TestSelectUser::cancelReturnsEmpty()
{
    QVERIFY(userdb::addUser(QStringLiteral("a"), QStringLiteral("甲"), QString()));
    driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* f) { f->close(); });
    TUserInfo user{QStringLiteral("x"), QStringLiteral("y"), QString()};
    QVERIFY(!selectUser(user));
    QVERIFY(user.UserCode.isEmpty());
    QVERIFY(user.UserName.isEmpty());
}

void TestSelectUser::createFromPicker()
{
    QVERIFY(userdb::addUser(QStringLiteral("m"), QStringLiteral("中"), QString()));
    driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* f) {
        driver::whenShown<TfrmCreateUser>(frmCreateUser, [](TfrmCreateUser* c) {
            driver::type(c, "edtCode", QStringLiteral("a1"));
            driver::type(c, "edtName", QStringLiteral("新人"));
            driver::click(c, "btnOK");
        });
        driver::click(f, "btnCreateUser");
        QVERIFY(!frmCreateUser);
        QCOMPARE(gridColumn(f->gridManager, 0), (QStringList{"a1", "m"}));
        QCOMPARE(gridColumn(f->gridManager, 2), (QStringList{"a1", "m"}));
        QCOMPARE(f->gridManager->currentIndex().row(), 0);
        driver::click(f, "btnOK");
    });
    TUserInfo user;
    QVERIFY(selectUser(user));
    QCOMPARE(user.UserCode, QStringLiteral("a1"));
    QCOMPARE(user.UserName, QStringLiteral("新人"));
}

void TestSelectUser::ctrlDelete_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("setup"); // a row owned by the user, an engine refusal, or nothing
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("cancel keeps") << int(QMessageBox::Cancel) << "" << false << "";
    QTest::newRow("ok deletes") << int(QMessageBox::Ok) << "" << true << "";
    QTest::newRow("owner of a taxpayer")
        << int(QMessageBox::Ok) << "taxer" << false << QStringLiteral("用户“a”名下还有税户，不能删除！");
    QTest::newRow("owner of an area")
        << int(QMessageBox::Ok) << "area" << false << QStringLiteral("用户“a”名下还有片区，不能删除！");
    QTest::newRow("engine refuses") << int(QMessageBox::Ok) << "trigger" << false
                                    << QStringLiteral("删除用户失败：\r\n管理员不可删除");
}

void TestSelectUser::ctrlDelete()
{
    QFETCH(int, answer);
    QFETCH(QString, setup);
    QFETCH(bool, deleted);
    QFETCH(QString, refusal);
    QVERIFY(userdb::addUser(QStringLiteral("a"), QStringLiteral("甲"), QString()));
    QVERIFY(userdb::addUser(QStringLiteral("b"), QStringLiteral("乙"), QString()));
    // the owner code in another letter case is still this user's
    if (setup == QLatin1String("taxer"))
        QVERIFY(execSql("t", "INSERT INTO taxer(mCode, tCode) VALUES(?, ?)",
                        {QStringLiteral("A"), QStringLiteral("T1")}));
    if (setup == QLatin1String("area"))
        QVERIFY(execSql("t", "INSERT INTO area(aCode, mCode) VALUES(?, ?)",
                        {QStringLiteral("A1"), QStringLiteral("A")}));
    if (setup == QLatin1String("trigger"))
        QVERIFY(execSql("t", "CREATE TRIGGER keep_a BEFORE DELETE ON manager BEGIN "
                             "SELECT RAISE(ABORT, '管理员不可删除'); END"));

    driver::whenShown<TfrmSelectUser>(frmSelectUser, [&](TfrmSelectUser* f) {
        QCOMPARE(f->qryUser->asString(QStringLiteral("mCode")), QStringLiteral("a"));
        Msg::queueAnswer(QMessageBox::StandardButton(answer));
        QTest::keyClick(f->gridManager, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(!Msg::shown().isEmpty());
        QCOMPARE(Msg::shown().first().caption, QStringLiteral("Confirm"));
        QCOMPARE(Msg::shown().first().text, QStringLiteral("Delete record?"));
        QCOMPARE(Msg::shown().first().buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(Msg::shown().size(), refusal.isEmpty() ? 1 : 2);
        if (!refusal.isEmpty())
            QVERIFY2(Msg::shown().last().text.startsWith(refusal), qPrintable(Msg::shown().last().text));
        QCOMPARE(gridColumn(f->gridManager, 0), deleted ? QStringList{"b"} : (QStringList{"a", "b"}));
        driver::click(f, "btnClose");
    });
    TUserInfo user;
    QVERIFY(!selectUser(user));
    QCOMPARE(userdb::codes(), deleted ? QStringList{"b"} : (QStringList{"a", "b"}));
}

QTEST_MAIN(TestSelectUser)
#include "tst_selectuser.moc"
