// The new-user dialog: checks, the stored row, refusals that keep the input.
#include "app/datamodule.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"
#include "tests/users/userdb.h"
#include "users/createuser.h"
#include "users/password.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {
const QString kAdded = QStringLiteral("添加新用户成功！");
}

class TestCreateUser : public QObject {
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
    void addsUser_data();
    void addsUser();
    void refusedThenCorrected_data();
    void refusedThenCorrected();
    void engineRefusalKeepsDialogOpen();
    void cancelAddsNothing();
    void lockedDatabaseIsNoDuplicate();
};

void TestCreateUser::layout()
{
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [](TfrmCreateUser* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("创建新用户"));
        QCOMPARE(f->size(), QSize(245, 161));
        QCOMPARE(f->edtCode->geometry(), QRect(88, 20, 121, 21));
        QCOMPARE(f->edtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(f->btnOK->geometry(), QRect(48, 8, 75, 25));
        QCOMPARE(f->btnClose->geometry(), QRect(136, 8, 75, 25));
        QCOMPARE(f->btnClose->text(), QStringLiteral("关闭"));
        QCOMPARE(f->focusWidget(), f->edtCode);
        QCOMPARE(f->createdCount, 0);
        driver::click(f, "btnClose");
    });
    QVERIFY(!createUser());
    QVERIFY(!frmCreateUser);
}

void TestCreateUser::addsUser_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("storedCode");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<QString>("checkedPassword");

    QTest::newRow("plain") << "u1"
                           << "张三"
                           << "secret"
                           << "u1"
                           << "张三"
                           << "secret";
    QTest::newRow("blanks trimmed") << "  u1 "
                                    << " 张三 "
                                    << " secret "
                                    << "u1"
                                    << "张三"
                                    << "secret";
    QTest::newRow("empty name and password") << "u1"
                                             << ""
                                             << ""
                                             << "u1"
                                             << ""
                                             << "";
    QTest::newRow("hostile characters") << R"(o'k"%_\)"
                                        << R"(O'Brien %_\)"
                                        << R"(p'w%_\")"
                                        << R"(o'k"%_\)"
                                        << R"(O'Brien %_\)"
                                        << R"(p'w%_\")";
}

void TestCreateUser::addsUser()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, storedCode);
    QFETCH(QString, storedName);
    QFETCH(QString, checkedPassword);
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [&](TfrmCreateUser* f) {
        driver::type(f, "edtCode", code);
        driver::type(f, "edtName", name);
        driver::type(f, "edtPassword", password);
        driver::click(f, "btnOK");
    });
    QVERIFY(createUser());
    QCOMPARE(Msg::shownTexts(), QStringList{kAdded});
    QCOMPARE(userdb::codes(), QStringList{storedCode});
    QCOMPARE(userdb::column(storedCode, "mName"), storedName);
    QCOMPARE(userdb::column(storedCode, "mWhoInput"), storedCode);
    const QString stored = userdb::column(storedCode, "mPassword");
    QVERIFY(stored != checkedPassword);
    QVERIFY(stored.startsWith(QStringLiteral("$argon2id$")));
    QVERIFY(verifyPassword(stored, checkedPassword));
    QVERIFY(!verifyPassword(stored, checkedPassword + QStringLiteral("x")));
}

void TestCreateUser::refusedThenCorrected_data()
{
    QTest::addColumn<QString>("badCode");
    QTest::addColumn<QString>("message");
    const QString empty = QStringLiteral("用户代码不能为空！");
    const QString exists = QStringLiteral("用户代码已经存在！\r\n请更改用户代码！");
    QTest::newRow("empty") << "" << empty;
    QTest::newRow("blanks only") << "   " << empty;
    QTest::newRow("existing") << "abc" << exists;
    QTest::newRow("existing with blanks") << " abc  " << exists;
    QTest::newRow("existing in other case") << "ABC" << exists;
    QTest::newRow("other case and blanks") << " aBc" << exists;
    const QString control = QStringLiteral("用户代码不能包含换行符等控制字符！");
    QTest::newRow("NUL inside") << QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("c") << control;
    QTest::newRow("line break inside") << QStringLiteral("ab\nc") << control;
    QTest::newRow("tab inside") << QStringLiteral("ab\tc") << control;
}

