#pragma once
#include "app/modaldialog.h"

class QLabel;
class QLineEdit;

// The transfer password: typed twice, compared, handed back.  It neither
// stores the password nor tests it against a package.
class TfrmExpImpPassword : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmExpImpPassword(QWidget* parent = nullptr);

    QLabel* RzLabel8 = nullptr;
    QLabel* RzLabel9 = nullptr;
    QLineEdit* edtPassword1 = nullptr;
    QLineEdit* edtPassword2 = nullptr;

    int dialogMode = 0;   // 1 import, 2 export
    QString passwordText; // set only when the user confirms

protected:
    void FormShow() override;

private:
    void btnOKClick();
};

extern TfrmExpImpPassword* frmExpImpPassword; // set while askTransferPassword runs

enum TransferMode { ImportMode = 1, ExportMode = 2 };

// Shows the dialog with the caption of the direction (1 "导入密码",
// 2 "导出密码").  Returns true when the user confirmed two equal entries;
// password is then the typed text, else empty.  Callers go on either way.
bool askTransferPassword(int mode, QString& password);
