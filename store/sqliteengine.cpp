#include "sqliteengine.h"
#include "changelog.h"
#include "sqlitefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tolva::engine {

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

namespace {

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

StoreError failure(sqlite3 *db, int rc, const QString &shown, int systemError = 0)
{
    // A refusal of the database's own rules (a change in the closed period) is said as it is.
    if (rc == SQLITE_CONSTRAINT_FUNCTION)
        return StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
    if (systemError == 0)
        systemError = sqlite3_system_errno(db);
    return StoreError(failureText(rc, QString::fromUtf8(sqlite3_errmsg(db)), systemError), shown);
}

// Binds one value as the program hands it: a null text, bytes or date binds as null; whole numbers
// as integers, other numbers as reals, bytes as a blob, anything else as text.
int bindValue(sqlite3_stmt *st, int i, const QVariant &value)
{
    const QVariant v = Store::toStored(value);
    const bool null = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull()) ||
                      (v.typeId() == QMetaType::QByteArray && v.toByteArray().isNull());
    if (null)
        return sqlite3_bind_null(st, i);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case QMetaType::ULongLong:
        return v.toULongLong() <= quint64(std::numeric_limits<qint64>::max())
                   ? sqlite3_bind_int64(st, i, v.toLongLong())
                   : sqlite3_bind_double(st, i, v.toDouble());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, i, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        return sqlite3_bind_blob(st, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray utf8 = v.toString().toUtf8();
        return sqlite3_bind_text(st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    }
}

// Prepares one statement with its named parameters bound. What follows the statement is refused,
// not silently skipped, and so is a parameter of another form ("?", "@x"), which would otherwise
// run as null.
void bindAll(sqlite3 *db, sqlite3_stmt *raw, const Params &params, const QString &shown);

StatementPtr prepareBound(sqlite3 *db, const QString &sql, const Params &params, const QString &shown)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *raw = nullptr;
    const char *tail = nullptr;
    if (const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, &tail); rc != SQLITE_OK)
        throw failure(db, rc, shown);
    StatementPtr st(raw, sqlite3_finalize);
    if (!raw)
        throw StoreError(QStringLiteral("没有可执行的语句。"), shown);
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        throw StoreError(QStringLiteral("不能一次执行多条语句。"), shown);
    bindAll(db, raw, params, shown);
    return st;
}

void bindAll(sqlite3 *db, sqlite3_stmt *raw, const Params &params, const QString &shown)
{
    for (int i = 1; i <= sqlite3_bind_parameter_count(raw); ++i) {
        const char *named = sqlite3_bind_parameter_name(raw, i);
        if (!named || named[0] != ':')
            throw StoreError(QStringLiteral("参数 %1 没有赋值。").arg(QString::fromUtf8(named ? named : "?")), shown);
        if (const int rc = bindValue(raw, i, namedValue(params, QString::fromUtf8(named + 1), shown)); rc != SQLITE_OK)
            throw failure(db, rc, shown);
    }
}

class SqliteCursor final : public Cursor {
public:
    SqliteCursor(sqlite3 *db, const QString &sql) : db_(db), sql_(sql)
    {
        const QByteArray text = sql.toUtf8();
        if (const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st_, nullptr); rc != SQLITE_OK)
            throw failure(db_, rc, sql_);
    }
    ~SqliteCursor() override { sqlite3_finalize(st_); }

    void bindNull(int i) override { check(sqlite3_bind_null(st_, i + 1)); }
    void bind(int i, double value) override { check(sqlite3_bind_double(st_, i + 1, value)); }
    void bindText(int i, const char *utf8, int size, bool stable) override
    {
        check(sqlite3_bind_text(st_, i + 1, utf8, size, stable ? SQLITE_STATIC : SQLITE_TRANSIENT));
    }
    bool next() override
    {
        errno = 0;
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw failure(db_, rc, sql_, errno);
    }
    void reset() override { sqlite3_reset(st_); }
    bool isNull(int column) const override { return sqlite3_column_type(st_, column) == SQLITE_NULL; }
    double number(int column) const override { return sqlite3_column_double(st_, column); }
    std::string bytes(int column) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st_, column));
        return p ? std::string(p, size_t(sqlite3_column_bytes(st_, column))) : std::string();
    }
    const char *text(int column, int &size) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st_, column));
        size = p ? sqlite3_column_bytes(st_, column) : 0;
        return p;
    }
    Statement::Stored stored(int column) const override
    {
        switch (sqlite3_column_type(st_, column)) {
        case SQLITE_NULL:
            return Statement::Stored::Null;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return Statement::Stored::Number;
        case SQLITE_BLOB:
            return Statement::Stored::Blob;
        default:
            return Statement::Stored::Text;
        }
    }

    void row(Statement::Value *values, int n) const override
    {
        // The column's value once, then its parts without the checks of each column call. The
        // value is unprotected: read here, on the connection's one thread, before the next step.
        for (int c = 0; c < n; ++c) {
            Statement::Value &v = values[c];
            sqlite3_value *value = sqlite3_column_value(st_, c);
            v.number = 0;
            v.text = {};
            switch (sqlite3_value_type(value)) {
            case SQLITE_NULL:
                v.stored = Statement::Stored::Null;
                break;
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                v.stored = Statement::Stored::Number;
                v.number = sqlite3_value_double(value);
                break;
            case SQLITE_BLOB:
                v.stored = Statement::Stored::Blob;
                break;
            default:
                v.stored = Statement::Stored::Text;
                v.text.data = reinterpret_cast<const char *>(sqlite3_value_text(value));
                v.text.size = v.text.data ? sqlite3_value_bytes(value) : 0;
            }
        }
    }

