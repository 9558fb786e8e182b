#include "zip.h"

#include "outputfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <zip.h>

#include <filesystem>
#include <system_error>

namespace tolva {

namespace fs = std::filesystem;

namespace {

constexpr qint64 Chunk = 1 << 16;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

fs::path fsPath(const QString &path)
{
    return fs::path(path.toStdU16String());
}

QString systemReason(const std::error_code &ec)
{
    return QString::fromLocal8Bit(ec.message().c_str());
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

QString reasonOfCode(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString why = reason(&error);
    zip_error_fini(&error);
    return why;
}

// The Unix mode stored with an entry; 0 when the archive was made where there is none.
quint32 storedMode(zip_t *z, zip_uint64_t i)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z, i, 0, &system, &attributes) != 0 || system != ZIP_OPSYS_UNIX)
        return 0;
    return quint32(attributes >> 16);
}

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// What a killed writer of an older program left beside `path`: the ZIP library's own temporary
// "NAME.XXXXXX", an archive begun and never finished (it has no end record). A finished archive of
// such a name is somebody's copy and stays.
void removeUnfinishedLibraryTemporaries(const QString &path)
{
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    const QRegularExpression temporary(QLatin1Char('^') + QRegularExpression::escape(target.fileName()) +
                                       QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    for (const QString &name : dir.entryList({target.fileName() + QStringLiteral(".??????")},
                                             QDir::Files | QDir::Hidden | QDir::System)) {
        const QFileInfo info(dir.filePath(name));
        if (!temporary.match(name).hasMatch() || info.isSymLink())
            continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly) || file.read(4) != QByteArray("PK\x03\x04", 4))
            continue;
        const qint64 tail = qMin(file.size(), qint64(65535 + 22));
        file.seek(file.size() - tail);
        if (file.read(tail).contains(QByteArray("PK\x05\x06", 4)))
            continue;
        file.close();
        QFile::remove(info.filePath());
    }
}

// The staging folders of unpacking; the process id tells whose they are.
const QString Staging = QStringLiteral(".tolva-unpack-");

void removeStaleStaging(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({Staging + QLatin1Char('*')},
                                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const qint64 pid = name.mid(Staging.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
        if (!processRunning(pid))
            WorkFolder::remove(dir.filePath(name));
    }
}

// Moves the tree of `from` into `to` over what is there, as described at unpackZip; the replaced
// files wait in `kept` so that a failure half-way puts them back.
QStringList install(const QString &from, const QString &to, const QString &kept)
{
    QStringList folders, files;
    const QDir source(from);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        (it.fileInfo().isDir() ? folders : files) << source.relativeFilePath(path);
    }
    folders.sort(); // a folder before what it holds
    files.sort();

    const QDir target(to);
    const auto refused = [&](const QString &name, const QString &why) {
        return ZipError(QStringLiteral("“%1”%2，没有解压。").arg(native(target.filePath(name)), why));
    };
    for (const QString &name : folders) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(fsPath(target.filePath(name)), ec);
        if (fs::is_symlink(st))
            throw refused(name, QStringLiteral("是链接，压缩文件要在这里放文件夹"));
        if (fs::exists(st) && !fs::is_directory(st))
            throw refused(name, QStringLiteral("是文件，压缩文件要在这里放文件夹"));
    }
    for (const QString &name : files) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(fsPath(target.filePath(name)), ec);
        if (fs::is_directory(st))
            throw refused(name, QStringLiteral("是文件夹，压缩文件要在这里放文件"));
    }

    for (const QString &name : folders)
        if (!QFileInfo(target.filePath(name)).isDir() && !target.mkdir(name))
            throw refused(name, QStringLiteral("无法建立"));

    struct Moved {
        fs::path target, kept; // kept empty: nothing was there
    };
    QVector<Moved> moved;
    const auto undo = [&]() {
        QStringList failed;
        for (auto m = moved.rbegin(); m != moved.rend(); ++m) {
            std::error_code ec;
            if (m->kept.empty())
                fs::remove(m->target, ec);
            else
                fs::rename(m->kept, m->target, ec);
            if (ec)
                failed << QStringLiteral("无法放回 %1：%2")
                              .arg(native(QString::fromStdU16String(m->target.u16string())), systemReason(ec));
        }
        return failed;
    };
    for (int i = 0; i < files.size(); ++i) {
        const QString &name = files[i];
        Moved m{fsPath(target.filePath(name)), {}};
        std::error_code ec;
        if (fs::exists(fs::symlink_status(m.target, ec))) {
            m.kept = fsPath(QDir(kept).filePath(QString::number(i)));
            fs::rename(m.target, m.kept, ec);
            if (ec) {
                const QString why = systemReason(ec);
                const QStringList failed = undo();
                throw ZipError(QStringLiteral("无法替换“%1”：%2").arg(native(target.filePath(name)), why) +
                               (failed.isEmpty() ? QString() : QLatin1Char('\n') + failed.join(QLatin1Char('\n'))));
            }
        }
        fs::rename(fsPath(source.filePath(name)), m.target, ec);
        if (ec) {
            const QString why = systemReason(ec);
            std::error_code ignored;
            if (!m.kept.empty())
                fs::rename(m.kept, m.target, ignored);
            const QStringList failed = undo();
            throw ZipError(QStringLiteral("无法放入“%1”：%2").arg(native(target.filePath(name)), why) +
                           (failed.isEmpty() ? QString() : QLatin1Char('\n') + failed.join(QLatin1Char('\n'))));
        }
        moved.append(m);
    }
    return files;
}

} // namespace

