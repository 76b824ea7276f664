#include "users/createuser.h"

#include "app/common.h"
#include "app/datamodule.h"
#include "app/dataset.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/handler.h"
#include "users/password.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmCreateUser* frmCreateUser = nullptr;

TfrmCreateUser::TfrmCreateUser(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmCreateUser"));
    setWindowTitle(QStringLiteral("创建新用户"));
    setClientSize(245, 161);

    Label1 = makeLabel(Panel1, QStringLiteral("Label1"), QStringLiteral("用户代码"), 32, 24);
    edtCode = makeEdit(Panel1, QStringLiteral("edtCode"), 88, 20, 121);
    Label2 = makeLabel(Panel1, QStringLiteral("Label2"), QStringLiteral("用户姓名"), 32, 56);
    edtName = makeEdit(Panel1, QStringLiteral("edtName"), 88, 52, 121);
    Label3 = makeLabel(Panel1, QStringLiteral("Label3"), QStringLiteral("登录密码"), 32, 88);
    edtPassword = makeEdit(Panel1, QStringLiteral("edtPassword"), 88, 84, 121);
    edtPassword->setEchoMode(QLineEdit::Password);

    btnOK->move(48, 8);
    btnClose->move(136, 8);

    setTabOrder(edtCode, edtName);
    setTabOrder(edtName, edtPassword);
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnClose);

    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
}

void TfrmCreateUser::FormShow()
{
    createdCount = 0;
    edtCode->setFocus();
}

void TfrmCreateUser::btnOKClick()
{
    if (checkOK())
        accept();
}

bool TfrmCreateUser::checkOK()
{
    const QString context = QStringLiteral("frmCreateUser.checkOK");
    const QString code = trimText(edtCode->text());
    const QString name = trimText(edtName->text());
    const QString password = trimText(edtPassword->text());

    if (code.isEmpty()) {
        infoBox(QStringLiteral("用户代码不能为空！"));
        edtCode->setFocus();
        return false;
    }
    if (!isValidCode(code)) {
        infoBox(invalidCodeText(QStringLiteral("用户代码")));
        edtCode->setFocus();
        return false;
    }
    // Codes compare ignoring letter case (the column's collation).
    bool checked = false;
    QString error;
    if (recordExists(context, QStringLiteral("manager"), QStringLiteral("AND mCode=?"), {code}, &checked,
                     &error)) {
        // A count that could not be made is no duplicate: say what happened.
        infoBox(checked ? QStringLiteral("用户代码已经存在！\r\n请更改用户代码！")
                        : QStringLiteral("无法检查用户代码是否已经存在：\r\n%1").arg(error));
        edtCode->setFocus();
        return false;
    }
    if (!execSql(
            context,
            QStringLiteral("INSERT INTO manager(mCode, mName, mPassword, mWhoInput) VALUES(?, ?, ?, ?) "),
            {code, name, hashPassword(password), code}, &error)) {
        // The input stays in the dialog so the user can correct it.
        infoBox(QStringLiteral("添加新用户失败：\r\n%1").arg(error));
        edtCode->setFocus();
        return false;
    }
    ++createdCount;
    infoBox(QStringLiteral("添加新用户成功！"));
    return true;
}

bool createUser()
{
    DialogScope<TfrmCreateUser> form(frmCreateUser);
    form->exec();
    return form->createdCount > 0;
}
