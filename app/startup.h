#pragma once

#include "store/store.h"
#include "widgets/context.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace tolva {

class Interaction;

// What a run holds on its data folder: the folder's lock, the store and the context over it.
struct Opened {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<Store> store;
    std::unique_ptr<Context> context;
    // Why the program cannot work on the folder (empty when everything above is there).
    QString refusal;
    bool ok() const { return refusal.isEmpty(); }
};

// The start-up before any window: takes the folder for this program alone (a second program on it
// is refused before it touches a table), opens the store, builds the context and clears the
// folder of leftovers (cleanFolder). Every failure ends in a refusal, never in an exception.
Opened openFolder(const QString &folder, Interaction &interaction);

// Takes the folder for this program alone; nullptr and the reason when another program holds it
// (naming the computer when that is another one, whose lock is never taken over), the disk is full
// or no lock file can be made.
std::unique_ptr<QLockFile> lockFolder(const QString &folder, QString &refusal);

// True when a small write into `folder` fails for want of room (a full disk, a quota, a file size
// limit).
bool noRoomIn(const QString &folder);

// The lock file that keeps a second program out of a data folder.
inline QString lockFileName() {
    return QStringLiteral("tolva.lock");
}

// Deletes `name` from `folder`, whatever the letter case of the file's name; a missing file is no error.
void removeFile(const QString &folder, const QString &name);

// Removes the tables' auxiliary files and the update program's leftover from the folder.
void cleanFolder(const QString &folder);

} // namespace tolva