QString unsafeEntry(const ZipEntry &entry)
{
    const QString &name = entry.name;
    if (entry.link)
        return QStringLiteral("是链接");
    if (entry.special)
        return QStringLiteral("不是普通的文件");
    QString path = name;
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty())
        return QStringLiteral("没有名字");
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return QStringLiteral("是绝对路径");
    for (const QChar c : path) {
        if (c == QLatin1Char(':'))
            return QStringLiteral("带有盘符或冒号");
        if (c == QLatin1Char('\\'))
            return QStringLiteral("带有反斜杠");
        if (c.unicode() < 32 || c.unicode() == 127)
            return QStringLiteral("带有控制字符");
    }
    for (const QString &part : path.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".."))
            return QStringLiteral("指向文件夹之外（带有“..”）");
        if (part.isEmpty() || part == QLatin1String("."))
            return QStringLiteral("带有空的文件夹名");
    }
    return QString();
}

// ---- reading ----

struct ZipReader::Private {
    struct Closer {
        void operator()(zip_t *z) const { zip_discard(z); }
        void operator()(zip_file_t *f) const { zip_fclose(f); }
    };
    QString path;
    QString kind;
    std::unique_ptr<zip_t, Closer> z;
    QVector<ZipEntry> entries;
    QString comment;
    QByteArray password;

    QString unreadable(const QString &why) const
    {
        return QStringLiteral("无法读取%1“%2”：%3").arg(kind, native(path), why);
    }
};

ZipReader::ZipReader(const QString &path, const QString &kind) : d(std::make_unique<Private>())
{
    d->path = path;
    d->kind = kind;
    int code = 0;
    d->z.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!d->z)
        throw ZipError(QStringLiteral("无法打开%1“%2”：%3").arg(kind, native(path), reasonOfCode(code)));
    zip_t *z = d->z.get();
    const zip_int64_t count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0)
            throw ZipError(d->unreadable(reason(zip_get_error(z))));
        ZipEntry e;
        const char *raw = zip_get_name(z, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        e.name = raw ? QString::fromUtf8(raw) : QString();
        e.size = (st.valid & ZIP_STAT_SIZE) ? qint64(qMin<zip_uint64_t>(st.size, zip_uint64_t(INT64_MAX))) : 0;
        e.crc = (st.valid & ZIP_STAT_CRC) ? quint32(st.crc) : 0;
        const quint32 mode = storedMode(z, zip_uint64_t(i));
        const quint32 type = mode & 0170000;
        e.folder = e.name.endsWith(QLatin1Char('/')) || type == 0040000;
        e.link = type == 0120000;
        e.special = type != 0 && type != 0100000 && type != 0040000 && type != 0120000;
        e.program = (mode & 0111) != 0;
        d->entries.append(e);
    }
    int length = 0;
    const char *note = zip_get_archive_comment(z, &length, ZIP_FL_ENC_GUESS);
    d->comment = note ? QString::fromUtf8(note, length) : QString();
}

ZipReader::~ZipReader() = default;

const QVector<ZipEntry> &ZipReader::entries() const
{
    return d->entries;
}

QString ZipReader::comment() const
{
    return d->comment;
}

void ZipReader::setPassword(const QString &password)
{
    d->password = password.toUtf8();
    zip_set_default_password(d->z.get(), d->password.isEmpty() ? nullptr : d->password.constData());
}

