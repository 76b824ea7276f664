// Times the archive library on five generated data files (20 MB in all)
// against Info-ZIP's zip -9 -P and unzip -P on the same files, same run.
//   bench_arkelle [rounds]   (default 3; the best round of each side counts)
#include "arkelle/arkelle.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Dataset-like text with enough variety that deflate has real work to do.
QByteArray makeData(int seed, qsizetype size)
{
    QRandomGenerator rng{quint32(seed)};
    static const char* const words[] = {"taxer",      "area", "税户",   "period", "assess", "payment",
                                        "2024-01-15", "个体", "status", "trade",  "null",   "true"};
    QByteArray out;
    out.reserve(size + 128);
    while (out.size() < size) {
        out += "{\"tCode\":\"" + QByteArray::number(rng.bounded(1000000)) + "\",\"tName\":\"";
        out += words[rng.bounded(12)];
        out += "\",\"aTax\":" + QByteArray::number(rng.bounded(100000) / 100.0, 'f', 2);
        out += ",\"note\":\"" + QByteArray::number(rng.generate64(), 36) + "\"}\n";
    }
    out.truncate(size);
    return out;
}

double best(int rounds, const std::function<bool()>& run)
{
    double bestSecs = 1e9;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run()) {
            std::fprintf(stderr, "run failed\n");
            std::exit(1);
        }
        bestSecs = std::min(bestSecs, t.nsecsElapsed() / 1e9);
    }
    return bestSecs;
}

bool runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QString password = "bench-password";
    const qsizetype sizes[] = {8 << 20, 5 << 20, 4 << 20, 2 << 20, 1 << 20};
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        const QString path = dir.filePath(QString("data/file%1.dat").arg(i));
        QDir().mkpath(dir.filePath("data"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(makeData(i, sizes[i]));
        files << path;
    }
    const QString ours = dir.filePath("arkelle.zip"), theirs = dir.filePath("infozip.zip");

    const double zipOurs = best(rounds, [&] {
        QFile::remove(ours);
        return arkelle::zipList(files, ours, password).written;
    });
    const double zipTheirs = best(rounds, [&] {
        QFile::remove(theirs);
        return runTool("zip", QStringList{"-q", "-9", "-j", "-P", password, theirs} + files);
    });
    const double unzipOurs = best(rounds, [&] {
        QDir(dir.filePath("out-arkelle")).removeRecursively();
        return arkelle::unZip(ours, dir.filePath("out-arkelle"), password);
    });
    const double unzipTheirs = best(rounds, [&] {
        QDir(dir.filePath("out-infozip")).removeRecursively();
        return runTool("unzip", {"-q", "-o", "-P", password, theirs, "-d", dir.filePath("out-infozip")});
    });

    std::printf("input: 5 files, 20 MB; best of %d rounds\n", rounds);
    std::printf("%-26s %9s %9s %7s\n", "", "Arkelle", "Info-ZIP", "ratio");
    std::printf("%-26s %8.3fs %8.3fs %6.2fx\n", "zip (level 9, password)", zipOurs, zipTheirs,
                zipOurs / zipTheirs);
    std::printf("%-26s %8.3fs %8.3fs %6.2fx\n", "unzip (password)", unzipOurs, unzipTheirs,
                unzipOurs / unzipTheirs);
    std::printf("%-26s %8.2fM %8.2fM %6.3fx\n", "archive size", QFileInfo(ours).size() / 1048576.0,
                QFileInfo(theirs).size() / 1048576.0,
                double(QFileInfo(ours).size()) / QFileInfo(theirs).size());
    return 0;
}
