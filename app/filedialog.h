#pragma once
// Every open and save dialog of the program goes through here, so tests can
// give the file name (or a cancel) in advance instead of blocking on a modal
// window.
#include <QString>
#include <QStringList>

class QWidget;

namespace FileDlg {

// Shows the open dialog; returns the chosen path, or the empty text when the
// user cancelled.  A typed name of a missing file is returned as typed.
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& defaultSuffix);
// Shows the save dialog; an existing file is taken without a question.
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& defaultSuffix);

// --- for tests ---
// When on, no dialog is shown: each call takes the next queued answer; with
// none queued it counts as cancelled.
void setTestMode(bool on);
bool testMode();
void queueFileName(const QString& path);
void queueCancel();
// Captions of the dialogs asked for since the last clear, in order.
const QStringList& asked();
void clearAsked();

} // namespace FileDlg
