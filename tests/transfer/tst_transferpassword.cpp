// The transfer password dialog: captions by direction, exact comparison,
// a cancel that returns nothing, a fresh dialog for every call.
#include "app/msgbox.h"
#include "tests/support/dialogdriver.h"
#include "tests/support/testinstall.h"
#include "transfer/transferpassword.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {
const QString kMismatch = QStringLiteral("两次密码不一样，请重新输入！");
}

class TestTransferPassword : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;

private slots:
    void init() { m_install = std::make_unique<TestInstall>(false, false); }
    void cleanup()
    {
        driver::stopAll();
        m_install.reset();
    }

    void captionAndLayout_data();
    void captionAndLayout();
    void entries_data();
    void entries();
    void closeAfterMismatchReturnsNothing();
    void everyCallStartsEmpty();
};

void TestTransferPassword::captionAndLayout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("caption");
    QTest::newRow("import") << 1 << QStringLiteral("导入密码");
    QTest::newRow("export") << 2 << QStringLiteral("导出密码");
}

void TestTransferPassword::captionAndLayout()
{
    QFETCH(int, mode);
    QFETCH(QString, caption);
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [caption](TfrmExpImpPassword* f) {
        QCOMPARE(f->windowTitle(), caption);
        QCOMPARE(f->size(), QSize(218, 110));
        QCOMPARE(f->edtPassword1->geometry(), QRect(72, 12, 100, 21));
        QCOMPARE(f->edtPassword2->geometry(), QRect(72, 36, 100, 21));
        QCOMPARE(f->edtPassword1->echoMode(), QLineEdit::Password);
        QCOMPARE(f->edtPassword2->echoMode(), QLineEdit::Password);
        QCOMPARE(f->focusWidget(), f->edtPassword1);
        // The buttons sit side by side without covering each other.
        QVERIFY(!f->btnOK->geometry().intersects(f->btnClose->geometry()));
        QCOMPARE(f->btnOK->text(), QStringLiteral("确定"));
        QCOMPARE(f->btnClose->text(), QStringLiteral("关闭"));
        driver::click(f, "btnClose");
    });
    QString password = QStringLiteral("stale");
    QVERIFY(!askTransferPassword(mode, password));
    QCOMPARE(password, QString());
    QVERIFY(!frmExpImpPassword);
}

void TestTransferPassword::entries_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("match");
    QTest::newRow("equal") << "Secret 1"
                           << "Secret 1" << true;
    QTest::newRow("both empty") << ""
                                << "" << true;
    QTest::newRow("letter case differs") << "secret"
                                         << "Secret" << false;
    QTest::newRow("trailing blank") << "secret "
                                    << "secret" << false;
    QTest::newRow("leading blank") << " secret"
                                   << "secret" << false;
    QTest::newRow("second blank") << "secret"
                                  << "" << false;
    QTest::newRow("chinese, equal") << "密码甲"
                                    << "密码甲" << true;
}

// A match closes with the typed text; a mismatch says so, keeps both boxes
// and puts the focus in the first.
void TestTransferPassword::entries()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, match);
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [=](TfrmExpImpPassword* f) {
        driver::type(f, "edtPassword1", first);
        driver::type(f, "edtPassword2", second);
        driver::click(f, "btnOK");
        if (match) {
            QVERIFY(!f->isVisible());
            QVERIFY(Msg::shownTexts().isEmpty());
            return;
        }
        QVERIFY(f->isVisible());
        QCOMPARE(Msg::shownTexts(), QStringList{kMismatch});
        QCOMPARE(f->edtPassword1->text(), first);
        QCOMPARE(f->edtPassword2->text(), second);
        QCOMPARE(f->focusWidget(), f->edtPassword1);
        // Corrected, it goes through.
        driver::type(f, "edtPassword2", first);
        driver::click(f, "btnOK");
        QVERIFY(!f->isVisible());
    });
    QString password;
    QVERIFY(askTransferPassword(2, password));
    QCOMPARE(password, first);
}

void TestTransferPassword::closeAfterMismatchReturnsNothing()
{
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [](TfrmExpImpPassword* f) {
        driver::type(f, "edtPassword1", "abc");
        driver::type(f, "edtPassword2", "abd");
        driver::click(f, "btnOK");
        QVERIFY(f->isVisible());
        driver::click(f, "btnClose");
    });
    QString password;
    QVERIFY(!askTransferPassword(1, password));
    QCOMPARE(password, QString());
}

void TestTransferPassword::everyCallStartsEmpty()
{
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [](TfrmExpImpPassword* f) {
        driver::type(f, "edtPassword1", "abc");
        driver::type(f, "edtPassword2", "abc");
        driver::click(f, "btnOK");
    });
    QString password;
    QVERIFY(askTransferPassword(2, password));
    QCOMPARE(password, QStringLiteral("abc"));
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [](TfrmExpImpPassword* f) {
        QCOMPARE(f->edtPassword1->text(), QString());
        QCOMPARE(f->edtPassword2->text(), QString());
        QCOMPARE(f->passwordText, QString());
        driver::click(f, "btnClose");
    });
    QVERIFY(!askTransferPassword(2, password));
    QCOMPARE(password, QString());
}

QTEST_MAIN(TestTransferPassword)
#include "tst_transferpassword.moc"