void ZipReader::read(int index, const Sink &sink) const
{
    const ZipEntry &entry = d->entries.at(index);
    const auto fail = [&](const QString &why) {
        return ZipError(QStringLiteral("无法读取%1中的“%2”：%3").arg(d->kind, entry.name, why));
    };
    std::unique_ptr<zip_file_t, Private::Closer> in(zip_fopen_index(d->z.get(), zip_uint64_t(index), 0));
    if (!in)
        throw fail(reason(zip_get_error(d->z.get())));
    std::unique_ptr<char[]> buffer(new char[Chunk]);
    qint64 total = 0;
    zip_int64_t n;
    while ((n = zip_fread(in.get(), buffer.get(), Chunk)) > 0) {
        // An entry that unpacks to more than it states is a trap: not one byte beyond it goes on.
        if (n > entry.size - total)
            throw fail(QStringLiteral("内容比记录的大小（%1 字节）多，文件已损坏或被篡改").arg(entry.size));
        total += n;
        sink(buffer.get(), n);
    }
    if (n < 0)
        throw fail(reason(zip_file_get_error(in.get())));
}

void ZipReader::verify() const
{
    for (int i = 0; i < d->entries.size(); ++i)
        if (!d->entries[i].folder)
            read(i, [](const char *, qint64) {});
}

void ZipReader::refuseUnsafe() const
{
    for (const ZipEntry &e : d->entries) {
        const QString why = unsafeEntry(e);
        if (!why.isEmpty())
            throw ZipError(QStringLiteral("%1中的“%2”%3，已拒绝解压。").arg(d->kind, e.name, why));
    }
}

QStringList ZipReader::extract(const QVector<int> &indexes, const QString &folder) const
{
    // Everything is judged before the first byte is written.
    QSet<QString> files, folders;
    qint64 needed = 0;
    for (const int i : indexes) {
        const ZipEntry &e = d->entries.at(i);
        const QString why = unsafeEntry(e);
        if (!why.isEmpty())
            throw ZipError(QStringLiteral("%1中的“%2”%3，已拒绝解压。").arg(d->kind, e.name, why));
        QString name = e.name;
        if (name.endsWith(QLatin1Char('/')))
            name.chop(1);
        QStringList parts = name.split(QLatin1Char('/'));
        if (!e.folder)
            parts.removeLast();
        for (int k = 1; k <= parts.size(); ++k)
            folders.insert(QStringList(parts.mid(0, k)).join(QLatin1Char('/')));
        if (e.folder)
            continue;
        if (files.contains(name))
            throw ZipError(QStringLiteral("%1中的“%2”出现了两次，已拒绝解压。").arg(d->kind, e.name));
        files.insert(name);
        // Whole blocks on the disk.
        needed += qMin(e.size, INT64_MAX / 4) + 4096;
    }
    for (const QString &name : std::as_const(files))
        if (folders.contains(name))
            throw ZipError(QStringLiteral("%1中的“%2”既是文件又是文件夹，已拒绝解压。").arg(d->kind, name));
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && needed > disk.bytesAvailable())
        throw ZipError(QStringLiteral("磁盘空间不足：%1“%2”解开要 %3，磁盘上只剩 %4。")
                           .arg(d->kind, native(d->path), sizeText(needed), sizeText(disk.bytesAvailable())));

    const QDir target(folder);
    QStringList written;
    for (const int i : indexes) {
        const ZipEntry &e = d->entries.at(i);
        if (e.folder) {
            if (!target.mkpath(e.name))
                throw ZipError(QStringLiteral("无法建立文件夹“%1”。").arg(native(target.filePath(e.name))));
            continue;
        }
        const QString parent = QFileInfo(e.name).path();
        if (parent != QLatin1String(".") && !target.mkpath(parent))
            throw ZipError(QStringLiteral("无法建立文件夹“%1”。").arg(native(target.filePath(parent))));
        QFile out(target.filePath(e.name));
        // New files only: a name already there (a link included) is never opened. The umask
        // decides the permissions; the archive only whether the file is a program.
        QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther;
        if (e.program)
            permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions))
            throw ZipError(QStringLiteral("无法写入“%1”：%2").arg(native(out.fileName()), out.errorString()));
        const auto full = [&]() {
            return ZipError(QStringLiteral("无法写入“%1”（磁盘已满？）：%2").arg(native(out.fileName()), out.errorString()));
        };
        read(i, [&](const char *data, qint64 n) {
            if (out.write(data, n) != n)
                throw full();
        });
        if (!out.flush())
            throw full();
        out.close();
        written << e.name;
    }
    return written;
}

