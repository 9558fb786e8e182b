#pragma once

#include "error.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace tolva {

// A failure of an archive: what went wrong, in words a person reads.
class ZipError : public Error {
public:
    using Error::Error;
};

// One entry of an archive, as its central directory describes it.
struct ZipEntry {
    QString name;
    qint64 size = 0;       // the unpacked size the archive states
    quint32 crc = 0;
    bool folder = false;   // a stored folder
    bool link = false;     // a symbolic link
    bool special = false;  // a device, pipe or socket
    bool program = false;  // stored with an executable bit
};

// Why an entry may not be unpacked, or an empty text when it may: the one rule for every archive the
// program reads. A name stays inside the folder it is unpacked into (relative, no "..", no drive
// or colon, no backslash, no control character), and an entry is a file or a folder, never a link.
QString unsafeEntry(const ZipEntry &entry);

// An archive opened for reading. `kind` names it in messages ("备份文件", "压缩文件").
class ZipReader {
public:
    explicit ZipReader(const QString &path, const QString &kind = QStringLiteral("压缩文件"));
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    const QVector<ZipEntry> &entries() const;
    QString comment() const;
    // The password of the entries encrypted with the traditional ZIP encryption.
    void setPassword(const QString &password);

    using Sink = std::function<void(const char *data, qint64 size)>;
    // Reads entry `index` to its end, handing each piece to `sink`. Throws when the entry is damaged,
    // the password is wrong, or it holds more than its stated size (nothing beyond that is handed on).
    void read(int index, const Sink &sink) const;
    // Reads every entry to its end (checksums included).
    void verify() const;
    // Throws with the first entry that is not safe to unpack.
    void refuseUnsafe() const;

    // Writes the entries `indexes` into `folder`, a folder this run made and that holds nothing else
    // (a WorkFolder): stored folders are made, every file is new there (never opened through a
    // link), with the permissions of the umask, executable when stored so. Refuses, before anything
    // is written, an unsafe entry, a name given twice, and entries whose stated sizes do not fit the
    // free space of the disk. Returns the names written.
    QStringList extract(const QVector<int> &indexes, const QString &folder) const;
    QStringList extractAll(const QString &folder) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// A file to pack: the name it gets in the archive and the file it is read from.
struct ZipSource {
    QString name;
    QString file;
};

// Writes an archive of `files`, each deflated and encrypted with the traditional ZIP password
// encryption (which every ZIP tool reads), with the archive comment. It is written under a
// temporary name beside `path` and renamed over it only when complete, so an archive already there
// stays as it was when the writing fails or is killed; what a killed run left for the same name is
// removed first.
void writeZip(const QString &path, const QVector<ZipSource> &files, const QString &password, const QString &comment,
              const QString &kind = QStringLiteral("压缩文件"));

// Removes what a killed writer of the archive `path` left beside it: the temporary of a writer no
// longer running, the ZIP library's own temporary inside it, and an older program's unfinished
// "NAME.XXXXXX" (an archive begun and never ended). writeZip does this itself first.
void removeStaleTemporaries(const QString &path);

// Unpacks every entry of the archive `zipFile` into `folder` (made when missing), as a whole or not
// at all: every name is judged first (unsafeEntry, then `refuse`, which returns why a name is not
// wanted or an empty text), everything is unpacked into a staging folder inside `folder`, and only
// then are the files moved into place. A file already there is replaced, a link by the file and
// never written through; a folder there that is a link, or a file where the archive has a folder,
// refuses the archive. Throws ZipError with the reason; returns the files put in place.
QStringList unpackZip(const QString &zipFile, const QString &folder,
                      const std::function<QString(const QString &name)> &refuse = {});

// A folder made new for one piece of work, "PREFIX" followed by random characters, inside
// `parent`; removed with all it holds when it goes. A link inside is removed as a link: what it
// points to is never touched.
class WorkFolder {
public:
    WorkFolder(const QString &parent, const QString &prefix);
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;
    QString path() const { return path_; }

    // Removes a file, a link or a folder with all it holds, without following links.
    static bool remove(const QString &path);

private:
    QString path_;
};

} // namespace tolva
