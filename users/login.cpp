#include "users/login.h"

#include "app/common.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "app/handler.h"
#include "users/password.h"
#include "users/selectuser.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmLogin* frmLogin = nullptr;

TfrmLogin::TfrmLogin(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("系统登录"));
    setClientSize(275, 159);

    lblCode = makeLabel(Panel1, QStringLiteral("lblCode"), QStringLiteral("用户代码"), 16, 32);
    lblPassword = makeLabel(Panel1, QStringLiteral("lblPassword"), QStringLiteral("登陆密码"), 16, 64);

    edtCode = makeEdit(Panel1, QStringLiteral("edtCode"), 72, 28, 105);
    edtCode->setToolTip(QStringLiteral("点击选择用户"));
    edtCodeButton = new QAction(ellipsisIcon(), QString(), edtCode);
    edtCodeButton->setObjectName(QStringLiteral("edtCodeButton"));
    edtCodeButton->setToolTip(QStringLiteral("点击选择用户"));
    edtCode->addAction(edtCodeButton, QLineEdit::TrailingPosition);

    edtName = makeEdit(Panel1, QStringLiteral("edtName"), 184, 28, 73);
    edtName->setReadOnly(true);
    edtName->setEnabled(false);

    edtPassword = makeEdit(Panel1, QStringLiteral("edtPassword"), 72, 60, 185);
    edtPassword->setEchoMode(QLineEdit::Password);

    btnOK->move(40, 8);
    btnClose->move(160, 8);
    btnClose->setText(QStringLiteral("取消登录"));

    setTabOrder(edtCode, edtPassword);
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnClose);

    connect(edtCodeButton, &QAction::triggered, this, guarded([this] { edtCodeButtonClick(); }));
    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
}

void TfrmLogin::FormShow()
{
    edtCode->setFocus();
}

void TfrmLogin::edtCodeButtonClick()
{
    TUserInfo picked;
    if (!selectUser(picked))
        return;
    edtCode->setText(picked.UserCode);
    edtName->setText(picked.UserName);
    edtPassword->setFocus();
}

bool TfrmLogin::checkOK()
{
    const QString code = trimText(edtCode->text());
    const QString password = trimText(edtPassword->text());
    m_matchedCode.clear();

    // The hash is salted, so the row is found by its code and the password is
    // verified against that row's hash; exactly one row must carry the code.
    if (frmDm && frmDm->qryCommon) {
        const QString context = QStringLiteral("frmLogin.checkOK");
        Dataset& q = *frmDm->qryCommon;
        if (runSql(context, q, QStringLiteral("SELECT mCode, mPassword FROM MANAGER WHERE mCode=?"), true,
                   {code}) &&
            q.recordCount() == 1) {
            const QString matched = q.asString(QStringLiteral("mCode"));
            const QString stored = q.asString(QStringLiteral("mPassword")); // NULL reads as empty
            if (verifyPassword(stored, password)) {
                m_matchedCode = matched;
                // A password another tool stored as plain text is hashed now
                // that it is known; a failure is logged and changes nothing.
                if (!isPasswordHash(stored))
                    execSql(context, QStringLiteral("UPDATE manager SET mPassword=? WHERE mCode=?"),
                            {hashPassword(password), matched});
                return true;
            }
        }
    }
    infoBox(QStringLiteral("登录用户代码和密码不匹配！\r\n请重新输入用户代码和登录密码！"));
    edtCode->setFocus();
    return false;
}

void TfrmLogin::btnOKClick()
{
    if (!checkOK())
        return;
    // Codes compare ignoring letter case: the owner code is the stored spelling.
    UserInfo.UserCode = m_matchedCode;
    UserInfo.UserName = trimText(edtName->text());
    accept();
}

bool login()
{
    DialogScope<TfrmLogin> form(frmLogin);
    return form->exec() == QDialog::Accepted;
}