void TestCreateUser::refusedThenCorrected()
{
    QFETCH(QString, badCode);
    QFETCH(QString, message);
    QVERIFY(userdb::addUser(QStringLiteral("abc"), QStringLiteral("老"), QStringLiteral("pw")));
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [&](TfrmCreateUser* f) {
        driver::type(f, "edtCode", badCode);
        driver::type(f, "edtName", QStringLiteral("新"));
        driver::click(f, "btnOK");
        QCOMPARE(Msg::shownTexts(), QStringList{message});
        QVERIFY(f->isVisible());
        QCOMPARE(f->focusWidget(), f->edtCode);
        QCOMPARE(f->edtName->text(), QStringLiteral("新"));
        Msg::clearShown();
        driver::type(f, "edtCode", QStringLiteral("abd"));
        driver::click(f, "btnOK");
    });
    QVERIFY(createUser());
    QCOMPARE(Msg::shownTexts(), QStringList{kAdded});
    QCOMPARE(userdb::codes(), (QStringList{"abc", "abd"}));
    QCOMPARE(userdb::column("abc", "mName"), QStringLiteral("老")); // the existing user is untouched
}

void TestCreateUser::engineRefusalKeepsDialogOpen()
{
    const QString tooLong(51, QLatin1Char('x'));
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [&](TfrmCreateUser* f) {
        driver::type(f, "edtCode", tooLong);
        driver::click(f, "btnOK");
        QCOMPARE(Msg::shownTexts().size(), 1);
        QVERIFY2(Msg::shownTexts().first().contains(QStringLiteral("用户代码超过50个字符")),
                 qPrintable(Msg::shownTexts().first()));
        QVERIFY(f->isVisible());
        QCOMPARE(f->edtCode->text(), tooLong);
        QCOMPARE(f->createdCount, 0);
        Msg::clearShown();
        driver::type(f, "edtCode", tooLong.left(50));
        driver::click(f, "btnOK");
    });
    QVERIFY(createUser());
    QCOMPARE(Msg::shownTexts(), QStringList{kAdded});
    QCOMPARE(userdb::codes(), QStringList{tooLong.left(50)});
    const QString log = m_install->errorLog();
    QVERIFY(log.contains(QStringLiteral("frmCreateUser.checkOK")));
    // The failed insert is logged with its values, but never the password hash.
    QVERIFY2(!log.contains(QStringLiteral("$argon2")), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("******")));
}

void TestCreateUser::cancelAddsNothing()
{
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [](TfrmCreateUser* f) {
        driver::type(f, "edtCode", QStringLiteral("u1"));
        f->close();
    });
    QVERIFY(!createUser());
    QVERIFY(userdb::codes().isEmpty());
    QVERIFY(Msg::shown().isEmpty());
}

// Another program holds the database: the code cannot be checked, and the
// dialog says so instead of calling it a duplicate.
void TestCreateUser::lockedDatabaseIsNoDuplicate()
{
    sqlite3_busy_timeout(frmDm->handle(), 50);
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(m_install->path(QStringLiteral("tax.mdb")).toUtf8().constData(), &other),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    driver::whenShown<TfrmCreateUser>(frmCreateUser, [&](TfrmCreateUser* f) {
        driver::type(f, "edtCode", QStringLiteral("new"));
        driver::click(f, "btnOK");
        QCOMPARE(Msg::shownTexts(),
                 QStringList{
                     QStringLiteral("无法检查用户代码是否已经存在：\r\n数据库正被其他程序使用，请稍后再试")});
        QVERIFY(f->isVisible());
        QCOMPARE(f->focusWidget(), f->edtCode);
        // Once the other program lets go, the same code is added.
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        Msg::clearShown();
        driver::click(f, "btnOK");
    });
    QVERIFY(createUser());
    sqlite3_close(other);
    QCOMPARE(Msg::shownTexts(), QStringList{kAdded});
    QCOMPARE(userdb::codes(), QStringList{QStringLiteral("new")});
    // The log keeps the engine's own words beside the Chinese text.
    QVERIFY(m_install->errorLog().contains(QStringLiteral("database is locked")));
}

QTEST_MAIN(TestCreateUser)
#include "tst_createuser.moc"
