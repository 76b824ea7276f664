#pragma once
// Driving modal dialogs from a test: the entry routine blocks in exec(), so
// the test's steps run from a timer once the dialog (found through its form
// variable) is on screen.
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace driver {

inline QObject& timers()
{
    static QObject holder;
    return holder;
}

// How long a dialog may stay open after its steps before the test fails.
inline constexpr int kWatchdogMs = 15000;

// Fails the test, naming the dialog, and closes it, when the dialog is still
// open kWatchdogMs after its steps ran: a fault that keeps a dialog open then
// fails fast instead of hanging in exec().
template <class Form> void watch(Form** var, Form* form)
{
    QPointer<QDialog> dialog(form);
    QTimer::singleShot(kWatchdogMs, &timers(), [var, dialog] {
        if (!dialog || *var != dialog.data() || !dialog->isVisible())
            return;
        const QByteArray message = "dialog " + dialog->objectName().toUtf8() + " (" +
                                   dialog->windowTitle().toUtf8() + ") still open " +
                                   QByteArray::number(kWatchdogMs / 1000) + " s after the test's steps";
        QTest::qFail(message.constData(), __FILE__, __LINE__);
        dialog->reject();
    });
}

// Runs step(form) once *formVariable holds a visible dialog.  When the step
// fails a check and leaves the dialog open, the dialog is rejected so the
// test does not hang in exec(); a dialog that stays open anyway fails the
// test after kWatchdogMs.
template <class Form>
void whenShown(Form*& formVariable, std::function<void(Form*)> step, int timeoutMs = 10000)
{
    auto* timer = new QTimer(&timers());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    Form** var = &formVariable;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, var, step, clock, timeoutMs] {
        Form* form = *var;
        if (form && form->isVisible()) {
            timer->stop();
            timer->deleteLater();
            step(form);
            if (QTest::currentTestFailed() && *var == form && form->isVisible())
                form->reject();
            else if (*var == form && form->isVisible())
                watch(var, form);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            QTest::qFail("the dialog did not come up", __FILE__, __LINE__);
        }
    });
    timer->start(5);
}

// Drops steps still waiting for a dialog that never came (call in cleanup()).
inline void stopAll()
{
    for (QTimer* t : timers().findChildren<QTimer*>())
        delete t;
}

template <class W = QWidget> W* child(QObject* form, const char* name)
{
    W* w = form->findChild<W*>(QString::fromLatin1(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

inline void click(QObject* form, const char* button)
{
    if (auto* b = child<QPushButton>(form, button))
        QTest::mouseClick(b, Qt::LeftButton);
}

// Replaces an edit's text, typed key by key as a user would where the keys
// exist (QTest types Latin-1 only; other text is set directly).
inline void type(QObject* form, const char* edit, const QString& text)
{
    if (auto* e = child<QLineEdit>(form, edit)) {
        e->clear();
        bool latin1 = true;
        for (QChar c : text)
            latin1 = latin1 && c.unicode() < 128 && c.unicode() >= 32;
        if (latin1)
            QTest::keyClicks(e, text);
        else
            e->setText(text);
    }
}

} // namespace driver
