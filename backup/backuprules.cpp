#include "backuprules.h"

#include "base/outputfile.h"
#include "base/zip.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tolva::backup {

namespace fs = std::filesystem;

namespace {

const QString DataFile = QLatin1String(Store::FileName);
const QString Journal = DataFile + QStringLiteral("-wal");
const QString SharedMemory = DataFile + QStringLiteral("-shm");

fs::path fsPath(const QString &path)
{
    return fs::path(path.toStdU16String());
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString systemReason(const std::error_code &ec)
{
    return QString::fromLocal8Bit(ec.message().c_str());
}

QString lines(const QString &head, const QString &why)
{
    return head + QLatin1Char('\n') + why;
}

bool matchesPattern(const QString &name)
{
    for (const QString &pattern : patterns())
        if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                               QRegularExpression::CaseInsensitiveOption)
                .match(name)
                .hasMatch())
            return true;
    return false;
}

const QString Kind = QStringLiteral("备份文件");

// The work folders of a backup or restore that a crash or power cut broke off. One program works
// on a folder at a time (its lock), so none of them is still in use. A link of such a name is
// removed as a link: what it points to is not ours.
void removeLeftovers(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral(".tolva-backup-*"), QStringLiteral(".tolva-restore-*")},
                                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        WorkFolder::remove(dir.filePath(name));
}

// Packs the data files, tolva.db as a snapshot taken beside them; throws with the reason.
QStringList pack(Store &store, const QString &archive)
{
    const QString folder = store.folder();
    refuseDataFile(archive, folder);
    removeLeftovers(folder);
    WorkFolder temp(folder, QStringLiteral(".tolva-backup-"));
    const QString copy = QDir(temp.path()).filePath(DataFile);
    store.snapshot(copy);
    QVector<ZipSource> files;
    QStringList names = dataFiles(folder);
    if (!names.contains(DataFile))
        names.prepend(DataFile);
    for (const QString &name : names)
        files.append({name, name == DataFile ? copy : QDir(folder).filePath(name)});
    writeZip(archive, files, password(), comment(), Kind);
    return names;
}

