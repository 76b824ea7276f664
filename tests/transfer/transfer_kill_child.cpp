// One export or import run without a window, for tst_transfer_kill: it
// prints each step it reaches with the time since start and, when told to,
// kills itself (SIGKILL) at a step, as a power cut or a crash would end it.
//   transfer_kill_child export|import <install dir> <package> <step|none> <user>
#include "app/common.h"
#include "app/datamodule.h"
#include "app/globals.h"
#include "transfer/package.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 6)
        return 2;
    QElapsedTimer clock;
    clock.start();
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString package = QString::fromLocal8Bit(argv[3]);
    const QByteArray stopAt = argv[4];
    setAppPath(QString::fromLocal8Bit(argv[2]));
    UserInfo.UserCode = QString::fromLocal8Bit(argv[5]);
    frmDm = new TfrmDm;
    frmDm->DataModuleCreate();
    transfer::setStepHook([&](const char* step) {
        std::printf("%s %lld\n", step, static_cast<long long>(clock.elapsed()));
        std::fflush(stdout);
        if (stopAt == step)
            std::raise(SIGKILL);
    });
    const QString folder = AppPath + QStringLiteral("tmp");
    if (mode == QLatin1String("export")) {
        QStringList codes;
        sqlToList(QStringLiteral("child"), QStringLiteral("SELECT tCode FROM taxer WHERE mCode=?"), codes,
                  {UserInfo.UserCode});
        transfer::PackageWriter w(codes, UserInfo.UserCode, folder);
        const bool ok =
            w.saveRecordsets() && w.writePackage(package, QStringLiteral("pw")) && w.deleteExported();
        w.cleanUp();
        if (!ok)
            std::fprintf(stderr, "%s\n", w.error().toUtf8().constData());
        return ok ? 0 : 1;
    }
    transfer::PackageImporter im(UserInfo.UserCode, folder);
    const bool ok = im.unpack(package, QStringLiteral("pw")) && im.load() && im.merge();
    im.cleanUp();
    if (!ok)
        std::fprintf(stderr, "%s\n", im.error().toUtf8().constData());
    return ok ? 0 : 1;
}
