#include "archive.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <memory>

namespace tolva::backup {

namespace {

struct Closer {
    void operator()(zip_t *z) const { zip_discard(z); }
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};
using Archive = std::unique_ptr<zip_t, Closer>;
using Entry = std::unique_ptr<zip_file_t, Closer>;

QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// libzip's reason in the program's words where a person can act on it, its own text otherwise.
QString reason(const zip_error_t *error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_NOPASSWD:
        return QStringLiteral("密码不对");
    case ZIP_ER_CRC:
    case ZIP_ER_ZLIB:
        // A wrong password passes the traditional encryption's one-byte check once in 256 times;
        // the data it gives then fails to unpack or to match its checksum.
        return QStringLiteral("密码不对或文件已损坏");
    case ZIP_ER_NOZIP:
        return QStringLiteral("不是 ZIP 文件");
    case ZIP_ER_INCONS:
    case ZIP_ER_COMPRESSED_DATA:
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
        return QStringLiteral("文件已损坏或不完整");
    case ZIP_ER_NOENT:
        return QStringLiteral("文件不存在");
    case ZIP_ER_WRITE:
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_RENAME:
        return QStringLiteral("无法写入（磁盘已满或没有写入权限？）：") +
               QString::fromLocal8Bit(zip_error_strerror(const_cast<zip_error_t *>(error)));
    default:
        return QString::fromLocal8Bit(zip_error_strerror(const_cast<zip_error_t *>(error)));
    }
}

Archive openForReading(const QString &path)
{
    int code = 0;
    Archive z(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!z) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString why = reason(&error);
        zip_error_fini(&error);
        throw ArchiveError(QStringLiteral("无法打开备份文件“%1”：%2").arg(nativeName(path), why));
    }
    return z;
}

QString entryName(zip_t *z, zip_uint64_t i)
{
    const char *raw = zip_get_name(z, i, ZIP_FL_ENC_GUESS);
    return raw ? QString::fromUtf8(raw) : QString();
}

// Reads entry i to its end, handing each piece to `sink`; the checksum is compared at the end.
template <class Sink> void readEntry(zip_t *z, zip_uint64_t i, const QString &name, Sink sink)
{
    Entry in(zip_fopen_index(z, i, 0));
    if (!in)
        throw ArchiveError(QStringLiteral("无法读取备份文件中的“%1”：%2").arg(name, reason(zip_get_error(z))));
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    zip_int64_t n;
    while ((n = zip_fread(in.get(), buffer.get(), 1 << 16)) > 0)
        sink(buffer.get(), n);
    if (n < 0)
        throw ArchiveError(
            QStringLiteral("无法读取备份文件中的“%1”：%2").arg(name, reason(zip_file_get_error(in.get()))));
}

// A plain file name: no folder part, no "..", no drive, nothing a desktop refuses in a name.
bool plainName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 32)
            return false;
    return true;
}

} // namespace

void writeZip(const QString &path, const QVector<Packed> &files, const QString &password, const QString &comment)
{
    const auto fail = [&](const QString &why) {
        return ArchiveError(QStringLiteral("无法写入备份文件“%1”：%2").arg(nativeName(path), why));
    };
    // An archive without entries would not be written at all.
    if (files.isEmpty())
        throw fail(QStringLiteral("没有要备份的文件"));
    int code = 0;
    // libzip writes into a temporary file beside the target and renames it over the target when
    // the archive is complete.
    Archive z(zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!z) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString why = reason(&error);
        zip_error_fini(&error);
        throw fail(why);
    }
    const QByteArray secret = password.toUtf8();
    for (const Packed &file : files) {
        zip_source_t *source = zip_source_file(z.get(), QFile::encodeName(file.source).constData(), 0, -1);
        if (!source)
            throw fail(file.name + QStringLiteral("：") + reason(zip_get_error(z.get())));
        const zip_int64_t at = zip_file_add(z.get(), file.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (at < 0) {
            zip_source_free(source);
            throw fail(file.name + QStringLiteral("：") + reason(zip_get_error(z.get())));
        }
        // Level 6, as ZIP tools use by default: libzip's own default (9) takes four times as long
        // for a few per cent.
        if (zip_set_file_compression(z.get(), zip_uint64_t(at), ZIP_CM_DEFLATE, 6) != 0 ||
            zip_file_set_encryption(z.get(), zip_uint64_t(at), ZIP_EM_TRAD_PKWARE, secret.constData()) != 0)
            throw fail(file.name + QStringLiteral("：") + reason(zip_get_error(z.get())));
    }
    const QByteArray note = comment.toUtf8();
    if (zip_set_archive_comment(z.get(), note.constData(), zip_uint16_t(note.size())) != 0)
        throw fail(reason(zip_get_error(z.get())));
    if (zip_close(z.get()) != 0)
        throw fail(reason(zip_get_error(z.get())));
    z.release(); // closed: nothing left to discard
}

QVector<Listed> listZip(const QString &path)
{
    Archive z = openForReading(path);
    QVector<Listed> out;
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z.get(), zip_uint64_t(i), 0, &st) != 0)
            throw ArchiveError(QStringLiteral("无法读取备份文件“%1”：%2")
                                   .arg(nativeName(path), reason(zip_get_error(z.get()))));
        out.append({entryName(z.get(), zip_uint64_t(i)), qint64(st.size), quint32(st.crc)});
    }
    return out;
}

void verifyZip(const QString &path, const QString &password)
{
    Archive z = openForReading(path);
    const QByteArray secret = password.toUtf8();
    zip_set_default_password(z.get(), secret.constData());
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i)
        readEntry(z.get(), zip_uint64_t(i), entryName(z.get(), zip_uint64_t(i)), [](const char *, zip_int64_t) {});
}

QStringList extractZip(const QString &path, const QString &password, const QString &folder)
{
    Archive z = openForReading(path);
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    QStringList names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const QString name = entryName(z.get(), zip_uint64_t(i));
        if (!plainName(name))
            throw ArchiveError(QStringLiteral("备份文件中的“%1”带有文件夹或不是普通的文件名，不是本程序的备份，没有恢复。")
                                   .arg(name));
        names << name;
    }
    const QByteArray secret = password.toUtf8();
    zip_set_default_password(z.get(), secret.constData());
    const QDir target(folder);
    for (zip_int64_t i = 0; i < count; ++i) {
        const QString &name = names[int(i)];
        QFile out(target.filePath(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw ArchiveError(QStringLiteral("无法写入“%1”：%2").arg(nativeName(out.fileName()), out.errorString()));
        readEntry(z.get(), zip_uint64_t(i), name, [&](const char *data, zip_int64_t n) {
            if (out.write(data, n) != n)
                throw ArchiveError(QStringLiteral("无法写入“%1”（磁盘已满？）：%2")
                                       .arg(nativeName(out.fileName()), out.errorString()));
        });
        if (!out.flush())
            throw ArchiveError(QStringLiteral("无法写入“%1”（磁盘已满？）：%2")
                                   .arg(nativeName(out.fileName()), out.errorString()));
    }
    names.removeDuplicates();
    return names;
}

} // namespace tolva::backup
