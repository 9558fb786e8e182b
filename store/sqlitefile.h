#pragma once

#include <QString>
#include <QStringList>

// The checks of a SQLite data file made before any connection could change it. Seen only inside
// store/.
namespace tolva::sqlitefile {

enum class Kind { Ours, Empty, Unmarked };

// The refusal of a data file: "数据文件“path”" followed by why.
QString refusal(const QString &path, const QString &why);
// The tables every data folder holds: the "create table" statements of the schema.
QStringList modelTables();
// Throws the refusal of a read-only or missing folder or file, before anything is written there.
void requireWritable(const QString &folder, const QString &fileName);
// Decides from the file alone whether the store may open it: ours, empty, or an unmarked file
// holding every table; anything else throws its refusal.
Kind classify(const QString &path);
// True when the file's header carries the store's mark.
bool marked(const QString &path);

} // namespace tolva::sqlitefile
