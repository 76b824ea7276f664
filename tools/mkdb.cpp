// corvane-mkdb <install dir>: creates tax.mdb and myapp.ini there when they
// are absent.  Existing files are never touched.
// corvane-mkdb --set-password <install dir> <user code>: a forgotten password.
#include "tools/dbinit.h"
#include "tools/setpassword.h"
#include "tools/demodata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

// corvane-mkdb --demo <dir>: a demo installation, user "demo" with password
// "demo" owning a few hundred taxpayers.
static int makeDemo(const QString& dir)
{
    QString error;
    if (!demodata::createDemo(dir, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("created demo installation in %s (user demo, password demo)\n", qPrintable(dir));
    return 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--set-password"))
        return setPassword(args.at(2), args.at(3));
    if (args.size() == 3 && args.at(1) == QLatin1String("--demo"))
        return makeDemo(args.at(2));
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: corvane-mkdb <install dir>\n"
                             "       corvane-mkdb --set-password <install dir> <user code>\n"
                             "       corvane-mkdb --demo <install dir>\n");
        return 2;
    }
    QDir dir(args.at(1));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    QString error;
    const QString db = dir.filePath(QStringLiteral("tax.mdb"));
    if (!QFileInfo::exists(db)) {
        if (!dbinit::createDatabase(db, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("created %s\n", qPrintable(db));
    }
    const QString ini = dir.filePath(QStringLiteral("myapp.ini"));
    if (!QFileInfo::exists(ini)) {
        if (!dbinit::writeDefaultSettings(ini, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("created %s\n", qPrintable(ini));
    }
    return 0;
}
