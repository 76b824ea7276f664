#include "tests/support/testinstall.h"

#include "app/datamodule.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "tools/dbinit.h"

#include <QFile>
#include <QLocale>
#include <QtTest>

TestInstall::TestInstall(bool withDatabase, bool withSettings)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Msg::setTestMode(true);
    Msg::clearShown();
    if (!m_dir.isValid())
        qFatal("no temporary directory");
    setAppPath(m_dir.path());
    QString error;
    if (withDatabase && !dbinit::createDatabase(path(QStringLiteral("tax.mdb")), &error))
        qFatal("%s", qPrintable(error));
    if (withSettings && !dbinit::writeDefaultSettings(path(QStringLiteral("myapp.ini")), &error))
        qFatal("%s", qPrintable(error));
    delete frmDm;
    frmDm = new TfrmDm;
    if (withDatabase)
        frmDm->DataModuleCreate();
    UserInfo = TUserInfo{};
}

TestInstall::~TestInstall()
{
    delete frmDm;
    frmDm = nullptr;
}

QString TestInstall::errorLog() const
{
    QFile f(path(QStringLiteral("errorlog.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}