// The tables every data folder holds, as the store's own table definitions name them.
QStringList modelTables()
{
    QFile file(QStringLiteral(":/store/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("找不到建表语句，无法检查备份中的数据。"));
    static const QRegularExpression re(QStringLiteral("^\\s*create\\s+table\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::MultilineOption);
    QStringList names;
    auto it = re.globalMatch(QString::fromUtf8(file.readAll()));
    while (it.hasNext())
        names << it.next().captured(1).toLower();
    return names;
}


// Checks the extracted tolva.db in `folder` the way the store opens a file, then reads every page
// and looks for every table. Throws with the reason. Leaves the file standing alone (its journal,
// when the archive brought one, folded in).
void checkLedger(const QString &folder)
{
    const QString path = QDir(folder).filePath(DataFile);
    if (QFileInfo(path).size() == 0)
        throw Error(QStringLiteral("备份中的数据文件 tolva.db 是空的。"));
    // Only a marked file is taken: an unmarked one the store would mark or fill with new empty
    // tables, and that is no restore.
    if (!Store::isMarked(path))
        throw Error(QStringLiteral("备份中的 tolva.db 不是本程序的数据文件。"));
    {
        Store check(folder);
        const QString integrity = check.integrity();
        if (integrity != QLatin1String("ok"))
            throw Error(QStringLiteral("备份中的数据文件已损坏（") + integrity + QStringLiteral("）。"));
        QStringList missing;
        for (const QString &table : modelTables())
            if (!check.hasTable(table))
                missing << table;
        if (!missing.isEmpty())
            throw Error(QStringLiteral("备份中的数据文件缺少数据表 ") + missing.join(QStringLiteral("、")) +
                        QStringLiteral("。"));
    }
    const QFileInfo journal(QDir(folder).filePath(Journal));
    if (journal.exists() && journal.size() > 0)
        throw Error(QStringLiteral("备份中的数据文件的日志无法并入。"));
    QFile::remove(journal.filePath());
    QFile::remove(QDir(folder).filePath(SharedMemory));
}

// A name beside `path` that does not exist yet: path, or path-2, path-3 …
QString freeName(const QString &path)
{
    QString name = path;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = path + QStringLiteral("-%1").arg(n);
    return name;
}

} // namespace

QStringList patterns()
{
    return {QStringLiteral("*.db"),  QStringLiteral("*.mb"),  QStringLiteral("*.px"),  QStringLiteral("*.mdb"),
            QStringLiteral("*.dbf"), QStringLiteral("*.dbc"), QStringLiteral("*.cdx"), QStringLiteral("*.dct"),
            QStringLiteral("*.dcx"), QStringLiteral("*.idx"), QStringLiteral("*.fpt"), QStringLiteral("*.old"),
            QStringLiteral("*.fpt"), QStringLiteral("*.ini"), QStringLiteral("*.pif"), QStringLiteral("*.ldf"),
            QStringLiteral("*.mdf"), QStringLiteral("*.val")};
}

QString photoFolder(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("phot"));
}

QString proposedName(const QString &folder, const QDate &today)
{
    QString name = QFileInfo(QDir::cleanPath(QDir(folder).absolutePath())).fileName();
    if (name.isEmpty()) // the root of a drive
        name = QStringLiteral("tolva");
    return name + today.toString(QStringLiteral("yyyyMMdd"));
}

QString archiveBase(const QString &chosen)
{
    if (chosen.endsWith(QLatin1String(".zip")) || chosen.endsWith(QLatin1String(".ZIP")))
        return chosen.left(chosen.size() - 4);
    return chosen;
}

QStringList dataFiles(const QString &folder)
{
    const QDir dir(folder);
    QStringList names;
    // "*.fpt" is listed twice; a file goes in once (an archive cannot hold one name twice).
    for (const QString &pattern : patterns())
        for (const QString &name : dir.entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name))
            if (!names.contains(name))
                names << name;
    return names;
}

Outcome writeBackup(Store &store, const QString &archive, QStringList *files)
{
    try {
        const QStringList names = pack(store, archive);
        if (files)
            *files = names;
        return Outcome::done();
    } catch (const Error &e) {
        return Outcome::refused(lines(QStringLiteral("数据备份失败！"), e.text()));
    }
}

Outcome compactTables(Store &store, const std::function<bool(const QString &reason)> &retry)
{
    for (;;) {
        try {
            store.compact();
            return Outcome::done();
        } catch (const Error &e) {
            if (!retry || !retry(e.text()))
                return Outcome::refused(e.text());
        }
    }
}

QStringList copyPhotos(const QString &from, const QString &to)
{
    QStringList failures;
    QDir target(to);
    if (target.exists()) {
        for (const QString &name : target.entryList({QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden))
            if (!target.remove(name))
                failures << QStringLiteral("无法删除 ") + native(target.filePath(name));
    } else if (!QDir().mkpath(to)) {
        return {QStringLiteral("无法建立文件夹 ") + native(to)};
    }
    const QDir source(from);
    for (const QString &name : source.entryList({QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden, QDir::Name)) {
        QString destination = target.filePath(name);
        // A photo that could not be deleted keeps its place; the new one comes in beside it.
        const QFileInfo info(name);
        for (int n = 2; QFileInfo::exists(destination); ++n)
            destination = target.filePath(QStringLiteral("%1 (%2).%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
        if (!QFile::copy(source.filePath(name), destination))
            failures << QStringLiteral("无法复制 ") + native(source.filePath(name));
    }
    return failures;
}

Outcome restoreArchive(const QString &folder, const QString &archive, const QDateTime &now, Store *store,
                       Restored *restored)
{
    const auto refused = [](const QString &why) {
        return Outcome::refused(lines(QStringLiteral("数据恢复失败！"), why + QLatin1Char('\n') +
                                                                          QStringLiteral("当前的数据没有改动。")));
    };
    const QDir data(folder);
    Restored r;
    try {
        if (const QString refusal = store ? store->closedForRestore() : QString(); !refusal.isEmpty())
            return refused(refusal);
    } catch (const Error &e) {
        return refused(e.text());
    }

    removeLeftovers(folder);
    // Everything is unpacked and checked aside, before the current files are touched; only the
    // data files are unpacked, whatever else the archive holds is not even read.
    std::unique_ptr<WorkFolder> temp;
    QStringList take;
    try {
        ZipReader zip(archive, Kind);
        zip.setPassword(password());
        QVector<int> wanted;
        bool ledger = false;
        for (int i = 0; i < zip.entries().size(); ++i) {
            const ZipEntry &e = zip.entries()[i];
            // The program's archives hold plain file names; anything else is no backup of ours.
            if (!unsafeEntry(e).isEmpty() || e.folder || e.name.contains(QLatin1Char('/')))
                throw Error(QStringLiteral("备份文件中的“%1”带有文件夹或不是普通的文件名，不是本程序的备份，没有恢复。")
                                .arg(e.name));
            const bool isLedger = e.name.compare(DataFile, Qt::CaseInsensitive) == 0;
            const bool isJournal = e.name.compare(Journal, Qt::CaseInsensitive) == 0;
            if (!isLedger && !isJournal && !matchesPattern(e.name)) {
                r.skipped << e.name;
                continue;
            }
            if (isLedger && ledger)
                throw Error(QStringLiteral("备份文件中有两个数据文件 tolva.db，不是本程序的备份。"));
            ledger = ledger || isLedger;
            wanted << i;
        }
        if (!ledger)
            throw Error(QStringLiteral("备份文件中没有数据文件 tolva.db，不是本程序的备份。"));
        temp = std::make_unique<WorkFolder>(folder, QStringLiteral(".tolva-restore-"));
        const QDir aside(temp->path());
        for (const QString &name : zip.extract(wanted, temp->path())) {
            // A ledger packed on a desktop that writes names in capitals is still the ledger.
            const auto as = [&](const QString &proper) {
                if (name != proper && !QFile::rename(aside.filePath(name), aside.filePath(proper)))
                    throw Error(QStringLiteral("无法改名 ") + name);
            };
            if (name.compare(DataFile, Qt::CaseInsensitive) == 0)
                as(DataFile);
            else if (name.compare(Journal, Qt::CaseInsensitive) == 0)
                as(Journal); // a folder packed while the program ran: its journal belongs to the file
            else
                take << name;
        }
        checkLedger(temp->path());
    } catch (const Error &e) {
        return refused(e.text());
    }
    const QDir aside(temp->path());
    if (store && store->isServer()) {
        // On a server the ledger's rows replace the server's, in one transaction; the folder's
        // files stay as they are.
        try {
            Store source(temp->path());
            store->replaceWith(source);
        } catch (const Error &e) {
            return refused(e.text());
        }
        r.files << DataFile;
        r.skipped << take;
        if (restored)
            *restored = r;
        return Outcome::done();
    }
    take << DataFile; // last: the other files are in place before the ledger that goes with them

    // The swap. Each current file keeps a second name (a hard link, a copy where the disk has
    // none), then the new one is renamed over it, which replaces it in one step.
    struct Step {
        fs::path target, kept;
    };
    QVector<Step> steps;
    const auto undo = [&]() -> QString {
        QString failed;
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            std::error_code ec;
            if (it->kept.empty())
                fs::remove(it->target, ec);
            else
                fs::rename(it->kept, it->target, ec);
            if (ec)
                failed += QStringLiteral("\n无法放回 %1：%2")
                              .arg(native(QString::fromStdU16String(it->target.u16string())), systemReason(ec));
        }
        steps.clear();
        return failed;
    };
    const auto reopenOld = [&](const QString &why) {
        const QString undone = undo();
        QString after;
        try {
            if (store)
                store->reopen();
        } catch (const Error &e) {
            after = QStringLiteral("\n原来的数据文件无法重新打开：") + e.text();
        }
        return refused(why + undone + after);
    };

    try {
        if (store && store->isOpen())
            store->close();
    } catch (const Error &e) {
        return refused(e.text());
    }
    // The closed store's journal has been written back; one still holding saves would be read
    // with the wrong file.
    const QFileInfo journal(data.filePath(Journal));
    if (journal.exists() && journal.size() > 0)
        return reopenOld(QStringLiteral("当前数据文件的日志还没有写回数据文件，现在不能恢复。"));
    QFile::remove(journal.filePath());
    QFile::remove(data.filePath(SharedMemory));

    const QString stamp = QStringLiteral(".before-restore-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString &name : take) {
        Step step{fsPath(data.filePath(name)), {}};
        std::error_code ec;
        if (QFileInfo::exists(data.filePath(name))) {
            const QString kept = freeName(data.filePath(name) + stamp);
            step.kept = fsPath(kept);
            fs::create_hard_link(step.target, step.kept, ec);
            if (ec) {
                ec.clear();
                fs::copy_file(step.target, step.kept, ec);
            }
            if (ec) {
                // The reason is taken before the clean-up, which would overwrite it.
                const QString why = systemReason(ec);
                std::error_code ignored;
                fs::remove(step.kept, ignored);
                return reopenOld(QStringLiteral("无法保留原来的 %1：%2").arg(name, why));
            }
            r.kept << QFileInfo(kept).fileName();
        }
        fs::rename(fsPath(aside.filePath(name)), step.target, ec);
        if (ec) {
            std::error_code ignored;
            if (!step.kept.empty())
                fs::remove(step.kept, ignored);
            return reopenOld(QStringLiteral("无法放入 %1：%2").arg(name, systemReason(ec)));
        }
        steps.append(step);
        r.files << name;
    }

    try {
        if (store) {
            store->reopen();
        } else {
            Store opened(folder);
        }
    } catch (const Error &e) {
        if (store && store->isOpen()) {
            try {
                store->close();
            } catch (const Error &) {
            }
        }
        r.kept.clear();
        return reopenOld(QStringLiteral("恢复的数据文件无法打开：") + e.text());
    }
    if (restored)
        *restored = r;
    return Outcome::done();
}

Outcome dailyBackup(Store &store, const QDate &today, Daily *daily, int kept)
{
    const auto refused = [](const QString &why) {
        return Outcome::refused(lines(QStringLiteral("今天的自动备份没有完成！"), why));
    };
    Daily d;
    const QString folder = dailyFolder(store.folder());
    QDir dir(folder);
    if (!QDir().mkpath(folder))
        return refused(QStringLiteral("无法建立文件夹 ") + native(folder));

    // The program's own archives: its name for this folder and a day, and its mark inside. What
    // else the folder holds (the person's own archives, dated or not) is none of its business.
    const QString stem = proposedName(store.folder(), today).chopped(8);
    const QRegularExpression own(QLatin1Char('^') + QRegularExpression::escape(stem) + QStringLiteral("(\\d{8})\\.zip$"));
    // What a daily backup killed on an earlier day left behind goes first.
    const QRegularExpression leftover(QStringLiteral("^\\.?(") + QRegularExpression::escape(stem) +
                                      QStringLiteral("\\d{8}\\.zip)\\.(tolva-|[A-Za-z0-9]{6}$)"));
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const auto m = leftover.match(name);
        if (m.hasMatch())
            removeStaleTemporaries(dir.filePath(m.captured(1)));
    }
    QVector<QPair<QDate, QString>> archives;
    for (const QString &name : dir.entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name)) {
        const auto m = own.match(name);
        const QDate day = m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")) : QDate();
        if (!day.isValid() || QFileInfo(dir.filePath(name)).isSymLink())
            continue;
        try {
            if (ZipReader(dir.filePath(name), Kind).comment() == comment())
                archives.append({day, name});
        } catch (const Error &) {
            // Not readable as an archive: not provably ours.
        }
    }
    const auto ofToday = std::find_if(archives.begin(), archives.end(), [&](const auto &a) { return a.first == today; });
    if (ofToday != archives.end()) {
        d.archive = dir.filePath(ofToday->second);
    } else {
        d.archive = dir.filePath(stem + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".zip"));
        if (QFileInfo::exists(d.archive) || QFileInfo(d.archive).isSymLink())
            return refused(QStringLiteral("文件夹 %1 中已有一个不是本程序写的同名文件 %2，没有覆盖它。")
                               .arg(native(folder), QFileInfo(d.archive).fileName()));
        try {
            const QStringList names = pack(store, d.archive);
            ZipReader written(d.archive, Kind);
            written.setPassword(password());
            written.verify();
            QStringList listed;
            for (const ZipEntry &entry : written.entries())
                listed << entry.name;
            if (listed != names)
                throw Error(QStringLiteral("备份文件中的文件与数据文件夹中的不一致。"));
        } catch (const Error &e) {
            QFile::remove(d.archive);
            return refused(e.text());
        }
        d.written = true;
        archives.append({today, QFileInfo(d.archive).fileName()});
    }
    std::sort(archives.begin(), archives.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second > b.second;
    });
    for (int i = std::max(kept, 1); i < archives.size(); ++i) {
        if (dir.remove(archives[i].second))
            d.removed << archives[i].second;
    }
    if (daily)
        *daily = d;
    return Outcome::done();
}

} // namespace tolva::backup
