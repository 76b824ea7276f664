#pragma once
#include <QString>

// The signed-in user.  UserCode is the owner of new taxpayers and areas and
// the filter of every list.
struct TUserInfo {
    QString UserCode;
    QString UserName;
    QString UserAlias;
};

class TfrmDm;
class QWidget;

extern QString AppPath;     // program directory, ends in '/'
extern QString IniFileName; // AppPath + "myapp.ini"
extern TUserInfo UserInfo;  // filled by sign-in
extern TfrmDm* frmDm;       // the data module, lives until exit
extern QWidget* frmMain;    // the main window once signed in, else nullptr

// Sets AppPath (adding the trailing separator) and IniFileName from a directory.
void setAppPath(const QString& dir);
