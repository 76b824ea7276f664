#include "app/globals.h"

QString AppPath;
QString IniFileName;
TUserInfo UserInfo;
TfrmDm* frmDm = nullptr;
QWidget* frmMain = nullptr;

void setAppPath(const QString& dir)
{
    AppPath = dir;
    if (!AppPath.endsWith(QLatin1Char('/')))
        AppPath += QLatin1Char('/');
    IniFileName = QStringLiteral("%1%2").arg(AppPath, QStringLiteral("myapp.ini"));
}
