#pragma once
#include "app/globals.h"
#include "app/modaldialog.h"

class Dataset;
class DatasetModel;
class DbGrid;

// The user picker: all users by code; OK returns the current one.
class TfrmSelectUser : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmSelectUser(QWidget* parent = nullptr);

    Dataset* qryUser = nullptr;
    DatasetModel* dsUser = nullptr;
    DbGrid* gridManager = nullptr;
    QPushButton* btnCreateUser = nullptr;
    TUserInfo pickedUser; // filled on OK

protected:
    void FormShow() override;

private:
    void btnCreateUserClick();
    void btnOKClick();
    void gridManagerDelete();
};

extern TfrmSelectUser* frmSelectUser; // set while selectUser runs

// Shows the picker.  user receives the picked user whatever the result
// (empty on Cancel); true when a user was confirmed.
bool selectUser(TUserInfo& user);
