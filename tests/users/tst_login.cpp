// Sign-in: code and password against manager, through the dialog's widgets.
#include "app/common.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"
#include "tests/users/userdb.h"
#include "users/login.h"
#include "users/password.h"
#include "users/selectuser.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {
const QString kMismatch = QStringLiteral("登录用户代码和密码不匹配！\r\n请重新输入用户代码和登录密码！");
}

class TestLogin : public QObject {
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
    void signIn_data();
    void signIn();
    void repeatedWrongAttempts();
    void pickUser();
    void cancelPicker();
    void unconnectedDatabaseRefuses();
    void storedWithoutHash_data();
    void storedWithoutHash();
};

void TestLogin::layout()
{
    driver::whenShown<TfrmLogin>(frmLogin, [](TfrmLogin* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("系统登录"));
        QCOMPARE(f->size(), QSize(275, 159));
        QCOMPARE(f->edtCode->geometry().topLeft(), QPoint(72, 28));
        QCOMPARE(f->edtCode->toolTip(), QStringLiteral("点击选择用户"));
        QVERIFY(f->findChild<QAction*>(QStringLiteral("edtCodeButton")));
        QVERIFY(!f->edtName->isEnabled());
        QVERIFY(f->edtName->isReadOnly());
        QCOMPARE(f->edtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(f->btnClose->text(), QStringLiteral("取消登录"));
        QCOMPARE(f->btnOK->geometry(), QRect(40, 8, 75, 25));
        QCOMPARE(f->focusWidget(), f->edtCode);
        QCOMPARE(f->edtCode->nextInFocusChain(), f->edtPassword);
        driver::click(f, "btnClose");
    });
    QVERIFY(!login());
    QVERIFY(!frmLogin);
    QVERIFY(Msg::shown().isEmpty()); // cancelling shows nothing
    QVERIFY(UserInfo.UserCode.isEmpty());
}

void TestLogin::signIn_data()
{
    QTest::addColumn<QString>("storedCode");
    QTest::addColumn<QString>("storedPassword");
    QTest::addColumn<QString>("typedCode");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<QString>("signedInAs"); // empty: refused

    QTest::newRow("exact") << "u1"
                           << "secret"
                           << "u1"
                           << "secret"
                           << "u1";
    QTest::newRow("blanks around both") << "u1"
                                        << "secret"
                                        << "  u1\t "
                                        << " secret  "
                                        << "u1";
    QTest::newRow("empty password") << "u1"
                                    << ""
                                    << "u1"
                                    << ""
                                    << "u1";
    QTest::newRow("empty password, one typed") << "u1"
                                               << ""
                                               << "u1"
                                               << "x"
                                               << "";
    QTest::newRow("wrong password") << "u1"
                                    << "secret"
                                    << "u1"
                                    << "Secret"
                                    << "";
    QTest::newRow("password of another user") << "u1"
                                              << "secret"
                                              << "u2"
                                              << "secret"
                                              << "";
    QTest::newRow("empty code") << "u1"
                                << "secret"
                                << ""
                                << "secret"
                                << "";
    QTest::newRow("code in other case") << "Admin"
                                        << "pw"
                                        << "aDMIN"
                                        << "pw"
                                        << "Admin";
    QTest::newRow("hostile characters") << R"(o'k"%_\)"
                                        << R"(p'w%_\")"
                                        << R"(o'k"%_\)"
                                        << R"(p'w%_\")"
                                        << R"(o'k"%_\)";
    QTest::newRow("underscore is no wildcard") << "a_c"
                                               << "pw"
                                               << "abc"
                                               << "pw"
                                               << "";
    QTest::newRow("percent is no wildcard") << "a%"
                                            << "pw"
                                            << "abc"
                                            << "pw"
                                            << "";
    QTest::newRow("quote cannot close the literal") << "u1"
                                                    << "secret"
                                                    << "u1' OR '1'='1"
                                                    << "x"
                                                    << "";
}

void TestLogin::signIn()
{
    QFETCH(QString, storedCode);
    QFETCH(QString, storedPassword);
    QFETCH(QString, typedCode);
    QFETCH(QString, typedPassword);
    QFETCH(QString, signedInAs);
    QVERIFY(userdb::addUser(storedCode, QStringLiteral("用户"), storedPassword));
    QVERIFY(userdb::addUser(QStringLiteral("u2"), QStringLiteral("其他"), QStringLiteral("other")));

    const bool expectOk = !signedInAs.isEmpty();
    driver::whenShown<TfrmLogin>(frmLogin, [&](TfrmLogin* f) {
        driver::type(f, "edtCode", typedCode);
        driver::type(f, "edtPassword", typedPassword);
        driver::click(f, "btnOK");
        if (expectOk)
            return;
        QCOMPARE(Msg::shownTexts(), QStringList{kMismatch});
        QVERIFY(f->isVisible());
        QCOMPARE(f->focusWidget(), f->edtCode);
        driver::click(f, "btnClose");
    });
    QCOMPARE(login(), expectOk);
    QCOMPARE(UserInfo.UserCode, signedInAs);
    if (expectOk)
        QVERIFY(Msg::shown().isEmpty());
}

