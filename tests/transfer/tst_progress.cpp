// Long archive work runs off the window thread under a modal progress
// dialog: the window thread keeps dispatching events meanwhile, nothing else
// can take input, and an error of the work reaches the caller.
#include "transfer/progress.h"

#include <QApplication>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <stdexcept>

class TestProgress : public QObject {
    Q_OBJECT
private slots:
    void workRunsOffTheWindowThread();
    void errorReachesCaller();
};

void TestProgress::workRunsOffTheWindowThread()
{
    QWidget window;
    window.show();
    QSemaphore release;
    QThread* workThread = nullptr;
    QString modal;
    bool released = false;
    // Fires only if the window thread's event loop runs while the work waits.
    QTimer::singleShot(50, [&] {
        if (QWidget* w = QApplication::activeModalWidget())
            modal = w->objectName();
        release.release();
    });
    transfer::runWithProgress(&window, QStringLiteral("正在写入……"), [&] {
        workThread = QThread::currentThread();
        released = release.tryAcquire(1, 10000);
    });
    QVERIFY(released);
    QVERIFY(workThread && workThread != QThread::currentThread());
    QCOMPARE(modal, QStringLiteral("frmTransferProgress"));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestProgress::errorReachesCaller()
{
    bool caught = false;
    try {
        transfer::runWithProgress(nullptr, QStringLiteral("x"),
                                  [] { throw std::runtime_error("disk gone"); });
    } catch (const std::runtime_error& e) {
        caught = QByteArray(e.what()) == "disk gone";
    }
    QVERIFY(caught);
}

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