private:
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            throw failure(db_, rc, sql_);
    }
    sqlite3 *db_;
    QString sql_;
    sqlite3_stmt *st_ = nullptr;
};

// Rows go in a batch at a time through one prepared insert of many rows (one statement run per
// batch rather than per row), the batch's texts held here and bound without a copy; the rows left
// over at the end go in one by one.
class SqliteAppender final : public Appender {
public:
    SqliteAppender(sqlite3 *db, const QString &table, const QStringList &columns, const QStringList &zeros)
        : db_(db), table_(table), columns_(columns), zeros_(zeros), width_(int(columns.size())),
          batchRows_(qMax(1, BatchValues / qMax(1, width_)))
    {
        values_.resize(std::size_t(batchRows_) * std::size_t(width_));
    }
    void addNull() override { put({Kind::Null, 0, 0, 0}); }
    void add(double value) override { put({Kind::Number, value, 0, 0}); }
    void add(const char *utf8, int size) override
    {
        put({Kind::Text, 0, text_.size(), std::size_t(size)});
        text_.append(utf8, std::size_t(size));
    }
    void endRow() override
    {
        if (++rows_ == batchRows_)
            write(batch_, rows_);
    }
    void finish() override
    {
        if (rows_ > 0)
            write(single_, rows_);
    }

private:
    enum class Kind { Null, Number, Text };
    struct Value {
        Kind kind;
        double number;
        std::size_t offset, size;
    };
    // At most this many values in one statement: far below SQLite's limit of bound parameters.
    static constexpr int BatchValues = 960;

    // The batch's values go into room made for them once.
    void put(const Value &v)
    {
        if (held_ == values_.size())
            throw StoreError(QStringLiteral("数据表 %1 的一行多于 %2 个值。").arg(table_).arg(width_));
        values_[held_++] = v;
    }

    std::unique_ptr<SqliteCursor> statement(int rows) const
    {
        const QString one = QLatin1Char('(') +
                            (QStringList(width_, QStringLiteral("?")) + QStringList(zeros_.size(), QStringLiteral("0")))
                                .join(QLatin1Char(',')) +
                            QLatin1Char(')');
        return std::make_unique<SqliteCursor>(db_, QStringLiteral("insert into %1 (%2) values %3")
                                                       .arg(table_, (columns_ + zeros_).join(QLatin1Char(',')),
                                                            QStringList(rows, one).join(QLatin1Char(','))));
    }
    // Writes the rows held: a whole batch by the batch statement, fewer row by row.
    void write(std::unique_ptr<SqliteCursor> &cursor, int rows)
    {
        const bool whole = rows == batchRows_;
        if (!cursor)
            cursor = statement(whole ? batchRows_ : 1);
        const int perStatement = whole ? batchRows_ : 1;
        for (int first = 0; first < rows; first += perStatement) {
            for (int i = 0; i < perStatement * width_; ++i) {
                const Value &v = values_[std::size_t(first * width_ + i)];
                switch (v.kind) {
                case Kind::Null:
                    cursor->bindNull(i);
                    break;
                case Kind::Number:
                    cursor->bind(i, v.number);
                    break;
                case Kind::Text:
                    cursor->bindText(i, text_.data() + v.offset, int(v.size), true);
                    break;
                }
            }
            while (cursor->next()) {
            }
            cursor->reset();
        }
        held_ = 0;
        text_.clear();
        rows_ = 0;
    }

