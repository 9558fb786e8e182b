#include "startup.h"
#include "serversetup.h"
#include "store/dataset.h"
#include "store/server.h"
#include "help/updaterules.h"

#include "base/error.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QSysInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

#include <exception>

namespace tolva {

namespace {

QString failureOf(const std::exception_ptr &failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Error &e) {
        return e.text();
    } catch (const std::exception &e) {
        return QStringLiteral("程序启动时出错：") + QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("程序启动时出错。");
    }
}

} // namespace

void removeFile(const QString &path, const QString &name) {
    const QDir folder(path);
    for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            QFile::remove(folder.filePath(entry));
}

void startUpHousekeeping(Store &store, const QString &folder, const QString &programFolder) {
    const bool onServer = store.isServer();
    Dataset srf(store);
    srf.open(QStringLiteral("select * from srf"));
    const auto mark = [&](const QString &text) {
        if (srf.isEmpty() || onServer)
            return;
        srf.edit();
        srf.setValue(QStringLiteral("a2"), text);
        srf.post();
    };
    mark(QStringLiteral("已经使用"));
    QDir setup(QDir(programFolder).filePath(QStringLiteral("qh_setup")));
    if (setup.exists()) {
        mark(QStringLiteral("delsetupfile"));
        setup.removeRecursively();
    }
    for (const char *name : {"qhsetup.exe", "QHSETUP.PJT", "QHSETUP.PJX", "FOXUSER.FPT", "FOXUSER.DBF"})
        removeFile(folder, QString::fromLatin1(name));
    srf.close();
    if (!onServer)
        prepareTables(store);
}

void prepareTables(Store &store) {
    help::addProgramNameColumn(store);
    store.transaction([&] {
        for (const QString &table : Store::workingTables())
            store.emptyTable(table);
    });
}

void cleanFolder(const QString &path) {
    removeFile(path, QStringLiteral("revizevar.exe"));
    const QStringList tables = {"czb", "czb1",   "czb2", "czbhz", "czbhz1", "czbtem", "czbtem1",
                                "dwm", "sbpass", "sp1",  "sp2",   "sp3",    "sp4",    "srf"};
    for (const QString &table : tables)
        for (const char *suffix : {".fam", ".tv", ".px", ".val"})
            removeFile(path, table + QLatin1String(suffix));
}

QString desktopFolder(const QString &documents, QString &refusal)
{
    if (documents.isEmpty()) {
        refusal = QStringLiteral("找不到您的文档文件夹，无法建立数据文件夹“租赁数据”。");
        return {};
    }
    const QString folder = QDir(documents).filePath(QStringLiteral("租赁数据"));
    if (!QDir().mkpath(folder)) {
        refusal = QStringLiteral("无法建立数据文件夹“") + QDir::toNativeSeparators(folder) + QStringLiteral("”。");
        return {};
    }
    return folder;
}

bool noRoomIn(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tolva-space-XXXXXX")));
    if (!probe.open())
        return false;
#ifdef Q_OS_UNIX
    // The reason of a failed write: no space, the account's quota, the largest file allowed.
    const QByteArray block(4096, '\0');
    const ssize_t written = ::write(probe.handle(), block.constData(), size_t(block.size()));
    if (written == ssize_t(block.size()))
        return ::fsync(probe.handle()) != 0 && errno == ENOSPC;
    if (written >= 0)
        return true; // a part only: the disk took what room it had
    return errno == ENOSPC || errno == EFBIG
#ifdef EDQUOT
           || errno == EDQUOT
#endif
        ;
#else
    const QByteArray block(4096, '\0');
    return !(probe.write(block) == block.size() && probe.flush()) && probe.error() == QFileDevice::ResourceError;
#endif
}

QString fullDiskRefusal(const QString &folder)
{
    return QStringLiteral("数据文件夹“") + QDir::toNativeSeparators(folder) +
           QStringLiteral("”所在的磁盘已满，程序不能启动，数据没有改动。请腾出磁盘空间后再启动。");
}

std::unique_ptr<QLockFile> lockFolder(const QString &folder, QString &refusal)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(lockFileName()));
    // The lock is held for the whole run: only a dead program's lock counts as stale, never an
    // old one.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (lock->error() != QLockFile::LockFailedError) {
        refusal = noRoomIn(folder) ? fullDiskRefusal(folder)
                                   : QStringLiteral("无法在数据文件夹“") + QDir::toNativeSeparators(folder) +
                                         QStringLiteral("”中建立锁文件，程序不能使用这个文件夹。");
        return nullptr;
    }
    qint64 pid = 0;
    QString host, application;
    lock->getLockInfo(&pid, &host, &application);
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
        // Whether a program on another computer still runs cannot be told from here: its lock is
        // never taken over.
        refusal = QStringLiteral("该数据文件夹正被计算机“%1”上的本程序使用（进程号 %2），程序不能同时使用它。\n"
                                 "请先关闭那台计算机上的本程序。如果那边已经没有本程序在运行（那台计算机死机或断电了，"
                                 "或这个文件夹是从那台计算机复制来的），请删除数据文件夹“%3”中的文件“%4”后再启动。")
                      .arg(host)
                      .arg(pid)
                      .arg(QDir::toNativeSeparators(folder), lockFileName());
        return nullptr;
    }
    refusal = QStringLiteral("该数据文件夹正被另一个程序使用。");
    return nullptr;
}

Opened openFolder(const QString &folder, Interaction &interaction) {
    Opened run;
    try {
        // The ledger named on the command line or in the environment, else the server this desktop
        // user chose at the login, else the folder's own file.
        Store::Options options = Store::configured();
        if (options.server.isEmpty())
            options.server = rememberedServer();
        if (options.server.isEmpty()) {
            // A read-only folder gets no lock file either.
            Store::requireWritable(folder);
            run.lock = lockFolder(folder, run.refusal);
            if (!run.lock)
                return run;
        } else {
            // Until a clerk logs in, the window reads the server as the login's own role.
            options.server = server::loginAddress(options.server);
        }
        run.store = std::make_unique<Store>(folder, options);
        // Before the context opens its settings and titles result sets over them.
        run.restored = run.store->restoreSingleRows();
        run.context = std::make_unique<Context>(*run.store, interaction);
        cleanFolder(folder);
    } catch (...) {
        run.refusal = failureOf(std::current_exception());
        run.context.reset();
        run.store.reset();
        // A store that could not open for want of room says so, not only what failed.
        if (run.lock && noRoomIn(folder))
            run.refusal = fullDiskRefusal(folder);
        run.lock.reset();
    }
    return run;
}

bool speakChinese(QCoreApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *qt = new QTranslator(&app);
    if (!qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

} // namespace tolva
