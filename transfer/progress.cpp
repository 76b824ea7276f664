#include "transfer/progress.h"

#include "app/globals.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>
#include <exception>

namespace transfer {

namespace {

// A busy indicator the user cannot close: the work it stands for cannot be
// interrupted half-way.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* parent, const QString& text)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    {
        setObjectName(QStringLiteral("frmTransferProgress"));
        setWindowTitle(QStringLiteral("Corvane"));
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("lbProgress"));
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("pbProgress"));
        bar->setRange(0, 0);
        bar->setAccessibleName(text);
        label->setBuddy(bar);
        layout->addWidget(label);
        layout->addWidget(bar);
        setMinimumWidth(300);
    }
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

} // namespace

void runWithProgress(QWidget* parent, const QString& text, const std::function<void()>& work)
{
    std::exception_ptr error;
    QThread* thread = QThread::create([&work, &error] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (!parent)
        parent = QApplication::activeWindow() ? QApplication::activeWindow() : frmMain;
    ProgressDialog dlg(parent, text);
    // Queued to this thread, so it arrives inside exec() even when the work
    // ends before the dialog is up.
    QObject::connect(thread, &QThread::finished, &dlg, &QDialog::accept, Qt::QueuedConnection);
    thread->start();
    dlg.exec();
    thread->wait();
    delete thread;
    if (error)
        std::rethrow_exception(error);
}

} // namespace transfer
