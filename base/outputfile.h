#pragma once

#include "error.h"

#include <QString>
#include <QStringList>

namespace tolva {

// The files of a data folder that only the store's own connection may touch: the ledger, its
// journals and the folder's lock.
QStringList dataFileNames();

// True when `path` is one of `dataFolder`'s data files: by its name, through a symbolic link, or
// as a second (hard) name of the same file.
bool isDataFile(const QString &path, const QString &dataFolder);

// True while a process of that id runs (this one included); where that cannot be asked, true.
bool processRunning(qint64 pid);

// Throws an Error in the program's words when `path` is one of the data folder's files: no output
// (PDF, Excel, prepared report, archive) may be written over them.
void refuseDataFile(const QString &path, const QString &dataFolder);

// An output file written under a temporary name beside its final one and renamed over it only when
// complete, so that a killed or failed run never leaves a half-written file under the final name
// and never damages the file it was to replace. The temporary name is ".NAME.tolva-PID-XXXXXX";
// an uncommitted one is removed, and temporaries of the same final name left by a dead run (its
// process is gone) are removed when the next one starts.
class OutputFile {
public:
    // Reserves the temporary file beside `finalPath`. Throws an Error when the folder is missing or
    // cannot be written.
    explicit OutputFile(const QString &finalPath);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    QString finalPath() const { return finalPath_; }
    // Where the writer writes; it exists and is empty.
    QString temporaryPath() const { return temporary_; }
    // Makes the written file durable and renames it over the final name, with the permissions of
    // the file it replaces or of an ordinary new file. Throws an Error when that fails; the final
    // name then keeps what it held.
    void commit();

    // Removes the temporaries of `finalPath` whose writer is no longer running, and the temporaries
    // a library made of them in turn ("TEMPORARY.XXXXXX", as the ZIP library writes).
    static void removeStale(const QString &finalPath);
    // True for a name this class gives its temporaries.
    static bool isTemporaryName(const QString &fileName);

private:
    QString finalPath_;
    QString temporary_;
    bool committed_ = false;
};

} // namespace tolva
