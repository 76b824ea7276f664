// corvane-mkdb --set-password: the way back in for a user who forgot his
// password, the new one read from standard input.
#include "tests/support/testinstall.h"
#include "tests/users/userdb.h"
#include "users/password.h"

#include <QProcess>
#include <QtTest>
#include <memory>

class TestSetPassword : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

    // Runs the tool with input on standard input (not a terminal).
    int run(const QString& code, const QByteArray& input, QString* errors = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(CORVANE_MKDB), {QStringLiteral("--set-password"), m_install->dir(), code});
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(30000))
            return -1;
        if (errors)
            *errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(userdb::addUser(QStringLiteral("Admin"), QStringLiteral("甲"), QStringLiteral("forgotten")));
        QVERIFY(userdb::addUser(QStringLiteral("u2"), QStringLiteral("乙"), QStringLiteral("kept")));
    }
    void cleanup() { m_install.reset(); }

    void setsPassword_data();
    void setsPassword();
    void unknownUserChangesNothing();
};

void TestSetPassword::setsPassword_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("password"); // what signs in afterwards
    QTest::newRow("line end") << "Admin" << QByteArray("new pw\n") << "new pw";
    QTest::newRow("CR LF, blanks around") << "Admin" << QByteArray("  新密码 \r\n") << "新密码";
    QTest::newRow("no line end, code in other case") << "aDMIN" << QByteArray("x") << "x";
    QTest::newRow("empty line") << "Admin" << QByteArray("\n") << "";
}

void TestSetPassword::setsPassword()
{
    QFETCH(QString, code);
    QFETCH(QByteArray, input);
    QFETCH(QString, password);
    QString errors;
    QCOMPARE(run(code, input, &errors), 0);
    const QString stored = userdb::column(QStringLiteral("Admin"), QStringLiteral("mPassword"));
    QVERIFY(isPasswordHash(stored));
    QVERIFY(verifyPassword(stored, password));
    QVERIFY(!verifyPassword(stored, QStringLiteral("forgotten")));
    // Nobody else's password changed.
    QVERIFY(verifyPassword(userdb::column(QStringLiteral("u2"), QStringLiteral("mPassword")),
                           QStringLiteral("kept")));
}

void TestSetPassword::unknownUserChangesNothing()
{
    QString errors;
    QCOMPARE(run(QStringLiteral("nobody"), "pw\n", &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("nobody")), qPrintable(errors));
    QVERIFY(verifyPassword(userdb::column(QStringLiteral("Admin"), QStringLiteral("mPassword")),
                           QStringLiteral("forgotten")));
    // No input at all: nothing is set.
    QCOMPARE(run(QStringLiteral("Admin"), QByteArray(), &errors), 1);
    QVERIFY(verifyPassword(userdb::column(QStringLiteral("Admin"), QStringLiteral("mPassword")),
                           QStringLiteral("forgotten")));
}

QTEST_MAIN(TestSetPassword)
#include "tst_setpassword.moc"
