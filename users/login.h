#pragma once
#include "app/modaldialog.h"

class QAction;
class QLabel;
class QLineEdit;

// The sign-in dialog: user code (typed or picked) and password.
class TfrmLogin : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget* parent = nullptr);

    QLabel* lblCode = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* edtCode = nullptr;
    QAction* edtCodeButton = nullptr; // the side button of edtCode
    QLineEdit* edtName = nullptr;
    QLineEdit* edtPassword = nullptr;

    // True when code and password match exactly one user; otherwise shows the
    // mismatch message and puts the focus on the code.
    bool checkOK();

protected:
    void FormShow() override;

private:
    void edtCodeButtonClick();
    void btnOKClick();

    QString m_matchedCode; // the code as the matched row stores it
};

extern TfrmLogin* frmLogin; // set while login runs

// Shows the sign-in dialog; true when a user signed in (UserInfo is filled).
bool login();
