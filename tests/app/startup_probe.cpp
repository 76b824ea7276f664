// Runs the program's start-up steps up to the open database and prints what
// they found, for tst_startup, which starts it from elsewhere.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "app/startup.h"

#include <QFontInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    CorvaneApplication app(argc, argv);
    initApplication(app);
    initPaths();
    Msg::setTestMode(true);
    const bool connected = createDataModule();
    writeErrorLog(QStringLiteral("probe.main"), QStringLiteral("probe"));
    auto out = [](const QString& key, const QString& value) {
        std::printf("%s=%s\n", qPrintable(key), value.toUtf8().constData());
    };
    out(QStringLiteral("AppPath"), AppPath);
    out(QStringLiteral("IniFileName"), IniFileName);
    out(QStringLiteral("connected"), connected ? QStringLiteral("1") : QStringLiteral("0"));
    out(QStringLiteral("report"),
        readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("rp正常户")));
    out(QStringLiteral("title"), QGuiApplication::applicationDisplayName());
    out(QStringLiteral("yes"), QCoreApplication::translate("QPlatformTheme", "&Yes"));
    out(QStringLiteral("font"), QFontInfo(QFont(QStringLiteral("宋体"))).family());
    out(QStringLiteral("boxes"), QString::number(Msg::shown().size()));
    for (const Msg::Shown& s : Msg::shown())
        out(QStringLiteral("box"), QStringLiteral("%1|%2|%3").arg(s.caption).arg(int(s.icon)).arg(s.text));
    return 0;
}
