#include "reports/printing.h"

#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

namespace reports {

namespace {
QString testPrintFile;
QStringList queuedNames;
} // namespace

bool askPrinter(QPrinter& printer, QWidget* parent)
{
    if (!testPrintFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(testPrintFile);
        return true;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印"));
    return dialog.exec() == QDialog::Accepted;
}

QString askSavePdfName(QWidget* parent, const QString& suggestedName)
{
    if (!queuedNames.isEmpty())
        return queuedNames.takeFirst();
    QString name =
        QFileDialog::getSaveFileName(parent, QStringLiteral("保存为PDF文件"),
                                     QDir::home().filePath(suggestedName), QStringLiteral("PDF文件 (*.pdf)"));
    if (!name.isEmpty() && !name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        name += QStringLiteral(".pdf");
    return name;
}

void setTestPrintFile(const QString& path)
{
    testPrintFile = path;
}

void queueSaveFileName(const QString& path)
{
    queuedNames.append(path);
}

} // namespace reports
