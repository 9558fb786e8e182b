#include "sqlitefile.h"
#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <sqlite3.h>

namespace tolva::sqlitefile {

namespace {

quint32 bigEndian(const QByteArray &bytes, int at, int size)
{
    quint32 v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | quint8(bytes[at + i]);
    return v;
}

// A permission the person set counts even for an account the system would let write anyway.
bool writable(const QFileInfo &info)
{
    return info.isWritable() && (info.permissions() & QFileDevice::WriteOwner);
}

const QByteArray &magic()
{
    static const QByteArray m("SQLite format 3\0", 16);
    return m;
}

// The mark and the tables of a file, read through a connection that can change nothing: with a
// journal beside the file only the engine can say what it holds (read-only); without one the file
// is opened immutable, so that not even the journal files are created. Empty `failure` when read.
void inspect(const QString &path, bool journal, quint32 &mark, QStringList &tables, QString &failure)
{
    sqlite3 *db = nullptr;
    QByteArray name;
    int flags = SQLITE_OPEN_READONLY;
    if (journal) {
        name = QFile::encodeName(path);
    } else {
        name = "file:" + QUrl::fromLocalFile(path).path(QUrl::FullyEncoded).toUtf8() + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    if (sqlite3_open_v2(name.constData(), &db, flags, nullptr) != SQLITE_OK) {
        failure = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return;
    }
    auto each = [&](const char *sql, auto &&row) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
            failure = QString::fromUtf8(sqlite3_errmsg(db));
            return;
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            row(st);
        if (rc != SQLITE_DONE)
            failure = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    };
    each("PRAGMA application_id", [&](sqlite3_stmt *st) { mark = quint32(sqlite3_column_int64(st, 0)); });
    if (failure.isEmpty())
        each("select name from sqlite_master where type='table'", [&](sqlite3_stmt *st) {
            tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))).toLower();
        });
    sqlite3_close(db);
}

} // namespace

QString refusal(const QString &path, const QString &why)
{
    return QStringLiteral("数据文件“") + QDir::toNativeSeparators(path) + QStringLiteral("”") + why;
}

QStringList modelTables()
{
    QFile file(QStringLiteral(":/store/schema.sql"));
    QStringList names;
    if (!file.open(QIODevice::ReadOnly))
        return names;
    static const QRegularExpression re(QStringLiteral("^\\s*create\\s+table\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::MultilineOption);
    auto it = re.globalMatch(QString::fromUtf8(file.readAll()));
    while (it.hasNext())
        names << it.next().captured(1).toLower();
    return names;
}

void requireWritable(const QString &folder, const QString &fileName)
{
    const QString path = QDir(folder).filePath(fileName);
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        throw StoreError(refusal(path, QStringLiteral("所在的文件夹不存在。")));
    if (!writable(folderInfo))
        throw StoreError(refusal(path, QStringLiteral("所在的文件夹是只读的，程序不能在其中保存数据，没有改动任何文件。")));
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw StoreError(refusal(path, QStringLiteral("不是一个文件。")));
    if (info.exists() && !writable(info))
        throw StoreError(refusal(path, QStringLiteral("是只读的，程序不能在其中保存数据，没有改动它。"
                                                      "请取消它的只读属性后再启动。")));
}

bool marked(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(100);
    return header.size() == 100 && header.startsWith(magic()) &&
           bigEndian(header, 68, 4) == quint32(Store::ApplicationId);
}

Kind classify(const QString &path)
{
    const QString notOurs = QStringLiteral("不是本程序的数据文件，");
    const QString leftAlone = QStringLiteral("程序没有改动它。请换用本程序的数据文件后再启动。");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(refusal(path, QStringLiteral("无法读取：") + file.errorString()));
    const qint64 size = file.size();
    // Saves of a running or broken-off program may still sit in the journal beside the file.
    const bool journal = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (size == 0 && !journal)
        return Kind::Empty;
    QByteArray header = file.read(100);
    file.close();
    if (size == 0) // all of it in the journal: let the engine read it
        header = magic().leftJustified(100, '\0');
    if (header.size() < 100 || !header.startsWith(magic()))
        throw StoreError(refusal(path, notOurs + QStringLiteral("也不是数据库文件。") + leftAlone));
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pages = bigEndian(header, 28, 4);
    const bool pagesValid = bigEndian(header, 92, 4) == bigEndian(header, 24, 4);
    if (pagesValid && pages > 0 && size < qint64(pages) * pageSize)
        throw StoreError(refusal(path, QStringLiteral("不完整（文件被截断，比其中记载的短），程序没有改动它。"
                                                      "请用完整的数据文件或备份恢复后再启动。")));
    quint32 mark = bigEndian(header, 68, 4);
    if (!journal && mark == quint32(Store::ApplicationId))
        return Kind::Ours;
    if (!journal && mark != 0)
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库。") + leftAlone));

    QStringList tables;
    QString failure;
    inspect(path, journal, mark, tables, failure);
    if (!failure.isEmpty())
        throw StoreError(refusal(path, QStringLiteral("已损坏，无法读取，程序没有改动它。")));
    if (mark == quint32(Store::ApplicationId))
        return Kind::Ours;
    if (mark != 0)
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库。") + leftAlone));
    if (tables.isEmpty())
        return Kind::Empty;
    // The change log's tables came later: the store adds them to a file without them.
    const QStringList later{QStringLiteral("rzb"), QStringLiteral("rzbtem")};
    QStringList missing;
    for (const QString &table : modelTables())
        if (!tables.contains(table) && !later.contains(table))
            missing << table;
    if (!missing.isEmpty())
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库（没有数据表 ") +
                                           missing.mid(0, 5).join(QStringLiteral("、")) +
                                           (missing.size() > 5 ? QStringLiteral(" 等") : QString()) +
                                           QStringLiteral("）。") + leftAlone));
    return Kind::Unmarked;
}

} // namespace tolva::sqlitefile