    sqlite3 *db_;
    QString table_;
    QStringList columns_, zeros_;
    int width_;
    int batchRows_;
    int rows_ = 0;
    std::vector<Value> values_;
    std::size_t held_ = 0;
    std::string text_;
    std::unique_ptr<SqliteCursor> batch_, single_;
};

// The functions the log's triggers call: the time and the user of the session, and the refusal of
// a change in the closed period.
void nowFunction(sqlite3_context *context, int, sqlite3_value **)
{
    const auto *engine = static_cast<const SqliteEngine *>(sqlite3_user_data(context));
    const QByteArray text = engine->logTime();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void userFunction(sqlite3_context *context, int, sqlite3_value **)
{
    const auto *engine = static_cast<const SqliteEngine *>(sqlite3_user_data(context));
    const QByteArray &user = engine->logUser();
    sqlite3_result_text(context, user.constData(), int(user.size()), SQLITE_TRANSIENT);
}

void closedFunction(sqlite3_context *context, int, sqlite3_value **values)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(values[0]));
    const QByteArray message = changelog::closedPattern().arg(QString::fromUtf8(text ? text : "")).toUtf8();
    sqlite3_result_error(context, message.constData(), int(message.size()));
    sqlite3_result_error_code(context, SQLITE_CONSTRAINT_FUNCTION);
}

} // namespace

void SqliteEngine::setSession(const QString &user, const std::function<QDateTime()> &clock)
{
    user_ = user.toUtf8();
    clock_ = clock;
}

QByteArray SqliteEngine::logTime() const
{
    const QDateTime now = clock_ ? clock_() : QDateTime::currentDateTime();
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
}

void SqliteEngine::startLog()
{
    sqlite3 *db = handle();
    const struct {
        const char *name;
        int arguments;
        void (*function)(sqlite3_context *, int, sqlite3_value **);
    } functions[] = {{"tolva_now", 0, nowFunction}, {"tolva_user", 0, userFunction}, {"tolva_closed", 1, closedFunction}};
    for (const auto &f : functions)
        if (const int rc = sqlite3_create_function_v2(db, f.name, f.arguments, SQLITE_UTF8 | SQLITE_DIRECTONLY, this,
                                                      f.function, nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            throw failure(db, rc, QString::fromLatin1(f.name));
    const QHash<QString, QVector<ColumnInfo>> known = tables();
    if (!known.contains(QStringLiteral("rzb")))
        return;
    const auto columnsOf = [&](const QString &table) {
        QStringList names;
        for (const ColumnInfo &c : known.value(table))
            names << c.name;
        return names;
    };
    for (const QString &statement : changelog::sqliteTriggers(columnsOf))
        exec(statement, {}, statement);
}

QString SqliteEngine::notANumber(const QString &c) const
{
    // Text and blobs sort after every number, so the comparison alone costs no function call on
    // the rows that are right; a text of blanks counts as empty.
    return QStringLiteral("(%1>1.7976931348623157e308 and (typeof(%1)='blob' or (typeof(%1)='text' and trim(%1)<>'')))")
        .arg(c);
}

QString SqliteEngine::notADate(const QString &c) const
{
    // date() gives the day of a right text back unchanged, and anything else changed or null.
    return QStringLiteral("(%1 is null or date(%1) is not %1 or %1<'0001')").arg(c);
}

QVariant SqliteEngine::dataVersion()
{
    const Rows rows = select(QStringLiteral("PRAGMA data_version"), {}, QStringLiteral("data_version"));
    return rows.rows.isEmpty() ? QVariant() : rows.rows.first().value(0);
}

SqliteEngine::SqliteEngine(const QString &path, int busyTimeoutMs) : path_(path), busyTimeout_(busyTimeoutMs)
{
    open();
}

SqliteEngine::~SqliteEngine()
{
    if (db_) {
        if (!sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        forgetStatements();
        sqlite3_close_v2(db_);
    }
}

sqlite3 *SqliteEngine::handle() const
{
    if (!db_)
        throw StoreError(QStringLiteral("数据文件已关闭。"));
    return db_;
}

void SqliteEngine::run(const char *sql)
{
    sqlite3 *db = handle();
    errno = 0;
    if (const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK)
        throw failure(db, rc, QString::fromLatin1(sql), errno);
}

void SqliteEngine::open()
{
    if (db_)
        return;
    const QFileInfo file(path_);
    sqlitefile::requireWritable(file.absolutePath(), file.fileName());
    const sqlitefile::Kind kind = file.exists() ? sqlitefile::classify(path_) : sqlitefile::Kind::Empty;

    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path_).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw StoreError(sqlitefile::refusal(path_, QStringLiteral("无法打开：") + message));
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeout_);
    try {
        // A larger page cache keeps a contract's movements in memory across the steps of a
        // computation. Sorting, grouping and savepoints stay in memory while they fit in it and
        // spill beyond it to temporary files (outside the data folder), so that a grouping over
        // ten million movements does not hold them all in memory. Each setting is read back: a
        // file that cannot take the journal mode would lose the crash safety of every save.
        const struct {
            const char *set, *read, *expected;
        } pragmas[] = {
            {"PRAGMA cache_size=-32768", "PRAGMA cache_size", "-32768"},
            {"PRAGMA temp_store=FILE", "PRAGMA temp_store", "1"},
            {"PRAGMA journal_mode=WAL", "PRAGMA journal_mode", "wal"},
            {"PRAGMA synchronous=NORMAL", "PRAGMA synchronous", "1"},
        };
        for (const auto &p : pragmas) {
            run(p.set);
            const Rows rows = select(QString::fromLatin1(p.read), {}, QString::fromLatin1(p.read));
            const QString value = rows.rows.isEmpty() ? QString() : rows.rows.first().value(0).toString();
            if (value.compare(QLatin1String(p.expected), Qt::CaseInsensitive) != 0)
                throw StoreError(sqlitefile::refusal(path_, QStringLiteral("无法设置“") + QString::fromLatin1(p.set) +
                                                                QStringLiteral("”（结果为“") + value +
                                                                QStringLiteral("”）。")));
        }
        if (kind == sqlitefile::Kind::Empty)
            create();
        else if (kind == sqlitefile::Kind::Unmarked)
            run(QStringLiteral("PRAGMA application_id=%1").arg(Store::ApplicationId).toLatin1().constData());
    } catch (...) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw;
    }
}