QStringList ZipReader::extractAll(const QString &folder) const
{
    QVector<int> all;
    for (int i = 0; i < d->entries.size(); ++i)
        all << i;
    return extract(all, folder);
}

// ---- writing ----

void writeZip(const QString &path, const QVector<ZipSource> &files, const QString &password, const QString &comment,
              const QString &kind)
{
    const auto fail = [&](const QString &why) {
        return ZipError(QStringLiteral("无法写入%1“%2”：%3").arg(kind, native(path), why));
    };
    // An archive without entries would not be written at all.
    if (files.isEmpty())
        throw fail(QStringLiteral("没有要写入的文件"));
    removeStaleTemporaries(path);
    std::unique_ptr<OutputFile> output;
    try {
        output = std::make_unique<OutputFile>(path);
    } catch (const Error &e) {
        throw fail(e.text());
    }
    struct Discard {
        void operator()(zip_t *z) const { zip_discard(z); }
    };
    int code = 0;
    // libzip in turn writes into a temporary of its own beside ours and renames it over ours when
    // the archive is complete.
    std::unique_ptr<zip_t, Discard> z(
        zip_open(QFile::encodeName(output->temporaryPath()).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!z)
        throw fail(reasonOfCode(code));
    const QByteArray secret = password.toUtf8();
    for (const ZipSource &file : files) {
        zip_source_t *source = zip_source_file(z.get(), QFile::encodeName(file.file).constData(), 0, -1);
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
            (!secret.isEmpty() &&
             zip_file_set_encryption(z.get(), zip_uint64_t(at), ZIP_EM_TRAD_PKWARE, secret.constData()) != 0))
            throw fail(file.name + QStringLiteral("：") + reason(zip_get_error(z.get())));
    }
    const QByteArray note = comment.toUtf8();
    if (zip_set_archive_comment(z.get(), note.constData(), zip_uint16_t(note.size())) != 0)
        throw fail(reason(zip_get_error(z.get())));
    if (zip_close(z.get()) != 0)
        throw fail(reason(zip_get_error(z.get())));
    z.release(); // closed: nothing left to discard
    try {
        output->commit();
    } catch (const Error &e) {
        throw fail(e.text());
    }
}

void removeStaleTemporaries(const QString &path)
{
    removeUnfinishedLibraryTemporaries(path);
    OutputFile::removeStale(path);
}

// ---- unpacking ----

QStringList unpackZip(const QString &zipFile, const QString &folder,
                      const std::function<QString(const QString &name)> &refuse)
{
    const ZipReader zip(zipFile);
    zip.refuseUnsafe();
    if (refuse) {
        for (const ZipEntry &e : zip.entries()) {
            const QString why = refuse(e.name);
            if (!why.isEmpty())
                throw ZipError(QStringLiteral("压缩文件中的“%1”%2，已拒绝解压。").arg(e.name, why));
        }
    }
    if (!QDir().mkpath(folder))
        throw ZipError(QStringLiteral("无法建立文件夹“%1”。").arg(native(folder)));
    removeStaleStaging(folder);
    WorkFolder staging(folder, Staging + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-'));
    const QDir work(staging.path());
    if (!work.mkdir(QStringLiteral("new")) || !work.mkdir(QStringLiteral("old")))
        throw ZipError(QStringLiteral("无法在文件夹“%1”中建立临时文件夹。").arg(native(folder)));
    zip.extractAll(work.filePath(QStringLiteral("new")));
    return install(work.filePath(QStringLiteral("new")), folder, work.filePath(QStringLiteral("old")));
}

// ---- work folders ----

WorkFolder::WorkFolder(const QString &parent, const QString &prefix)
{
    QTemporaryDir dir(QDir(parent).filePath(prefix + QStringLiteral("XXXXXX")));
    dir.setAutoRemove(false);
    if (!dir.isValid())
        throw ZipError(QStringLiteral("无法在文件夹“%1”中建立临时文件夹：%2").arg(native(parent), dir.errorString()));
    path_ = dir.path();
}

WorkFolder::~WorkFolder()
{
    remove(path_);
}

bool WorkFolder::remove(const QString &path)
{
    std::error_code ec;
    fs::remove_all(fsPath(path), ec);
    return !ec;
}

} // namespace tolva
