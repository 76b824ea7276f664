// Corvane: splash, database, sign-in, then the main window.
#include "app/globals.h"
#include "app/startup.h"
#include "registry/mainwindow.h"
#include "users/login.h"

#include <QThread>

int main(int argc, char** argv)
{
    CorvaneApplication app(argc, argv);
    initApplication(app);
    initPaths();

    auto* splash = new TfrmStart;
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    createDataModule();
    // The splash stays up for the connection time plus three seconds.
    QThread::msleep(3000);
    splash->repaint();
    delete splash;

    if (!login())
        return 0; // sign-in cancelled: end without a message

    TfrmMain window;
    frmMain = &window;
    window.showMaximized();
    const int result = app.exec();
    frmMain = nullptr;
    return result;
}
