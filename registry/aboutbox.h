#pragma once
#include <QDialog>

// 版本说明: the program's version and its maker.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

// Shows the about box modally and returns when it is closed.
void showAbout(QWidget* parent);
