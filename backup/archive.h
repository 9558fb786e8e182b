#pragma once

#include "base/error.h"

#include <QString>
#include <QVector>

namespace tolva::backup {

// A failure of the archive facility: what went wrong, in words a person reads.
class ArchiveError : public Error {
public:
    using Error::Error;
};

// A file to pack: the plain name it gets in the archive and the file it is read from.
struct Packed {
    QString name;
    QString source;
};

// What an archive holds, as its central directory says.
struct Listed {
    QString name;
    qint64 size = 0;
    quint32 crc = 0;
};

// Writes a ZIP archive of `files`, each deflated and encrypted with the traditional ZIP password
// encryption (which every ZIP tool reads), with the archive comment. An archive already at `path`
// is replaced only once the new one is complete; a failure leaves it as it was.
void writeZip(const QString &path, const QVector<Packed> &files, const QString &password, const QString &comment);

// The entries of an archive.
QVector<Listed> listZip(const QString &path);

// Reads every entry to its end with the password, so that a wrong password, a damaged entry or a
// checksum that does not match throws.
void verifyZip(const QString &path, const QString &password);

// Extracts every entry into `folder`. Only plain file names are accepted: an entry with a folder
// part, "..", a drive or an empty name refuses the whole archive before anything is written.
// Returns the names written.
QStringList extractZip(const QString &path, const QString &password, const QString &folder);

} // namespace tolva::backup
