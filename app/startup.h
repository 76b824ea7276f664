#pragma once
// The start-up steps shared by the program and its start-up tests.
#include <QApplication>
#include <QWidget>

// The application object: any error that no handler caught ends that event
// handler and shows in the error box; the program goes on.
class CorvaneApplication : public QApplication {
public:
    CorvaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Title "Corvane", Chinese texts for Qt's own dialogs and buttons whatever
// LANG says, 宋体 mapped to a Song face, the Fusion style.
void initApplication(QApplication& app);

// AppPath and IniFileName from the executable's own directory.
void initPaths();

// Creates the data module and opens tax.mdb; a failure is shown once in the
// error box and start-up goes on unconnected.  Returns whether it connected.
bool createDataModule();

// The engine's message as the error box shows it: a full stop is added when
// the last character sorts after ".".
QString withFullStop(const QString& message);

// The splash window: borderless, 595 × 461, centred, the picture stretched.
class TfrmStart : public QWidget {
public:
    explicit TfrmStart(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
