#include "backupcli.h"

#include "backuprules.h"
#include "base/commandline.h"
#include "base/zip.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace tolva {

using namespace backup;

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

bool isBackupCommand(int argc, char *argv[])
{
    return startedWith(argc, argv, {"--backup", "--restore"});
}

int runBackupCommand(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    return backupCommand(QCoreApplication::arguments(), QDir::currentPath(), QDateTime::currentDateTime(), out, err);
}

int backupCommand(const QStringList &arguments, const QString &folder, const QDateTime &now, QTextStream &out,
                  QTextStream &err)
{
    return runCommand(err, [&] {
        const QString usage = QStringLiteral("用法: tolva --backup 备份文件.zip  或  tolva --restore 备份文件.zip");
        const CommandLine line(arguments.mid(1), {QStringLiteral("--backup"), QStringLiteral("--restore")}, {}, usage);
        const QString toWrite = line.value(QStringLiteral("--backup"));
        const QString toRead = line.value(QStringLiteral("--restore"));
        if (toWrite.isEmpty() == toRead.isEmpty())
            throw CommandFailure{usage};

        if (!toRead.isEmpty()) {
            if (!QFileInfo(toRead).isFile())
                throw CommandFailure{QStringLiteral("数据恢复失败！\n找不到备份文件 %1").arg(native(toRead))};
            // The store is not opened first: a data file too damaged to open is what a restore mends.
            Restored r;
            const Outcome o = restoreArchive(folder, toRead, now, nullptr, &r);
            if (!o)
                throw CommandFailure{o.message()};
            out << QStringLiteral("已从 %1 恢复 %2 个文件：%3\n").arg(native(toRead)).arg(r.files.size()).arg(r.files.join(QStringLiteral("、")));
            if (!r.kept.isEmpty())
                out << QStringLiteral("原来的文件保存为：%1\n").arg(r.kept.join(QStringLiteral("、")));
            if (!r.skipped.isEmpty())
                out << QStringLiteral("备份中不是数据文件、没有恢复的：%1\n").arg(r.skipped.join(QStringLiteral("、")));
            return 0;
        }

        Store store(folder, Store::configured());
        const QString archive = archivePath(toWrite);
        const bool replacing = QFileInfo::exists(archive);
        QStringList files;
        const Outcome written = writeBackup(store, archive, &files);
        if (!written)
            throw CommandFailure{written.message()};
        try {
            ZipReader written(archive, QStringLiteral("备份文件"));
            written.setPassword(password());
            written.verify();
        } catch (const Error &e) {
            throw CommandFailure{QStringLiteral("数据备份失败！\n写好的备份文件读不回来：") + e.text()};
        }
        out << QStringLiteral("已%1备份文件 %2，共 %3 个文件：%4\n")
                   .arg(replacing ? QStringLiteral("覆盖") : QStringLiteral("写入"), native(archive))
                   .arg(files.size())
                   .arg(files.join(QStringLiteral("、")));
        const Outcome compacted = compactTables(store, nullptr);
        out << (compacted ? QStringLiteral("数据表已压缩。\n")
                          : QStringLiteral("数据表没有压缩：%1\n").arg(compacted.message()));
        return 0;
    });
}

} // namespace tolva
