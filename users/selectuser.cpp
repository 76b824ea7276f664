#include "users/selectuser.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/datasetmodel.h"
#include "app/dberror.h"
#include "app/dbgrid.h"
#include "app/handler.h"
#include "users/createuser.h"

#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSelectUser* frmSelectUser = nullptr;

TfrmSelectUser::TfrmSelectUser(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmSelectUser"));
    setWindowTitle(QStringLiteral("选择用户"));
    setClientSize(270, 230);

    qryUser = new Dataset(this);
    qryUser->setObjectName(QStringLiteral("qryUser"));
    qryUser->setSql(QStringLiteral("SELECT * FROM manager ORDER BY mCode"));
    qryUser->setUpdateTable(QStringLiteral("manager"));

    const QList<GridColumn> columns = {
        {QStringLiteral("gridManagermCode"), QStringLiteral("mCode"), QStringLiteral("用户代码"), 80, true,
         true},
        {QStringLiteral("gridManagermName"), QStringLiteral("mName"), QStringLiteral("用户名称"), 80, true,
         true},
        {QStringLiteral("gridManagermPassword"), QStringLiteral("mPassword"), QStringLiteral("用户密码"), 80,
         false, true},
        {QStringLiteral("gridManagermWhoInput"), QStringLiteral("mWhoInput"), QStringLiteral("由谁录入"), 80,
         true, true},
    };
    dsUser = new DatasetModel(qryUser, columns, this);
    dsUser->setObjectName(QStringLiteral("dsUser"));

    gridManager = new DbGrid(Panel1);
    gridManager->setObjectName(QStringLiteral("gridManager"));
    gridManager->setRowSelect(true);
    gridManager->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridManager->setDatasetModel(dsUser);
    gridManager->setDeleteHandler(guarded([this] { gridManagerDelete(); }));
    auto* fill = new QVBoxLayout(Panel1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(gridManager);

    btnCreateUser = makeButton(Panel2, QStringLiteral("btnCreateUser"), QStringLiteral("建新用户"), 16, 8);
    btnOK->move(104, 8);
    // The base position of the close button would overlap OK by a few pixels.
    btnClose->move(184, 8);
    setTabOrder(gridManager, btnCreateUser);
    setTabOrder(btnCreateUser, btnOK);
    setTabOrder(btnOK, btnClose);

    connect(btnCreateUser, &QPushButton::clicked, this, guarded([this] { btnCreateUserClick(); }));
    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
}

void TfrmSelectUser::FormShow()
{
    reopenQuery(QStringLiteral("frmSelectUser.FormShow"), *qryUser);
    gridManager->setFocus();
}

void TfrmSelectUser::btnCreateUserClick()
{
    if (createUser())
        reopenQuery(QStringLiteral("frmSelectUser.btnCreateUserClick"), *qryUser);
}

void TfrmSelectUser::btnOKClick()
{
    if (!qryUser->isActive() || qryUser->isEmpty()) {
        infoBox(QStringLiteral("请先创建用户！"));
        btnCreateUser->setFocus();
        return;
    }
    pickedUser.UserCode = qryUser->asString(QStringLiteral("mCode"));
    pickedUser.UserName = qryUser->asString(QStringLiteral("mName"));
    accept();
}

// Ctrl+Delete in the grid, once confirmed.  A user who still owns taxpayers
// or areas is kept: deleting him would leave their rows without an owner,
// invisible to every other user.
void TfrmSelectUser::gridManagerDelete()
{
    const QString context = QStringLiteral("frmSelectUser.gridManagerDelete");
    const QString code = qryUser->asString(QStringLiteral("mCode"));
    bool checked = false;
    QString error;
    // A count that could not be made keeps the user too, and says why.
    if (recordExists(context, QStringLiteral("taxer"), QStringLiteral("AND mCode=?"), {code}, &checked,
                     &error)) {
        infoBox(checked ? QStringLiteral("用户“%1”名下还有税户，不能删除！").arg(code)
                        : QStringLiteral("无法检查用户“%1”名下是否还有税户：\r\n%2").arg(code, error));
        return;
    }
    if (recordExists(context, QStringLiteral("area"), QStringLiteral("AND mCode=?"), {code}, &checked,
                     &error)) {
        infoBox(checked ? QStringLiteral("用户“%1”名下还有片区，不能删除！").arg(code)
                        : QStringLiteral("无法检查用户“%1”名下是否还有片区：\r\n%2").arg(code, error));
        return;
    }
    try {
        qryUser->remove();
    } catch (const DbError& e) {
        writeExceptionLog(context, e);
        infoBox(QStringLiteral("删除用户失败：\r\n%1").arg(e.message()));
    }
}

bool selectUser(TUserInfo& user)
{
    DialogScope<TfrmSelectUser> form(frmSelectUser);
    const int result = form->exec();
    user = form->pickedUser;
    return result == QDialog::Accepted;
}