void SqliteEngine::forgetStatements()
{
    for (sqlite3_stmt *st : std::as_const(statements_))
        sqlite3_finalize(st);
    statements_.clear();
}

void SqliteEngine::close()
{
    if (!db_)
        return;
    forgetStatements();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteEngine::create()
{
    // All or nothing: a first start killed midway leaves a file without tables, which the next
    // start sets up; the mark goes in with the tables.
    run("BEGIN");
    try {
        for (const QString &statement : schemaStatements())
            exec(statement, {}, statement);
        run(QStringLiteral("PRAGMA application_id=%1").arg(Store::ApplicationId).toLatin1().constData());
        run("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

int SqliteEngine::exec(const QString &sql, const Params &params, const QString &shown)
{
    sqlite3 *db = handle();
    // A statement run again (a save, row after row) is prepared once: with the change log's
    // triggers coded into it, preparing costs more than running.
    sqlite3_stmt *st = statements_.value(sql);
    if (!st) {
        StatementPtr made = prepareBound(db, sql, params, shown);
        if (statements_.size() >= 64)
            forgetStatements();
        st = made.release();
        statements_.insert(sql, st);
    } else {
        try {
            bindAll(db, st, params, shown);
        } catch (...) {
            sqlite3_clear_bindings(st);
            throw;
        }
    }
    // Reset when done, so that it holds no lock and no value between runs.
    const std::unique_ptr<sqlite3_stmt, void (*)(sqlite3_stmt *)> done(st, [](sqlite3_stmt *s) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    });
    int rc;
    errno = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    // The reason of a failed write, taken before anything else can change it.
    const int systemError = errno;
    if (rc != SQLITE_DONE)
        throw failure(db, rc, shown, systemError);
    return sqlite3_stmt_readonly(st) ? 0 : int(sqlite3_changes(db));
}

qint64 SqliteEngine::insert(const QString &sql, const Params &params, const QString &shown)
{
    exec(sql, params, shown);
    return sqlite3_last_insert_rowid(handle());
}

Rows SqliteEngine::select(const QString &sql, const Params &params, const QString &shown)
{
    // Read straight from the engine: whole numbers as qlonglong, reals as double, text, blobs as
    // QByteArray, null as a null text.
    sqlite3 *db = handle();
    StatementPtr query = prepareBound(db, sql, params, shown);
    sqlite3_stmt *raw = query.get();
    Rows result;
    const int count = sqlite3_column_count(raw);
    for (int i = 0; i < count; ++i)
        result.columns << QString::fromUtf8(sqlite3_column_name(raw, i)).remove(QLatin1Char('"'));
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
            throw failure(db, rc, shown);
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

std::unique_ptr<Cursor> SqliteEngine::prepare(const QString &sql)
{
    return std::make_unique<SqliteCursor>(handle(), sql);
}

std::unique_ptr<Appender> SqliteEngine::appender(const QString &table, const QStringList &columns,
                                                 const QStringList &zeros)
{
    return std::make_unique<SqliteAppender>(handle(), table, columns, zeros);
}

void SqliteEngine::begin()
{
    run("BEGIN");
}

void SqliteEngine::commit()
{
    sqlite3 *db = handle();
    errno = 0;
    if (const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        const StoreError error = failure(db, rc, QStringLiteral("commit"), errno);
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw error;
    }
}

void SqliteEngine::rollback()
{
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteEngine::savepoint(const QString &name)
{
    run(("SAVEPOINT " + name).toLatin1().constData());
}

void SqliteEngine::release(const QString &name)
{
    run(("RELEASE " + name).toLatin1().constData());
}

bool SqliteEngine::rollbackTo(const QString &name)
{
    // Runs while another error is on its way out: a savepoint the engine already dropped (it
    // rolls the whole transaction back on some failures) must not replace that error.
    try {
        run(("ROLLBACK TO " + name).toLatin1().constData());
        run(("RELEASE " + name).toLatin1().constData());
        return true;
    } catch (const StoreError &) {
        return !sqlite3_get_autocommit(handle());
    }
}

bool SqliteEngine::inTransaction() const
{
    return db_ && !sqlite3_get_autocommit(db_);
}

QHash<QString, QVector<ColumnInfo>> SqliteEngine::tables()
{
    QHash<QString, QVector<ColumnInfo>> out;
    const Rows names = select(QStringLiteral("select name from sqlite_master where type='table'"), {},
                              QStringLiteral("sqlite_master"));
    for (const auto &row : names.rows) {
        const QString table = row[0].toString();
        const Rows info = select(QStringLiteral("pragma table_info(\"%1\")").arg(table), {}, table);
        QVector<ColumnInfo> cols;
        for (const auto &c : info.rows)
            cols << parseColumn(c[1].toString(), c[2].toString());
        out.insert(table.toLower(), cols);
    }
    return out;
}

void SqliteEngine::snapshot(const QString &path)
{
    sqlite3 *source = handle();
    const QString target = QDir::toNativeSeparators(path);
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    sqlite3 *copy = nullptr;
    QString why;
    if (sqlite3_open_v2(QFile::encodeName(part).constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        why = QString::fromUtf8(sqlite3_errmsg(copy));
    } else if (sqlite3_backup *backup = sqlite3_backup_init(copy, "main", source, "main")) {
        // One step over all pages: the copy is one read transaction, so it is consistent.
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            why = failureText(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        // The copy stands alone: one file, no journal beside it.
        else if (sqlite3_exec(copy, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
            why = QString::fromUtf8(sqlite3_errmsg(copy));
    } else {
        why = QString::fromUtf8(sqlite3_errmsg(copy));
    }
    sqlite3_close(copy);
    if (why.isEmpty()) {
        QFile::remove(path);
        if (!QFile::rename(part, path))
            why = QStringLiteral("无法写入目标文件。");
    }
    if (!why.isEmpty()) {
        QFile::remove(part);
        throw StoreError(QStringLiteral("数据文件复制到“") + target + QStringLiteral("”失败：") + why);
    }
}

void SqliteEngine::compact()
{
    // VACUUM takes the file for itself; another program holding it makes this fail, not wait.
    sqlite3_busy_timeout(handle(), 0);
    try {
        run("VACUUM");
    } catch (const StoreError &e) {
        sqlite3_busy_timeout(handle(), busyTimeout_);
        throw StoreError(QStringLiteral("数据表正被其他程序使用，无法独占打开，不能压缩：%1").arg(e.message()),
                         e.statement());
    }
    sqlite3_busy_timeout(handle(), busyTimeout_);
}

QString SqliteEngine::integrity()
{
    const Rows rows = select(QStringLiteral("PRAGMA integrity_check"), {}, QStringLiteral("integrity_check"));
    QStringList problems;
    for (const auto &row : rows.rows)
        problems << row.value(0).toString();
    return problems.join(QLatin1Char('\n'));
}

} // namespace tolva::engine