void TestLogin::repeatedWrongAttempts()
{
    QVERIFY(userdb::addUser(QStringLiteral("u1"), QStringLiteral("甲"), QStringLiteral("right")));
    driver::whenShown<TfrmLogin>(frmLogin, [](TfrmLogin* f) {
        for (const char* wrong : {"wrong", "", "right "}) {
            Msg::clearShown();
            driver::type(f, "edtCode", QStringLiteral("u1"));
            driver::type(f, "edtPassword", QString::fromLatin1(wrong) + QStringLiteral("x"));
            driver::click(f, "btnOK");
            QCOMPARE(Msg::shownTexts(), QStringList{kMismatch});
            QVERIFY(f->isVisible());
        }
        Msg::clearShown();
        driver::type(f, "edtPassword", QStringLiteral("right"));
        driver::click(f, "btnOK");
    });
    QVERIFY(login());
    QVERIFY(Msg::shown().isEmpty());
    QCOMPARE(UserInfo.UserCode, QStringLiteral("u1"));
}

void TestLogin::pickUser()
{
    QVERIFY(userdb::addUser(QStringLiteral("u1"), QStringLiteral("张三"), QStringLiteral("pw")));
    driver::whenShown<TfrmLogin>(frmLogin, [](TfrmLogin* f) {
        driver::whenShown<TfrmSelectUser>(frmSelectUser,
                                          [](TfrmSelectUser* p) { driver::click(p, "btnOK"); });
        f->edtCodeButton->trigger();
        QVERIFY(!frmSelectUser);
        QCOMPARE(f->edtCode->text(), QStringLiteral("u1"));
        QCOMPARE(f->edtName->text(), QStringLiteral("张三"));
        QCOMPARE(f->focusWidget(), f->edtPassword);
        driver::type(f, "edtPassword", QStringLiteral("pw"));
        driver::click(f, "btnOK");
    });
    QVERIFY(login());
    QCOMPARE(UserInfo.UserCode, QStringLiteral("u1"));
    QCOMPARE(UserInfo.UserName, QStringLiteral("张三"));
    QVERIFY(UserInfo.UserAlias.isEmpty());
}

void TestLogin::cancelPicker()
{
    QVERIFY(userdb::addUser(QStringLiteral("u1"), QStringLiteral("张三"), QStringLiteral("pw")));
    driver::whenShown<TfrmLogin>(frmLogin, [](TfrmLogin* f) {
        driver::type(f, "edtCode", QStringLiteral("typed"));
        f->edtName->setText(QStringLiteral("earlier"));
        driver::whenShown<TfrmSelectUser>(frmSelectUser, [](TfrmSelectUser* p) { p->close(); });
        f->edtCodeButton->trigger();
        QCOMPARE(f->edtCode->text(), QStringLiteral("typed"));
        QCOMPARE(f->edtName->text(), QStringLiteral("earlier"));
        driver::click(f, "btnClose");
    });
    QVERIFY(!login());
}

void TestLogin::unconnectedDatabaseRefuses()
{
    m_install.reset();
    m_install = std::make_unique<TestInstall>(false);
    driver::whenShown<TfrmLogin>(frmLogin, [](TfrmLogin* f) {
        driver::type(f, "edtCode", QStringLiteral("u1"));
        driver::click(f, "btnOK");
        QCOMPARE(Msg::shownTexts(), QStringList{kMismatch});
        driver::click(f, "btnClose");
    });
    QVERIFY(!login());
    QVERIFY(m_install->errorLog().contains(QStringLiteral("frmLogin.checkOK")));
}

// Rows another tool filled: the password as plain text, empty, or NULL.
void TestLogin::storedWithoutHash_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty text, empty typed") << QVariant(QString(QLatin1String(""))) << "" << true;
    QTest::newRow("NULL, empty typed") << QVariant() << "" << true;
    QTest::newRow("NULL, one typed") << QVariant() << "x" << false;
    QTest::newRow("plain text") << QVariant(QStringLiteral("secret")) << "secret" << true;
    QTest::newRow("plain text, blanks typed") << QVariant(QStringLiteral("secret")) << " secret " << true;
    QTest::newRow("plain text, wrong") << QVariant(QStringLiteral("secret")) << "Secret" << false;
    QTest::newRow("plain text, empty typed") << QVariant(QStringLiteral("secret")) << "" << false;
}

void TestLogin::storedWithoutHash()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QVERIFY(execSql(QStringLiteral("test.add"),
                    QStringLiteral("INSERT INTO manager(mCode, mName, mPassword) VALUES('u1', '甲', ?)"),
                    {stored}));
    driver::whenShown<TfrmLogin>(frmLogin, [&](TfrmLogin* f) {
        driver::type(f, "edtCode", QStringLiteral("u1"));
        driver::type(f, "edtPassword", typed);
        driver::click(f, "btnOK");
        if (!accepted) {
            QCOMPARE(Msg::shownTexts(), QStringList{kMismatch});
            driver::click(f, "btnClose");
        }
    });
    QCOMPARE(login(), accepted);
    const QString now = userdb::column(QStringLiteral("u1"), QStringLiteral("mPassword"));
    if (accepted) {
        // Replaced by its hash on the first sign-in, and the same password
        // still signs in.
        QVERIFY2(isPasswordHash(now), qPrintable(now));
        QVERIFY(verifyPassword(now, trimText(typed)));
    } else {
        QCOMPARE(now, stored.toString());
    }
    QVERIFY(m_install->errorLog().isEmpty());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
