#include "transfer/transferpassword.h"

#include "app/common.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmExpImpPassword* frmExpImpPassword = nullptr;

TfrmExpImpPassword::TfrmExpImpPassword(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmExpImpPassword"));
    setWindowTitle(QStringLiteral("密码"));
    setClientSize(218, 110);

    RzLabel8 = makeLabel(Panel1, QStringLiteral("RzLabel8"), QStringLiteral("密码"), 35, 16);
    RzLabel9 = makeLabel(Panel1, QStringLiteral("RzLabel9"), QStringLiteral("重复密码"), 11, 40);
    edtPassword1 = makeEdit(Panel1, QStringLiteral("edtPassword1"), 72, 12, 100);
    edtPassword2 = makeEdit(Panel1, QStringLiteral("edtPassword2"), 72, 36, 100);
    for (QLineEdit* e : {edtPassword1, edtPassword2})
        e->setEchoMode(QLineEdit::Password);
    RzLabel8->setBuddy(edtPassword1);
    RzLabel9->setBuddy(edtPassword2);
    edtPassword1->setAccessibleName(QStringLiteral("密码"));
    edtPassword2->setAccessibleName(QStringLiteral("重复密码"));

    // Two 50-wide buttons side by side; the second starts where the first
    // ends so neither hides the other's edge.
    btnOK->setFixedWidth(50);
    btnClose->setFixedWidth(50);
    btnOK->move(72, 8);
    btnClose->move(124, 8);

    setTabOrder(edtPassword1, edtPassword2);
    setTabOrder(edtPassword2, btnOK);
    setTabOrder(btnOK, btnClose);

    connect(btnOK, &QPushButton::clicked, this, &TfrmExpImpPassword::btnOKClick);
}

void TfrmExpImpPassword::FormShow()
{
    static const QString captions[] = {QStringLiteral("导入密码"), QStringLiteral("导出密码")};
    setWindowTitle(dialogMode == 1 || dialogMode == 2 ? captions[dialogMode - 1] : QStringLiteral("密码"));
    edtPassword1->setFocus();
}

void TfrmExpImpPassword::btnOKClick()
{
    // Exact comparison: letter case counts, nothing is trimmed.
    if (edtPassword1->text() != edtPassword2->text()) {
        infoBox(QStringLiteral("两次密码不一样，请重新输入！"));
        edtPassword1->setFocus();
        return;
    }
    passwordText = edtPassword1->text();
    accept();
}

bool askTransferPassword(int mode, QString& password)
{
    DialogScope<TfrmExpImpPassword> form(frmExpImpPassword);
    form->dialogMode = mode;
    const bool ok = form->exec() == QDialog::Accepted;
    password = ok ? form->passwordText : QString();
    return ok;
}
