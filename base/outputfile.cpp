#include "outputfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tolva {

namespace {

const QString Marker = QStringLiteral(".tolva-");

QString prefixOf(const QString &finalPath)
{
    const QFileInfo target(finalPath);
    return QLatin1Char('.') + target.fileName() + Marker;
}

bool sameFile(const QString &a, const QString &b)
{
#ifdef Q_OS_UNIX
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
#endif
}

} // namespace

bool processRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return true;
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    return true; // without a way to ask, a temporary is left to its owner
#endif
}

QStringList dataFileNames()
{
    return {QStringLiteral("tolva.db"), QStringLiteral("tolva.db-wal"), QStringLiteral("tolva.db-shm"),
            QStringLiteral("tolva.db-journal"), QStringLiteral("tolva.lock")};
}

bool isDataFile(const QString &path, const QString &dataFolder)
{
    if (path.isEmpty() || dataFolder.isEmpty())
        return false;
    const QFileInfo target(path);
    const QString folder = QFileInfo(dataFolder).canonicalFilePath();
    // The file named, and the file a link there points to, even when that does not exist yet.
    QStringList candidates{target.absoluteFilePath()};
    if (target.isSymLink())
        candidates << QFileInfo(target.symLinkTarget()).absoluteFilePath();
    for (const QString &candidate : candidates) {
        const QFileInfo c(candidate);
        const QString dir = c.dir().canonicalPath();
        if (!folder.isEmpty() && dir == folder && dataFileNames().contains(c.fileName()))
            return true;
    }
    for (const QString &name : dataFileNames()) {
        const QString own = QDir(dataFolder).filePath(name);
        if (QFileInfo::exists(own) && QFileInfo::exists(path) && sameFile(own, path))
            return true;
    }
    return false;
}

void refuseDataFile(const QString &path, const QString &dataFolder)
{
    if (isDataFile(path, dataFolder))
        throw Error(QStringLiteral("“%1”是本程序的数据文件,不能把输出写到它上面,请换一个文件名！")
                        .arg(QDir::toNativeSeparators(path)));
}

bool OutputFile::isTemporaryName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.tolva-\\d+-[A-Za-z0-9]{6}$"));
    return pattern.match(fileName).hasMatch();
}

void OutputFile::removeStale(const QString &finalPath)
{
    const QFileInfo target(finalPath);
    const QString prefix = prefixOf(finalPath);
    const QDir dir = target.absoluteDir();
    for (const QString &name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
        static const QRegularExpression ofLibrary(QStringLiteral("\\.[A-Za-z0-9]{6}$"));
        if (!isTemporaryName(name) && !(ofLibrary.match(name).hasMatch() && isTemporaryName(name.chopped(7))))
            continue;
        const QString rest = name.mid(prefix.size()); // PID-XXXXXX
        const qint64 pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong();
        if (!processRunning(pid))
            QFile::remove(dir.filePath(name));
    }
}

OutputFile::OutputFile(const QString &finalPath) : finalPath_(QFileInfo(finalPath).absoluteFilePath())
{
    const QFileInfo target(finalPath_);
    if (!target.dir().exists())
        throw Error(QStringLiteral("文件夹“%1”不存在！").arg(QDir::toNativeSeparators(target.absolutePath())));
    removeStale(finalPath_);
    QTemporaryFile reserve(target.absolutePath() + QLatin1Char('/') + prefixOf(finalPath_) +
                           QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX"));
    reserve.setAutoRemove(false);
    if (!reserve.open())
        throw Error(QStringLiteral("无法在文件夹“%1”中写入文件！").arg(QDir::toNativeSeparators(target.absolutePath())));
    temporary_ = reserve.fileName();
}

OutputFile::~OutputFile()
{
    if (!committed_ && !temporary_.isEmpty())
        QFile::remove(temporary_);
}

void OutputFile::commit()
{
    const QFileInfo target(finalPath_);
    // The reserved name is private to its owner; the output gets the replaced file's permissions
    // or those of an ordinary new file, so others who read the folder can open it.
    const QFileDevice::Permissions permissions =
        target.exists() ? target.permissions()
                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                              QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(temporary_, permissions);
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(temporary_).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw Error(QStringLiteral("文件“%1”没有写完整（磁盘已满？）,原文件保持不变。").arg(QDir::toNativeSeparators(finalPath_)));
    if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(finalPath_).constData()) != 0)
        throw Error(QStringLiteral("无法写入文件“%1”！").arg(QDir::toNativeSeparators(finalPath_)));
#else
    QFile::remove(finalPath_);
    if (!QFile::rename(temporary_, finalPath_))
        throw Error(QStringLiteral("无法写入文件“%1”！").arg(QDir::toNativeSeparators(finalPath_)));
#endif
    committed_ = true;
}

} // namespace tolva
