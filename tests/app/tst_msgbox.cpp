#include "app/common.h"
#include "app/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <algorithm>

class TestMsgBox : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();
    void recordsAndAnswersFromQueue();
    void unqueuedAnswer_data();
    void unqueuedAnswer();
    void confirmBoxAnswers_data();
    void confirmBoxAnswers();
    void infoBoxLook();
    void errorBoxLook();
    void realBoxAnswersByItsButtons_data();
    void realBoxAnswersByItsButtons();
};

void TestMsgBox::init()
{
    Msg::setTestMode(true);
    Msg::clearShown();
}

void TestMsgBox::cleanupTestCase()
{
    Msg::setTestMode(false);
}

void TestMsgBox::recordsAndAnswersFromQueue()
{
    QVERIFY(Msg::testMode());
    Msg::queueAnswer(QMessageBox::No);
    Msg::queueAnswer(QMessageBox::Cancel);
    const auto buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QCOMPARE(Msg::show(QMessageBox::Warning, QStringLiteral("标题"), QStringLiteral("第一"), buttons),
             QMessageBox::No);
    QCOMPARE(Msg::show(QMessageBox::Warning, QStringLiteral("标题"), QStringLiteral("第二"), buttons,
                       QMessageBox::Yes),
             QMessageBox::Cancel);

    QCOMPARE(Msg::shown().size(), 2);
    const Msg::Shown& first = Msg::shown().at(0);
    QCOMPARE(first.icon, QMessageBox::Warning);
    QCOMPARE(first.caption, QStringLiteral("标题"));
    QCOMPARE(first.text, QStringLiteral("第一"));
    QCOMPARE(first.buttons, buttons);
    QCOMPARE(Msg::shownTexts(), (QStringList{QStringLiteral("第一"), QStringLiteral("第二")}));

    Msg::clearShown();
    QVERIFY(Msg::shown().isEmpty());
}

void TestMsgBox::unqueuedAnswer_data()
{
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("default button") << (QMessageBox::Yes | QMessageBox::No) << QMessageBox::No
                                    << QMessageBox::No;
    QTest::newRow("first of Yes/No") << (QMessageBox::Yes | QMessageBox::No) << QMessageBox::NoButton
                                     << QMessageBox::Yes;
    QTest::newRow("first of OK/Cancel")
        << (QMessageBox::Cancel | QMessageBox::Ok) << QMessageBox::NoButton << QMessageBox::Ok;
    QTest::newRow("OK alone") << QMessageBox::StandardButtons(QMessageBox::Ok) << QMessageBox::NoButton
                              << QMessageBox::Ok;
}

void TestMsgBox::unqueuedAnswer()
{
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(QMessageBox::StandardButton, defaultButton);
    QFETCH(QMessageBox::StandardButton, answer);
    QCOMPARE(
        Msg::show(QMessageBox::Information, QStringLiteral("c"), QStringLiteral("t"), buttons, defaultButton),
        answer);
}

void TestMsgBox::confirmBoxAnswers_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("Yes") << QMessageBox::Yes << true;
    QTest::newRow("No") << QMessageBox::No << false;
}

void TestMsgBox::confirmBoxAnswers()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, result);
    Msg::queueAnswer(answer);
    QCOMPARE(confirmBox(QStringLiteral("确定删除吗？")), result);

    QCOMPARE(Msg::shown().size(), 1);
    const Msg::Shown& box = Msg::shown().first();
    QCOMPARE(box.caption, QStringLiteral("确认框"));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.text, QStringLiteral("确定删除吗？"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
}

void TestMsgBox::infoBoxLook()
{
    infoBox(QStringLiteral("税户编码不能为空"));
    QCOMPARE(Msg::shown().size(), 1);
    const Msg::Shown& box = Msg::shown().first();
    QCOMPARE(box.caption, QStringLiteral("Corvane"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.text, QStringLiteral("税户编码不能为空"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestMsgBox::errorBoxLook()
{
    Msg::errorBox(QStringLiteral("无法打开数据库。"));
    QCOMPARE(Msg::shown().size(), 1);
    const Msg::Shown& box = Msg::shown().first();
    QCOMPARE(box.caption, QStringLiteral("Corvane"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("无法打开数据库。"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestMsgBox::realBoxAnswersByItsButtons_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("press");
    QTest::addColumn<bool>("result");
    QTest::newRow("Yes") << QMessageBox::Yes << true;
    QTest::newRow("No") << QMessageBox::No << false;
}

// The box users see: shown for real (offscreen) and answered by pressing its
// button, as a user would.
void TestMsgBox::realBoxAnswersByItsButtons()
{
    QFETCH(QMessageBox::StandardButton, press);
    QFETCH(bool, result);
    Msg::setTestMode(false);
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            buttons << box->standardButton(b);
        QTest::mouseClick(box->button(press), Qt::LeftButton);
    });
    poll.start(10);
    const bool answer = confirmBox(QStringLiteral("确定删除选中的税户吗？"));
    Msg::setTestMode(true);
    QCOMPARE(answer, result);
    QCOMPARE(caption, QStringLiteral("确认框"));
    QCOMPARE(text, QStringLiteral("确定删除选中的税户吗？"));
    QCOMPARE(icon, QMessageBox::Question);
    std::sort(buttons.begin(), buttons.end());
    QCOMPARE(buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
    QVERIFY(Msg::shown().isEmpty()); // not the test queue's answer
}

QTEST_MAIN(TestMsgBox)
#include "tst_msgbox.moc"
