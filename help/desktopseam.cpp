#include "desktopseam.h"

#include "widgets/context.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tolva::help {

QUrl downloadFolder()
{
    QString address = qEnvironmentVariable("TOLVA_DOWNLOAD_URL").trimmed();
    if (address.isEmpty())
        address = Context::webAddress() + QStringLiteral("qhfile/");
    if (!address.endsWith(QLatin1Char('/')))
        address += QLatin1Char('/');
    return QUrl(address);
}

QUrl downloadUrl(const QString &file)
{
    return downloadFolder().resolved(QUrl(file));
}

QUrl homePage()
{
    return QUrl(Context::webAddress());
}

QUrl mailTo()
{
    return QUrl(QStringLiteral("mailto:") + Context::mailAddress());
}

bool DesktopSeam::packageManaged() const
{
#ifdef TOLVA_PACKAGED
    return true;
#else
    return false;
#endif
}

QString DesktopSeam::programFolder() const
{
    if (packageManaged())
        return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return QCoreApplication::applicationDirPath();
}

bool viewerKnown(const QString &file)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("filetype"), file});
    query.waitForFinished(5000);
    const QString type = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (type.isEmpty())
        return false;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    query.waitForFinished(5000);
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(file)
    return true;
#endif
}

bool DesktopSeam::openDocument(const QString &file)
{
    return viewerKnown(file) && QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool DesktopSeam::start(const QString &program)
{
    return QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

namespace {

// A process started from the file `program`: its program, or the script an interpreter runs. A
// relative name in a process's command line is taken from that process's folder.
bool processRunning(const QString &program)
{
    const QString wanted = QDir::cleanPath(QFileInfo(program).absoluteFilePath());
    const QString name = QFileInfo(program).fileName();
    const auto same = [&](const QString &arg, const std::function<QString()> &folder) {
        if (QFileInfo(arg).fileName() != name)
            return false;
        return QDir::cleanPath(QDir::isAbsolutePath(arg) ? arg : QDir(folder()).absoluteFilePath(arg)) == wanted;
    };
    const QDir proc(QStringLiteral("/proc"));
    if (proc.exists()) {
        const QString self = QString::number(QCoreApplication::applicationPid());
        for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (pid == self || !pid.front().isDigit())
                continue;
            QFile cmdline(proc.filePath(pid + QStringLiteral("/cmdline")));
            if (!cmdline.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> args = cmdline.readAll().split('\0');
            const auto folder = [&] { return QFileInfo(proc.filePath(pid + QStringLiteral("/cwd"))).symLinkTarget(); };
            for (int i = 0; i < qMin(2, int(args.size())); ++i)
                if (same(QString::fromLocal8Bit(args[i]), folder))
                    return true;
        }
        return false;
    }
#ifdef Q_OS_WIN
    const QString fileName = QFileInfo(program).fileName();
    QProcess tasklist;
    tasklist.start(QStringLiteral("tasklist"),
                   {QStringLiteral("/FI"), QStringLiteral("IMAGENAME eq ") + fileName, QStringLiteral("/NH")});
    tasklist.waitForFinished(5000);
    return QString::fromLocal8Bit(tasklist.readAllStandardOutput()).contains(fileName, Qt::CaseInsensitive);
#else
    QProcess ps;
    ps.start(QStringLiteral("ps"), {QStringLiteral("-A"), QStringLiteral("-o"), QStringLiteral("args=")});
    ps.waitForFinished(5000);
    for (const QString &line : QString::fromLocal8Bit(ps.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QStringList args = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 0; i < qMin(2, int(args.size())); ++i)
            if (QDir::isAbsolutePath(args[i]) && same(args[i], [] { return QString(); }))
                return true;
    }
    return false;
#endif
}

} // namespace

bool DesktopSeam::running(const QString &program) const
{
#ifdef Q_OS_WIN
    const QString fileName = QFileInfo(program).fileName();
    if (FindWindowW(nullptr, reinterpret_cast<LPCWSTR>(fileName.utf16())))
        return true;
#endif
    return processRunning(program);
}

void DesktopSeam::endProgram(const QString &program)
{
    QCoreApplication *app = QCoreApplication::instance();
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, [program] {
        QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
    });
    // exit() leaves every running event loop, the modal windows' included.
    QCoreApplication::exit(0);
}

} // namespace tolva::help
