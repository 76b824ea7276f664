#pragma once
// Every message box of the program goes through here, so tests can answer
// boxes in advance instead of blocking on a modal window.
#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace Msg {

struct Shown {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Shows a modal box over the active window and returns the button pressed.
QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The error box: caption "Corvane", error icon, the error's message.
void errorBox(const QString& message);

// --- for tests ---
// When on, boxes are not shown: each takes the next queued answer, or the
// default answer (the box's default button, else its first button).
void setTestMode(bool on);
bool testMode();
void queueAnswer(QMessageBox::StandardButton answer);
const QList<Shown>& shown();
QStringList shownTexts();
void clearShown();

} // namespace Msg
