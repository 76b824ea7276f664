// Window handlers connected through guarded(): an error ends the handler and
// shows one error box, a check's abort shows nothing more, and the program
// goes on.  The test runs on a plain QApplication, with no net in notify(),
// so an error that crossed Qt's signal dispatch would end the test.
#include "app/dataset.h"
#include "app/dberror.h"
#include "app/handler.h"
#include "app/modaldialog.h"
#include "app/msgbox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <stdexcept>

namespace {

// A dialog whose FormShow fails, as one reading a locked table would.
class FailingShow : public TfrmModal {
public:
    int shown = 0;

protected:
    void FormShow() override
    {
        ++shown;
        throw DbError(QStringLiteral("数据库正被其他程序使用，请稍后再试"));
    }
};

} // namespace

class TestHandler : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        Msg::setTestMode(true);
        Msg::clearShown();
    }
    void errorInHandler_data();
    void errorInHandler();
    void errorInFormShow();
};

void TestHandler::errorInHandler_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("boxText"); // empty: no box
    QTest::newRow("engine error") << 0 << "与已有的记录重复（taxer.tCode）";
    QTest::newRow("other std::exception") << 1 << "bad thing";
    QTest::newRow("check aborted") << 2 << "";
    QTest::newRow("something else thrown") << 3 << "程序发生未知错误";
}

void TestHandler::errorInHandler()
{
    QFETCH(int, kind);
    QFETCH(QString, boxText);
    QPushButton failing, other;
    int stepsAfterThrow = 0, otherClicks = 0;
    QObject::connect(&failing, &QPushButton::clicked, &failing, guarded([&] {
        switch (kind) {
        case 0:
            throw DbError(QStringLiteral("与已有的记录重复（taxer.tCode）"),
                          QStringLiteral("UNIQUE constraint failed: taxer.tCode"));
        case 1:
            throw std::runtime_error("bad thing");
        case 2:
            Dataset::abort();
        default:
            throw 42;
        }
        ++stepsAfterThrow;
    }));
    QObject::connect(&other, &QPushButton::clicked, &other, guarded([&] { ++otherClicks; }));

    QTest::mouseClick(&failing, Qt::LeftButton);
    QCOMPARE(stepsAfterThrow, 0); // the handler ended at the error
    if (boxText.isEmpty()) {
        QVERIFY(Msg::shown().isEmpty());
    } else {
        QCOMPARE(Msg::shown().size(), 1);
        const Msg::Shown& box = Msg::shown().first();
        QCOMPARE(box.caption, QStringLiteral("Corvane"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, boxText);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    // The program goes on: the same and other handlers still run.
    QTest::mouseClick(&other, Qt::LeftButton);
    QCOMPARE(otherClicks, 1);
    Msg::clearShown();
    QTest::mouseClick(&failing, Qt::LeftButton);
    QCOMPARE(Msg::shown().size(), boxText.isEmpty() ? 0 : 1);
}

void TestHandler::errorInFormShow()
{
    FailingShow dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.shown, 1);
    QCOMPARE(Msg::shownTexts(), QStringList{QStringLiteral("数据库正被其他程序使用，请稍后再试")});
    QVERIFY(dialog.isVisible()); // the dialog stays usable
    QTest::mouseClick(dialog.btnClose, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestHandler)
#include "tst_handler.moc"
