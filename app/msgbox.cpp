#include "app/msgbox.h"

#include "app/common.h"
#include "app/globals.h"

#include <QApplication>
#include <QList>

namespace {

struct TestState {
    bool on = false;
    QList<QMessageBox::StandardButton> answers;
    QList<Msg::Shown> shown;
};

TestState& state()
{
    static TestState s;
    return s;
}

// The answer of a box nobody clicks: the default button, else the first
// button of the set (Yes before No, OK alone).
QMessageBox::StandardButton defaultAnswer(QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton)
{
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(QMessageBox::StandardButton(bit)))
            return QMessageBox::StandardButton(bit);
    }
    // A box without buttons is shown with OK.
    return QMessageBox::Ok;
}

} // namespace

namespace Msg {

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    TestState& s = state();
    if (s.on) {
        s.shown.append(Shown{icon, caption, text, buttons});
        if (!s.answers.isEmpty())
            return s.answers.takeFirst();
        return defaultAnswer(buttons, defaultButton);
    }

    QWidget* parent = QApplication::activeWindow();
    if (!parent)
        parent = frmMain;
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void errorBox(const QString& message)
{
    show(QMessageBox::Critical, QStringLiteral("Corvane"), message, QMessageBox::Ok);
}

void setTestMode(bool on)
{
    TestState& s = state();
    s.on = on;
    s.answers.clear();
}

bool testMode()
{
    return state().on;
}

void queueAnswer(QMessageBox::StandardButton answer)
{
    state().answers.append(answer);
}

const QList<Shown>& shown()
{
    return state().shown;
}

QStringList shownTexts()
{
    QStringList texts;
    for (const Shown& box : std::as_const(state().shown))
        texts.append(box.text);
    return texts;
}

void clearShown()
{
    state().shown.clear();
}

} // namespace Msg

bool confirmBox(const QString& text)
{
    return Msg::show(QMessageBox::Question, QStringLiteral("确认框"), text,
                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void infoBox(const QString& text)
{
    Msg::show(QMessageBox::NoIcon, QStringLiteral("Corvane"), text, QMessageBox::Ok);
}
