#include "unzip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <memory>

namespace tolva::help {

namespace {

struct Closer {
    void operator()(zip_t *z) const { zip_discard(z); }
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};

QString refusal(const QString &why)
{
    return QStringLiteral("下载文件失败！") + QLatin1Char('\n') + why;
}

// A name that stays inside the target folder: relative, without "..", without a drive.
bool safeName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')) ||
        (name.size() > 1 && name[1] == QLatin1Char(':')))
        return false;
    const QStringList parts =
        QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

// The Unix mode stored with an entry, 0 when the archive was made elsewhere.
quint32 storedMode(zip_t *z, zip_uint64_t i)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z, i, 0, &system, &attributes) != 0 || system != ZIP_OPSYS_UNIX)
        return 0;
    return quint32(attributes >> 16);
}

// Unix permission bits (the archive's, written the same everywhere) as Qt's permissions.
QFileDevice::Permissions permissions(quint32 mode)
{
    QFileDevice::Permissions p;
    if (mode & 0400) p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200) p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0100) p |= QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (mode & 0040) p |= QFileDevice::ReadGroup;
    if (mode & 0020) p |= QFileDevice::WriteGroup;
    if (mode & 0010) p |= QFileDevice::ExeGroup;
    if (mode & 0004) p |= QFileDevice::ReadOther;
    if (mode & 0002) p |= QFileDevice::WriteOther;
    if (mode & 0001) p |= QFileDevice::ExeOther;
    return p;
}

bool isLink(quint32 mode)
{
    return (mode & 0170000) == 0120000;
}

} // namespace

Outcome unpack(const QString &zipFile, const QString &folder)
{
    int error = 0;
    std::unique_ptr<zip_t, Closer> z(zip_open(QFile::encodeName(zipFile).constData(), ZIP_RDONLY, &error));
    if (!z) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        const QString why = QString::fromLocal8Bit(zip_error_strerror(&e));
        zip_error_fini(&e);
        return Outcome::refused(refusal(QStringLiteral("无法打开压缩文件 %1: %2").arg(zipFile, why)));
    }
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);

    // Every name is judged before anything is written, so a bad entry leaves the folder untouched.
    QStringList names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(z.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = raw ? QString::fromUtf8(raw) : QString();
        if (!safeName(name))
            return Outcome::refused(refusal(QStringLiteral("压缩文件中的 \"%1\" 指向目标文件夹之外，已拒绝解压。").arg(name)));
        if (isLink(storedMode(z.get(), zip_uint64_t(i))))
            return Outcome::refused(refusal(QStringLiteral("压缩文件中的 \"%1\" 是链接，已拒绝解压。").arg(name)));
        names << name;
    }

    const QDir target(folder);
    if (!target.mkpath(QStringLiteral(".")))
        return Outcome::refused(refusal(QStringLiteral("无法创建文件夹 %1").arg(folder)));
    const QString root = QFileInfo(folder).canonicalFilePath() + QLatin1Char('/');
    for (zip_int64_t i = 0; i < count; ++i) {
        const QString name = names[int(i)];
        const QString path = target.filePath(name);
        if (name.endsWith(QLatin1Char('/'))) {
            if (!target.mkpath(name))
                return Outcome::refused(refusal(QStringLiteral("无法创建文件夹 %1").arg(path)));
            continue;
        }
        const QString parent = QFileInfo(path).absolutePath();
        // A folder already there may be a link to elsewhere.
        if (!target.mkpath(QFileInfo(name).path()) ||
            !(QFileInfo(parent).canonicalFilePath() + QLatin1Char('/')).startsWith(root))
            return Outcome::refused(refusal(QStringLiteral("压缩文件中的 \"%1\" 指向目标文件夹之外，已拒绝解压。").arg(name)));

        std::unique_ptr<zip_file_t, Closer> in(zip_fopen_index(z.get(), zip_uint64_t(i), 0));
        if (!in)
            return Outcome::refused(refusal(
                QStringLiteral("无法读取 %1: %2").arg(name, QString::fromLocal8Bit(zip_strerror(z.get())))));
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return Outcome::refused(refusal(QStringLiteral("无法写入 %1: %2").arg(path, out.errorString())));
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_fread(in.get(), buffer, sizeof buffer)) > 0)
            if (out.write(buffer, n) != n)
                break;
        if (n < 0 || out.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return Outcome::refused(refusal(QStringLiteral("无法解压 %1").arg(name)));
        }
        if (!out.commit())
            return Outcome::refused(refusal(QStringLiteral("无法写入 %1: %2").arg(path, out.errorString())));
        if (const quint32 mode = storedMode(z.get(), zip_uint64_t(i)) & 0777)
            QFile::setPermissions(path, permissions(mode));
    }
    return Outcome::done();
}

} // namespace tolva::help
