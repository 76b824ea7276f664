#pragma once
// The printer and file questions of the reports, answerable in advance by tests.
#include <QString>

class QPrinter;
class QWidget;

namespace reports {

// The system print dialog on the default printer; false when cancelled.
bool askPrinter(QPrinter& printer, QWidget* parent);
// The save dialog for a PDF file; empty when cancelled.
QString askSavePdfName(QWidget* parent, const QString& suggestedName);

// --- for tests ---
// While set, askPrinter shows nothing, answers yes and points the printer at
// this PDF file.  Empty restores the dialog.
void setTestPrintFile(const QString& path);
// The next askSavePdfName returns this path without a dialog ("" = cancel).
void queueSaveFileName(const QString& path);

} // namespace reports
