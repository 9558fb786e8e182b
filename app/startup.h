#pragma once

#include "store/store.h"
#include "widgets/context.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QString>
#include <QStringList>

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
    // What the start-up put back that another program had removed (the single row of srf or
    // dwm), for the person to be told once the splash is gone.
    QStringList restored;
    bool ok() const { return refusal.isEmpty(); }
};

// The start-up before any window: takes the folder for this program alone (a second program on it
// is refused before it touches a table), opens the store, puts back a missing settings or titles
// row, builds the context and clears the folder of leftovers (cleanFolder). Every failure ends in
// a refusal, never in an exception.
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

// The data folder of a program started from the desktop's menu: "租赁数据" in the user's documents
// folder `documents`, made on the first start. Empty, with the reason, when it cannot be made.
QString desktopFolder(const QString &documents, QString &refusal);

// Deletes `name` from `folder`, whatever the letter case of the file's name; a missing file is no error.
void removeFile(const QString &folder, const QString &name);

// Removes the tables' auxiliary files and the update program's leftover from the folder.
void cleanFolder(const QString &folder);

// The start's housekeeping, before the login and without a window: srf.a2 records the start
// ("已经使用", or "delsetupfile" when an installer left "qh_setup" in `programFolder`, which
// goes), the installer's files leave `folder`, and the tables are made ready (prepareTables). On a
// server the mark is the yard's and is left alone, and the tables wait for a clerk's login.
void startUpHousekeeping(Store &store, const QString &folder, const QString &programFolder);

// The part of the housekeeping that writes tables: srf gets the column of the program's file name
// and the working tables are emptied.
void prepareTables(Store &store);

// The desktop's standard dialogs (messages, file dialogs, the calendar) in Chinese, whatever the
// machine's language: Qt's own translations and the Chinese locale. False when the translations
// are not installed; the dialogs then stay in Qt's English.
bool speakChinese(QCoreApplication &app);

} // namespace tolva
