#include "store.h"
#include "dataset.h"
#include "sqlitehandle.h"
#include "statement.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlDriver>
#include <QStringEncoder>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <exception>
#include <limits>
#include <memory>

namespace tolva {

StoreError::StoreError(const QString &message, const QString &statement)
    : Error(statement.isEmpty() ? message : message + "\n" + statement),
      message_(message), statement_(statement)
{
}

QString StoreError::text() const
{
    return statement_.isEmpty() ? message_ : message_ + "\n" + statement_;
}

int Rows::column(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

namespace {

const QRegularExpression &suffixPattern()
{
    static const QRegularExpression re(QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\.db\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &splicedDatePattern()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    return re;
}

const QRegularExpression &parameterPattern()
{
    static const QRegularExpression re(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
    return re;
}

// A select over one table, without grouping, sorting or aggregates: its rows come in stored order.
const QRegularExpression &plainSelectPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+([^()]*?)\\s+from\\s+[A-Za-z_][A-Za-z0-9_]*\\s*(where\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// Splits a statement into code and quoted literals; calls code(text) and literal(content).
template <class Code, class Literal>
void scanStatement(const QString &sql, Code code, Literal literal)
{
    QString chunk;
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c != QLatin1Char('\'') && c != QLatin1Char('"')) {
            chunk += c;
            ++i;
            continue;
        }
        code(chunk);
        chunk.clear();
        QString content;
        int j = i + 1;
        bool closed = false;
        while (j < n) {
            if (sql[j] == c) {
                if (j + 1 < n && sql[j + 1] == c) { // a doubled quote stands for itself
                    content += c;
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            content += sql[j++];
        }
        if (!closed)
            throw StoreError(QStringLiteral("语句中的引号不配对。"), sql);
        literal(content);
        i = j + 1;
    }
    code(chunk);
}

ColumnInfo parseColumn(const QString &name, const QString &declared)
{
    ColumnInfo info;
    info.name = name.toLower();
    const QString t = declared.trimmed().toLower();
    static const QRegularExpression cap(QStringLiteral("^(?:var)?char\\s*\\((\\d+)\\)$"));
    const auto m = cap.match(t);
    if (m.hasMatch()) {
        info.type = ColumnType::Text;
        info.capacity = m.captured(1).toInt();
    } else if (t == QLatin1String("real") || t == QLatin1String("number") || t == QLatin1String("double")) {
        info.type = ColumnType::Number;
    } else if (t == QLatin1String("date")) {
        info.type = ColumnType::Date;
    } else if (t == QLatin1String("smallint") || t == QLatin1String("integer") || t == QLatin1String("int")) {
        info.type = ColumnType::Integer;
    } else {
        info.type = ColumnType::Text;
    }
    return info;
}

} // namespace

namespace {

// The tables every data folder holds: the "create table" statements of the schema.
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

enum class Kind { Ours, Empty, Unmarked };

QString refusal(const QString &path, const QString &why)
{
    return QStringLiteral("数据文件“") + QDir::toNativeSeparators(path) + QStringLiteral("”") + why;
}

// Decides from the file alone, before any connection could change it, whether the store may open it.
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
        header = QByteArray("SQLite format 3\0", 16).leftJustified(100, '\0');
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw StoreError(refusal(path, notOurs + QStringLiteral("也不是数据库文件。") + leftAlone));
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pages = bigEndian(header, 28, 4);
    const bool pagesValid = bigEndian(header, 92, 4) == bigEndian(header, 24, 4);
    if (pagesValid && pages > 0 && size < qint64(pages) * pageSize)
        throw StoreError(refusal(path, QStringLiteral("不完整（文件被截断，比其中记载的短），程序没有改动它。"
                                                      "请用完整的数据文件或备份恢复后再启动。")));
    // The mark and the tables as the file holds them. With a journal only the engine can say what
    // that is, read-only. Without one the header says it, and the tables are read through a
    // connection that can change nothing, not even create the journal files.
    quint32 mark = bigEndian(header, 68, 4);
    if (!journal && mark == quint32(Store::ApplicationId))
        return Kind::Ours;
    if (!journal && mark != 0)
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库。") + leftAlone));

    const QString name = QStringLiteral("tolva-inspect-%1").arg(reinterpret_cast<quintptr>(&file), 0, 16);
    QStringList tables;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (journal) {
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        } else {
            db.setDatabaseName(QStringLiteral("file:") + QUrl::fromLocalFile(path).path(QUrl::FullyEncoded) +
                               QStringLiteral("?immutable=1"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        }
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("PRAGMA application_id")) && q.next())
                mark = quint32(q.value(0).toLongLong());
            else
                failure = q.lastError().text();
            if (!q.exec(QStringLiteral("select name from sqlite_master where type='table'")))
                failure = q.lastError().text();
            while (q.next())
                tables << q.value(0).toString().toLower();
            if (q.lastError().isValid())
                failure = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw StoreError(refusal(path, QStringLiteral("已损坏，无法读取，程序没有改动它。")));
    if (mark == quint32(Store::ApplicationId))
        return Kind::Ours;
    if (mark != 0)
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库。") + leftAlone));
    if (tables.isEmpty())
        return Kind::Empty;
    QStringList missing;
    for (const QString &table : modelTables())
        if (!tables.contains(table))
            missing << table;
    if (!missing.isEmpty())
        throw StoreError(refusal(path, notOurs + QStringLiteral("而是另一个程序的数据库（没有数据表 ") +
                                           missing.mid(0, 5).join(QStringLiteral("、")) +
                                           (missing.size() > 5 ? QStringLiteral(" 等") : QString()) +
                                           QStringLiteral("）。") + leftAlone));
    return Kind::Unmarked;
}

} // namespace

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    if (!db.isOpen())
        throw StoreError(QStringLiteral("数据文件已关闭。"));
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw StoreError(QStringLiteral("数据库连接不可用。"));
    sqlite3 *h = *static_cast<sqlite3 *const *>(v.constData());
    if (!h)
        throw StoreError(QStringLiteral("数据库连接不可用。"));
    return h;
}

QString failureText(int code, const QString &engineText, int systemError)
{
    // A write the disk had no room for: the engine says "full", or its write failed for want of
    // space (a quota, a file grown to the largest the disk or the account allows).
    const bool ioFailure = (code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_CANTOPEN;
#ifdef EDQUOT
    const bool quota = systemError == EDQUOT;
#else
    const bool quota = false;
#endif
    if ((code & 0xff) == SQLITE_FULL || (ioFailure && (systemError == ENOSPC || systemError == EFBIG || quota)))
        return QStringLiteral("磁盘已满，数据没有保存。");
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据文件正被另一个程序写入，暂时不能保存。请稍后再试，输入的内容仍然保留。");
    case SQLITE_READONLY:
        return QStringLiteral("数据文件是只读的，不能保存。");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("读写数据文件时出错，数据没有保存。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据文件已损坏。");
    default:
        return engineText;
    }
}

QString failureText(sqlite3 *handle, int code, const QString &engineText)
{
    return failureText(code, engineText, handle ? sqlite3_system_errno(handle) : 0);
}

namespace {

// The value of a parameter the statement names, the name's letter case ignored; none is an error.
QVariant parameter(const Params &params, const QString &name, const QString &statement)
{
    auto found = params.constEnd();
    for (auto p = params.constBegin(); p != params.constEnd(); ++p)
        if (p.key().compare(name, Qt::CaseInsensitive) == 0)
            found = p;
    if (found == params.constEnd())
        throw StoreError(QStringLiteral("参数 :%1 没有赋值。").arg(name), statement);
    return found.value();
}

// The failure of a statement run through Qt's driver. Its transaction calls carry no engine code
// (a commit on a full disk reads "database or disk is full Unable to commit transaction"): the
// connection still holds it.
StoreError engineError(const QSqlError &error, const QString &statement, const QSqlDatabase &db)
{
    bool ok = false;
    int code = error.nativeErrorCode().toInt(&ok);
    sqlite3 *h = nullptr;
    if (db.isOpen() && db.driver()) {
        const QVariant v = db.driver()->handle();
        if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
            h = *static_cast<sqlite3 *const *>(v.constData());
    }
    if (!ok && h) {
        code = sqlite3_extended_errcode(h);
        ok = code != SQLITE_OK;
    }
    return StoreError(ok ? failureText(h, code, error.text()) : error.text(), statement);
}

} // namespace

Store::Store(const QString &folder)
    : folder_(QDir(folder).absolutePath()),
      connection_(QStringLiteral("tolva-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
    open();
}

void Store::requireWritable(const QString &folder)
{
    const QString path = QDir(folder).filePath(QLatin1String(FileName));
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

void Store::open()
{
    const QString path = filePath();
    requireWritable(folder_);
    const Kind kind = QFileInfo::exists(path) ? classify(path) : Kind::Empty;

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            throw StoreError(refusal(path, QStringLiteral("无法打开：") + message));
        }
    }
    columnsLoaded_ = false;
    try {
        // A larger page cache keeps a contract's movements in memory across the steps of a
        // computation; sorting and grouping stay in memory too. Each setting is read back: a
        // file that cannot take the journal mode would lose the crash safety of every save.
        const struct {
            const char *set, *read, *expected;
        } pragmas[] = {
            {"PRAGMA cache_size=-32768", "PRAGMA cache_size", "-32768"},
            {"PRAGMA temp_store=MEMORY", "PRAGMA temp_store", "2"},
            {"PRAGMA journal_mode=WAL", "PRAGMA journal_mode", "wal"},
            {"PRAGMA synchronous=NORMAL", "PRAGMA synchronous", "1"},
        };
        for (const auto &p : pragmas) {
            QSqlQuery q(database());
            if (!q.exec(QString::fromLatin1(p.set)))
                throw engineError(q.lastError(), QString::fromLatin1(p.set), database());
            q.finish();
            const QVariant value = scalar(QString::fromLatin1(p.read));
            if (value.toString().compare(QLatin1String(p.expected), Qt::CaseInsensitive) != 0)
                throw StoreError(refusal(path, QStringLiteral("无法设置“") + QString::fromLatin1(p.set) +
                                                   QStringLiteral("”（结果为“") + value.toString() +
                                                   QStringLiteral("”）。")));
        }
        if (kind == Kind::Empty)
            create();
        else if (kind == Kind::Unmarked)
            exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId));
    } catch (...) {
        database().close();
        QSqlDatabase::removeDatabase(connection_);
        throw;
    }
}

Store::~Store()
{
    for (Dataset *d : std::as_const(datasets_))
        d->detachedFromStore();
    {
        QSqlDatabase db = database();
        if (db.isOpen()) {
            if (depth_ > 0)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool Store::isOpen() const
{
    return database().isOpen();
}

void Store::close()
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能关闭数据文件。"));
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    columnsLoaded_ = false;
}

void Store::reopen()
{
    if (isOpen())
        close();
    open();
    // Every result set is re-read, also when one of them fails (the file put in place may lack
    // what it asks for); the first failure is reported.
    std::exception_ptr first;
    for (Dataset *d : QVector<Dataset *>(datasets_)) {
        if (!d->isOpen())
            continue;
        try {
            if (d->isEditing())
                d->cancel();
            d->refresh();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

void Store::attach(Dataset *dataset)
{
    datasets_.append(dataset);
}

void Store::detach(Dataset *dataset)
{
    datasets_.removeAll(dataset);
}

void Store::snapshot(const QString &path)
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能复制数据文件。"));
    sqlite3 *source = sqliteHandle(database());
    const QString target = QDir::toNativeSeparators(path);
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    sqlite3 *copy = nullptr;
    QString failure;
    if (sqlite3_open_v2(part.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        failure = QString::fromUtf8(sqlite3_errmsg(copy));
    } else if (sqlite3_backup *backup = sqlite3_backup_init(copy, "main", source, "main")) {
        // One step over all pages: the copy is one read transaction, so it is consistent.
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            failure = failureText(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        // The copy stands alone: one file, no journal beside it.
        else if (sqlite3_exec(copy, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
            failure = QString::fromUtf8(sqlite3_errmsg(copy));
    } else {
        failure = QString::fromUtf8(sqlite3_errmsg(copy));
    }
    sqlite3_close(copy);
    if (failure.isEmpty()) {
        QFile::remove(path);
        if (!QFile::rename(part, path))
            failure = QStringLiteral("无法写入目标文件。");
    }
    if (!failure.isEmpty()) {
        QFile::remove(part);
        throw StoreError(QStringLiteral("数据文件复制到“") + target + QStringLiteral("”失败：") + failure);
    }
}

QString Store::filePath() const
{
    return QDir(folder_).filePath(QLatin1String(FileName));
}

QSqlDatabase Store::database() const
{
    return QSqlDatabase::database(connection_, false);
}

void Store::create()
{
    QFile file(QStringLiteral(":/store/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("找不到建表语句。"), file.fileName());
    QString text = QString::fromUtf8(file.readAll());
    // Drop comment lines, then run the statements one by one.
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    text = lines.join(QLatin1Char('\n'));
    // All or nothing: a first start killed midway leaves a file without tables, which the next
    // start sets up; the mark goes in with the tables.
    transaction([&] {
        for (const QString &statement : text.split(QLatin1Char(';'))) {
            if (!statement.trimmed().isEmpty())
                exec(statement);
        }
        exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId));
    });
}

QString Store::translate(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    scanStatement(
        sql,
        [&](const QString &code) {
            QString c = code;
            c.replace(suffixPattern(), QStringLiteral("\\1"));
            out += c;
        },
        [&](const QString &content) {
            QString value = content;
            const auto m = splicedDatePattern().match(content);
            if (m.hasMatch()) {
                const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
                if (d.isValid())
                    value = d.toString(Qt::ISODate);
            }
            value.replace(QLatin1Char('\''), QLatin1String("''"));
            out += QLatin1Char('\'') + value + QLatin1Char('\'');
        });
    return out;
}

QVariant Store::toStored(const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().date().toString(Qt::ISODate);
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QSqlQuery Store::prepare(const QString &sql, const Params &params) const
{
    const QString translated = translate(sql);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(translated))
        throw engineError(query.lastError(), sql, database());

    // Bind the parameters the statement names; a named one without a value is an error.
    QStringList names;
    scanStatement(
        translated,
        [&](const QString &code) {
            auto it = parameterPattern().globalMatch(code);
            while (it.hasNext()) {
                const QString name = it.next().captured(1);
                if (!names.contains(name, Qt::CaseInsensitive))
                    names << name;
            }
        },
        [](const QString &) {});
    for (const QString &name : names)
        query.bindValue(QLatin1Char(':') + name, toStored(parameter(params, name, sql)));
    return query;
}

int Store::exec(const QString &sql, const Params &params)
{
    QSqlQuery query = prepare(sql, params);
    if (!query.exec())
        throw engineError(query.lastError(), sql, database());
    const QString head = sql.trimmed().left(6).toLower();
    if (head == QLatin1String("alter ") || head == QLatin1String("create") || head == QLatin1String("drop t"))
        columnsLoaded_ = false;
    return query.numRowsAffected();
}

Rows Store::select(const QString &sql, const Params &params)
{
    QString statement = sql;
    const QString translated = translate(sql);
    const auto plain = plainSelectPattern().match(translated);
    static const QRegularExpression ordered(QStringLiteral("\\b(group|order)\\s+by\\b|\\b(union|limit|distinct)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (plain.hasMatch() && !translated.contains(ordered))
        statement = sql + QStringLiteral(" order by rowid");

    // Read straight from the engine: rows come as the driver would give them (whole numbers as
    // qlonglong, reals as double, text, blobs as QByteArray, null as a null text), without its
    // per-row cache and its conversion of every text to UTF-16 inside the engine.
    sqlite3 *h = sqliteHandle(database());
    const QByteArray text = translate(statement).toUtf8();
    sqlite3_stmt *raw = nullptr;
    auto fail = [&](int rc) {
        return StoreError(failureText(h, rc, QString::fromUtf8(sqlite3_errmsg(h))), sql);
    };
    const char *tail = nullptr;
    if (const int rc = sqlite3_prepare_v2(h, text.constData(), int(text.size()), &raw, &tail); rc != SQLITE_OK)
        throw fail(rc);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> query(raw, sqlite3_finalize);
    // One statement, as the driver ran: what follows it is refused, not silently skipped.
    if (!raw)
        throw StoreError(QStringLiteral("没有可执行的语句。"), sql);
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        throw StoreError(QStringLiteral("不能一次执行多条语句。"), sql);

    // Bind the parameters the statement names; a named one without a value is an error, and so is
    // a parameter of another form ("?", "@x"), which would otherwise run as null.
    for (int i = 1; i <= sqlite3_bind_parameter_count(raw); ++i) {
        const char *named = sqlite3_bind_parameter_name(raw, i);
        if (!named || named[0] != ':')
            throw StoreError(QStringLiteral("参数 %1 没有赋值。").arg(QString::fromUtf8(named ? named : "?")), sql);
        const QVariant v = toStored(parameter(params, QString::fromUtf8(named + 1), sql));
        // A null text, bytes or date binds as null, as the driver bound it (and as exec() does).
        const bool null = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull()) ||
                          (v.typeId() == QMetaType::QByteArray && v.toByteArray().isNull());
        int rc = SQLITE_OK;
        if (null) {
            rc = sqlite3_bind_null(raw, i);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
                rc = sqlite3_bind_int64(raw, i, v.toLongLong());
                break;
            case QMetaType::ULongLong:
                rc = v.toULongLong() <= quint64(std::numeric_limits<qint64>::max())
                         ? sqlite3_bind_int64(raw, i, v.toLongLong())
                         : sqlite3_bind_double(raw, i, v.toDouble());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(raw, i, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = v.toByteArray();
                rc = sqlite3_bind_blob(raw, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray utf8 = v.toString().toUtf8();
                rc = sqlite3_bind_text(raw, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (rc != SQLITE_OK)
            throw fail(rc);
    }

    Rows result;
    const int count = sqlite3_column_count(raw);
    for (int i = 0; i < count; ++i)
        result.columns << QString::fromUtf8(sqlite3_column_name(raw, i)).remove(QLatin1Char('"')); // as the driver names them
    const QVariant null{QMetaType::fromType<QString>()};
    // Names repeat down a column (customer, material, unit): a text equal to the one above shares
    // its string instead of decoding and allocating it again.
    auto lastBytes = std::vector<std::string>(size_t(count));
    auto lastText = std::vector<QVariant>(size_t(count));
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw fail(rc);
        QVector<QVariant> row(count);
        for (int i = 0; i < count; ++i) {
            switch (sqlite3_column_type(raw, i)) {
            case SQLITE_INTEGER:
                row[i] = qlonglong(sqlite3_column_int64(raw, i));
                break;
            case SQLITE_FLOAT:
                row[i] = sqlite3_column_double(raw, i);
                break;
            case SQLITE_NULL:
                row[i] = null;
                break;
            case SQLITE_BLOB:
                row[i] = QByteArray(static_cast<const char *>(sqlite3_column_blob(raw, i)),
                                    sqlite3_column_bytes(raw, i));
                break;
            default: {
                const char *bytes = reinterpret_cast<const char *>(sqlite3_column_text(raw, i));
                const int size = sqlite3_column_bytes(raw, i);
                std::string &last = lastBytes[size_t(i)];
                if (!lastText[size_t(i)].isValid() || last.compare(0, std::string::npos, bytes, size_t(size)) != 0) {
                    last.assign(bytes, size_t(size));
                    lastText[size_t(i)] = QString::fromUtf8(bytes, size);
                }
                row[i] = lastText[size_t(i)];
            }
            }
        }
        result.rows.append(std::move(row));
    }
    return result;
}

QVariant Store::scalar(const QString &sql, const Params &params)
{
    const Rows rows = select(sql, params);
    if (rows.rows.isEmpty() || rows.rows.first().isEmpty())
        return QVariant();
    return rows.rows.first().first();
}

void Store::insertRows(const QString &table, const QStringList &columns, const QVector<QVector<QVariant>> &rows)
{
    if (rows.isEmpty())
        return;
    Statement insert(*this, QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(table, columns.join(QLatin1Char(',')),
                                     QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(','))));
    for (const auto &row : rows) {
        for (int i = 0; i < columns.size(); ++i)
            insert.bind(i, row.value(i));
        insert.run();
    }
}

void Store::emptyTable(const QString &table)
{
    if (!hasTable(table))
        throw StoreError(QStringLiteral("没有数据表 %1。").arg(table));
    exec(QStringLiteral("delete from ") + table.toLower());
}

void Store::compact()
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能压缩数据表。"));
    // VACUUM takes the file for itself; another program holding it makes this fail, not wait.
    exec(QStringLiteral("PRAGMA busy_timeout=0"));
    try {
        exec(QStringLiteral("VACUUM"));
    } catch (const StoreError &e) {
        exec(QStringLiteral("PRAGMA busy_timeout=2000"));
        throw StoreError(QStringLiteral("数据表正被其他程序使用，无法独占打开，不能压缩：%1").arg(e.message()),
                         e.statement());
    }
    exec(QStringLiteral("PRAGMA busy_timeout=2000"));
}

void Store::loadColumns() const
{
    if (columnsLoaded_)
        return;
    columns_.clear();
    QSqlQuery tables(database());
    if (!tables.exec(QStringLiteral("select name from sqlite_master where type='table'")))
        throw StoreError(tables.lastError().text(), QStringLiteral("sqlite_master"));
    QStringList names;
    while (tables.next())
        names << tables.value(0).toString();
    for (const QString &table : names) {
        QSqlQuery info(database());
        if (!info.exec(QStringLiteral("pragma table_info(\"%1\")").arg(table)))
            throw StoreError(info.lastError().text(), table);
        QVector<ColumnInfo> cols;
        while (info.next())
            cols << parseColumn(info.value(1).toString(), info.value(2).toString());
        columns_.insert(table.toLower(), cols);
    }
    columnsLoaded_ = true;
}

bool Store::hasTable(const QString &table) const
{
    loadColumns();
    return columns_.contains(table.toLower());
}

const QVector<ColumnInfo> &Store::columns(const QString &table) const
{
    loadColumns();
    static const QVector<ColumnInfo> none;
    auto it = columns_.constFind(table.toLower());
    return it == columns_.constEnd() ? none : it.value();
}

const ColumnInfo *Store::column(const QString &table, const QString &column) const
{
    for (const ColumnInfo &c : columns(table))
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

int Store::gbkLength(const QString &text)
{
    QStringEncoder encoder("GBK");
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return int(bytes.size());
    }
    // Without a GBK converter, or for characters GBK lacks: ASCII is one byte, the rest two.
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

void Store::checkCapacity(const QString &table, const QString &column, const QVariant &value) const
{
    const ColumnInfo *info = this->column(table, column);
    if (!info || info->type != ColumnType::Text || info->capacity <= 0 || value.isNull())
        return;
    const QString text = value.toString();
    const int length = gbkLength(text);
    if (length <= info->capacity)
        return;
    // Joined piece by piece: a "%1" typed by a person stays as typed. A long text shows its start.
    const int shown = 20;
    const QString start = text.size() > shown ? text.left(shown) + QStringLiteral("…") : text;
    throw StoreError(QStringLiteral("“") + start + QStringLiteral("”太长：") + table.toLower() + QLatin1Char('.') +
                     info->name + QStringLiteral(" 最多 ") + QString::number(info->capacity) +
                     QStringLiteral(" 个字节（一个汉字占两个字节），输入的内容占 ") + QString::number(length) +
                     QStringLiteral(" 个字节。"));
}

void Store::begin()
{
    if (depth_ == 0) {
        if (!database().transaction())
            throw engineError(database().lastError(), QStringLiteral("begin transaction"), database());
    } else {
        exec(QStringLiteral("savepoint sp%1").arg(depth_));
    }
    ++depth_;
}

void Store::commit()
{
    if (depth_ == 0)
        return;
    if (depth_ > 1) {
        exec(QStringLiteral("release sp%1").arg(depth_ - 1));
        --depth_;
        return;
    }
    depth_ = 0;
    if (!database().commit()) {
        const StoreError error = engineError(database().lastError(), QStringLiteral("commit"), database());
        database().rollback();
        settle(false);
        throw error;
    }
    settle(true);
}

void Store::rollback()
{
    if (depth_ == 0)
        return;
    --depth_;
    if (depth_ == 0) {
        database().rollback();
        settle(false);
        return;
    }
    // Runs while another error is on its way out: a savepoint the engine already dropped (it
    // rolls the whole transaction back on some failures) must not replace that error.
    try {
        exec(QStringLiteral("rollback to sp%1").arg(depth_));
        exec(QStringLiteral("release sp%1").arg(depth_));
    } catch (const StoreError &) {
        if (!sqlite3_get_autocommit(sqliteHandle(database())))
            return;
        // The whole transaction is gone: the outer levels have nothing left to undo.
        depth_ = 0;
        settle(false);
    }
}

void Store::whenSettled(std::function<void(bool committed)> f)
{
    if (depth_ == 0) {
        f(true);
        return;
    }
    settled_.push_back(std::move(f));
}

void Store::settle(bool committed)
{
    // Each waiting result set re-reads what the file now holds; the first failure is reported
    // after all have run (after a rollback, the error that caused it is the one that counts).
    auto waiting = std::move(settled_);
    settled_.clear();
    std::exception_ptr first;
    for (auto &f : waiting) {
        try {
            f(committed);
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first && committed)
        std::rethrow_exception(first);
}

} // namespace tolva
