// Runs the program's start-up steps up to the open database and prints what
// they found, for tst_startup, which starts it from elsewhere.
#include "app/common.h"
#include "app/datamodule.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "app/selectdate.h"
#include "app/startup.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <cstdio>

namespace {

void out(const QString& key, const QString& value)
{
    std::printf("%s=%s\n", qPrintable(key), value.toUtf8().constData());
}

// With "--window-title" (run on a real X server): shows a dialog and prints
// its title as the window system holds it, read back with xprop.
int windowTitle()
{
    TfrmSelectDate dialog;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog, 10000))
        return 1;
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(dialog.winId()), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return 1;
    // _NET_WM_NAME(UTF8_STRING) = "选择日期"
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    out(QStringLiteral("wmname"), line.section(QLatin1Char('"'), 1, -2));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CorvaneApplication app(argc, argv);
    initApplication(app);
    initPaths();
    if (app.arguments().contains(QStringLiteral("--window-title")))
        return windowTitle();
    {
        // A password field as every dialog shows it.
        QLineEdit password;
        password.setEchoMode(QLineEdit::Password);
        password.setText(QStringLiteral("ab"));
        out(QStringLiteral("echo"), password.displayText());
    }
    Msg::setTestMode(true);
    const bool connected = createDataModule();
    writeErrorLog(QStringLiteral("probe.main"), QStringLiteral("probe"));
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
