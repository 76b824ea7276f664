#pragma once
#include "app/modaldialog.h"

class QLabel;
class QLineEdit;

// The new-user dialog: code, name and password of one new user.
class TfrmCreateUser : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmCreateUser(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* edtCode = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtPassword = nullptr;
    int createdCount = 0; // users added while the dialog is shown

    // Validates the input and adds the user; false keeps the dialog open.
    bool checkOK();

protected:
    void FormShow() override;

private:
    void btnOKClick();
};

extern TfrmCreateUser* frmCreateUser; // set while createUser runs

// Shows the new-user dialog; true when a user was added.
bool createUser();
