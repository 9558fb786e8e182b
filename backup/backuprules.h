#pragma once

#include "base/outcome.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace tolva {
class Store;
}

namespace tolva::backup {

// The fixed password of every backup archive and the comment it carries.
inline QString password() { return QStringLiteral("tarnlopwig"); }
inline QString comment() { return QStringLiteral("青禾软件压缩备份"); }
// The files of the data folder an archive holds, in this order.
QStringList patterns();

// The photographs: the folder "phot" of the data folder, its ".jpg" files.
QString photoFolder(const QString &folder);
// The name a backup proposes: the data folder's own name followed by today's date as yyyymmdd.
QString proposedName(const QString &folder, const QDate &today);
// What a chosen archive name stands for: the name without a trailing ".zip" or ".ZIP"; the archive
// is that followed by ".zip", its photo copy that followed by "phot".
QString archiveBase(const QString &chosen);
inline QString archivePath(const QString &chosen) { return archiveBase(chosen) + QStringLiteral(".zip"); }
inline QString photoCopy(const QString &chosen) { return archiveBase(chosen) + QStringLiteral("phot"); }

// The files of the data folder that match the patterns (each once), by plain name.
QStringList dataFiles(const QString &folder);

// Writes the archive: every data file under its plain name, tolva.db as one consistent copy of the
// running store (never the live file), encrypted, with the comment. An archive already at `archive`
// is replaced only by a complete new one; an `archive` that leads to one of the data files is
// refused. `files` receives the names packed.
Outcome writeBackup(Store &store, const QString &archive, QStringList *files = nullptr);

// Compacts the tables for good. When the store cannot have the file to itself, `retry` is asked
// with the reason: true tries again, false gives up (refused).
Outcome compactTables(Store &store, const std::function<bool(const QString &reason)> &retry);

// Removes every ".jpg" of `to` (made when missing), then copies the ".jpg" files of `from` into it;
// a name already taken there gets a new one. Returns what failed, one line each; the rest goes on.
QStringList copyPhotos(const QString &from, const QString &to);

// What a restore did.
struct Restored {
    QStringList files;   // put in place, by plain name
    QStringList kept;    // the files they replaced, kept under their dated names
    QStringList skipped; // entries of the archive that are no data files, left out unread
};

// Restores the data files from an archive, all or nothing. Its data files (only they, and only
// when they fit on the disk) are extracted into a new work folder inside the data folder and its
// tolva.db checked (ours, whole, every table);
// only then is the store closed (when one is given), each current file kept as
// "NAME.before-restore-yyyyMMdd-HHmmss", the extracted files renamed into place and the store
// reopened. Any failure, also of the reopening, puts the old files back and reopens them.
Outcome restoreArchive(const QString &folder, const QString &archive, const QDateTime &now, Store *store,
                       Restored *restored = nullptr);

// The automatic backups: archives in the folder "backup" of the data folder, named like the
// proposed name and carrying the archive comment, the newest `kept` of them kept. Nothing else in
// that folder is touched.
inline QString dailyFolder(const QString &folder) { return folder + QStringLiteral("/backup"); }
constexpr int keptDailyBackups = 10;
struct Daily {
    bool written = false; // false: there was one of today already
    QString archive;
    QStringList removed;  // older archives removed
};
// Writes today's archive unless one of today is there, reads it back (every entry's checksum),
// and removes the oldest beyond `kept`. An archive that does not read back is removed again.
Outcome dailyBackup(Store &store, const QDate &today, Daily *daily = nullptr, int kept = keptDailyBackups);

} // namespace tolva::backup
