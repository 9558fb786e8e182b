// Benchmark of backup and restore on the benchmark's data folder.
//
//   tolva_backup_bench FOLDER     times them on a copy of FOLDER's data files
//
// (e) the backup (a consistent copy of tolva.db, then every data file into the encrypted archive)
//     beside Info-ZIP "zip -P" of the same files; target: within 2 times;
// (f) the restore of that archive (extracted aside, checked, swapped in, store reopened) beside
//     Info-ZIP "unzip -P" of the same archive; target: within 3 times.
#include "backup/backuprules.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace tolva;

namespace {

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

void tool(const QString &program, const QStringList &args, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(2);
    }
}

void require(const Outcome &o)
{
    if (!o) {
        std::fprintf(stderr, "%s\n", qPrintable(o.message()));
        std::exit(2);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 || !QFile::exists(QDir(args[1]).filePath(Store::FileName))) {
        std::fprintf(stderr, "usage: tolva_backup_bench FOLDER (a data folder with tolva.db)\n");
        return 2;
    }
    QTemporaryDir work;
    const QString data = work.path() + "/data", out = work.path() + "/out";
    QDir().mkpath(data);
    QDir().mkpath(out);
    for (const QString &name : backup::dataFiles(args[1]))
        QFile::copy(QDir(args[1]).filePath(name), QDir(data).filePath(name));
    Store store(data);
    const QStringList files = backup::dataFiles(data);
    qint64 size = 0;
    for (const QString &name : files)
        size += QFileInfo(QDir(data).filePath(name)).size();

    const int rounds = 3;
    double ours = 1e9, zip = 1e9, restore = 1e9, unzip = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(out + "/info.zip");
        zip = std::min(zip, seconds([&] {
                           tool("zip", QStringList{"-q", "-j", "-P", backup::password(), out + "/info.zip"} + files, data);
                       }));
        ours = std::min(ours, seconds([&] { require(backup::writeBackup(store, out + "/ours.zip")); }));
        QDir(out + "/x").removeRecursively();
        unzip = std::min(unzip, seconds([&] {
                             tool("unzip", {"-q", "-o", "-P", backup::password(), out + "/ours.zip", "-d", out + "/x"}, out);
                         }));
        restore = std::min(restore, seconds([&] {
                               require(backup::restoreArchive(data, out + "/ours.zip",
                                                              QDateTime::currentDateTime().addSecs(round), &store));
                           }));
        // The kept copies of the replaced files are not part of the next round.
        for (const QString &kept : QDir(data).entryList({"*.before-restore-*"}, QDir::Files))
            QFile::remove(QDir(data).filePath(kept));
    }
    const double backupRatio = ours / zip, restoreRatio = restore / unzip;
    std::printf("data folder: %lld files, %.1f MB; archive %.1f MB\n", static_cast<long long>(files.size()),
                size / 1048576.0, QFileInfo(out + "/ours.zip").size() / 1048576.0);
    std::printf("(e) backup   %.3f s   zip -P   %.3f s   ratio %.2f   target within 2   %s\n", ours, zip, backupRatio,
                backupRatio <= 2 ? "ok" : "MISSED");
    std::printf("(f) restore  %.3f s   unzip -P %.3f s   ratio %.2f   target within 3   %s\n", restore, unzip,
                restoreRatio, restoreRatio <= 3 ? "ok" : "MISSED");
    return backupRatio <= 2 && restoreRatio <= 3 ? 0 : 1;
}
