// The dialog base and the date picker, driven through their widgets.
#include "app/globals.h"
#include "app/msgbox.h"
#include "app/selectdate.h"
#include "tests/support/dialogdriver.h"

#include <QCalendarWidget>
#include <QDate>
#include <QFrame>
#include <QGuiApplication>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

class TestSelectDate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        Msg::setTestMode(true);
    }
    void cleanup() { driver::stopAll(); }

    void frame();
    void centred_data();
    void centred();
    void opensOn_data();
    void opensOn();
    void pickedDayIsPadded();
    void cancelKeepsText_data();
    void cancelKeepsText();
};

void TestSelectDate::frame()
{
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [](TfrmSelectDate* f) {
        QCOMPARE(f->windowTitle(), QStringLiteral("选择日期"));
        QCOMPARE(f->size(), QSize(311, 225));
        QCOMPARE(f->minimumSize(), f->maximumSize());
        QVERIFY(!(f->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(f->font().pixelSize(), 13);
        QCOMPARE(f->font().family(), QStringLiteral("宋体"));
        QCOMPARE(f->Panel2->height(), 41);
        QCOMPARE(f->Panel2->geometry().bottom(), f->height() - 1);
        QCOMPARE(f->Panel1->geometry().bottom() + 1, f->Panel2->y());
        QCOMPARE(f->btnOK->geometry(), QRect(56, 8, 75, 25));
        QCOMPARE(f->btnOK->text(), QStringLiteral("确定"));
        QCOMPARE(f->btnClose->geometry(), QRect(176, 8, 75, 25));
        QCOMPARE(f->btnClose->text(), QStringLiteral("关闭"));
        QCOMPARE(f->MonthCalendar1->geometry(), f->Panel1->rect());
        driver::click(f, "btnClose");
    });
    QString text;
    QVERIFY(!selectDate(text));
    QVERIFY(!frmSelectDate);
}

void TestSelectDate::centred_data()
{
    QTest::addColumn<bool>("withMainWindow");
    QTest::newRow("on the screen before sign-in") << false;
    QTest::newRow("over the main window") << true;
}

void TestSelectDate::centred()
{
    QFETCH(bool, withMainWindow);
    QWidget main;
    if (withMainWindow) {
        main.setGeometry(40, 60, 500, 400);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        frmMain = &main;
    }
    const QPoint expected = withMainWindow ? main.frameGeometry().center()
                                           : QGuiApplication::primaryScreen()->availableGeometry().center();
    QPoint centre;
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [&](TfrmSelectDate* f) {
        centre = f->frameGeometry().center();
        f->reject();
    });
    QString text;
    selectDate(text);
    frmMain = nullptr;
    QVERIFY2((centre - expected).manhattanLength() <= 2,
             qPrintable(QStringLiteral("centre %1,%2").arg(centre.x()).arg(centre.y())));
}

void TestSelectDate::opensOn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("shown");
    const QDate today = QDate::currentDate();
    QTest::newRow("leap day") << "2008-02-29" << QDate(2008, 2, 29);
    QTest::newRow("empty is today") << "" << today;
    QTest::newRow("unreadable") << "no date" << today;
    QTest::newRow("impossible day") << "2009-02-30" << today;
    QTest::newRow("other separator") << "2008/02/29" << today;
}

// OK returns the day the calendar opened on.
void TestSelectDate::opensOn()
{
    QFETCH(QString, text);
    QFETCH(QDate, shown);
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [&](TfrmSelectDate* f) {
        QCOMPARE(f->MonthCalendar1->selectedDate(), shown);
        QCOMPARE(f->MonthCalendar1->yearShown(), shown.year());
        QCOMPARE(f->MonthCalendar1->monthShown(), shown.month());
        driver::click(f, "btnOK");
    });
    QVERIFY(selectDate(text));
    QCOMPARE(text, shown.toString(QStringLiteral("yyyy-MM-dd")));
    QVERIFY(!frmSelectDate);
}

void TestSelectDate::pickedDayIsPadded()
{
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [](TfrmSelectDate* f) {
        f->MonthCalendar1->setSelectedDate(QDate(2009, 3, 5));
        driver::click(f, "btnOK");
    });
    QString text = QStringLiteral("2008-02-29");
    QVERIFY(selectDate(text));
    QCOMPARE(text, QStringLiteral("2009-03-05"));
}

void TestSelectDate::cancelKeepsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byCaptionBar");
    QTest::newRow("close button") << "2008-02-29" << false;
    QTest::newRow("caption bar") << "2008-02-29" << true;
    QTest::newRow("unreadable, close button") << "2008-2" << false;
}

void TestSelectDate::cancelKeepsText()
{
    QFETCH(QString, text);
    QFETCH(bool, byCaptionBar);
    driver::whenShown<TfrmSelectDate>(frmSelectDate, [&](TfrmSelectDate* f) {
        f->MonthCalendar1->setSelectedDate(QDate(2001, 1, 1));
        if (byCaptionBar)
            f->close();
        else
            driver::click(f, "btnClose");
    });
    const QString before = text;
    QVERIFY(!selectDate(text));
    QCOMPARE(text, before);
    QVERIFY(!frmSelectDate);
}

QTEST_MAIN(TestSelectDate)
#include "tst_selectdate.moc"
