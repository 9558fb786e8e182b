#include "pgengine.h"
#include "pgdialect.h"
#include "server.h"
#include "sqliteengine.h"

#include <QHash>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <charconv>

#include <libpq-fe.h>

#include <cstdlib>
#include <limits>
#include <exception>
#include <optional>

namespace tolva::engine {

namespace {

// Type identities of the server's built-in types (pg_type.oid), fixed by the server.
enum : Oid {
    BoolOid = 16, ByteaOid = 17, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, OidOid = 26,
    Float4Oid = 700, Float8Oid = 701, NumericOid = 1700,
};

using Result = std::unique_ptr<PGresult, void (*)(PGresult *)>;

Result wrap(PGresult *r)
{
    return Result(r, PQclear);
}

QString field(const PGresult *r, int code)
{
    const char *v = r ? PQresultErrorField(r, code) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

// What a person reads for a failed statement: the conditions a person can act on in the
// program's words, anything else (a fault of a statement) as the server says it.
QString failureText(const PGresult *r, PGconn *conn)
{
    if (!conn || PQstatus(conn) == CONNECTION_BAD)
        return QStringLiteral("与数据库服务器的连接中断，数据没有保存。输入的内容仍然保留，请检查网络和服务器后再试。");
    const QString state = field(r, PG_DIAG_SQLSTATE);
    const QString primary = r ? field(r, PG_DIAG_MESSAGE_PRIMARY) : QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") || state == QLatin1String("57P02") ||
        state == QLatin1String("57P03"))
        return QStringLiteral("与数据库服务器的连接中断，数据没有保存。输入的内容仍然保留，请检查网络和服务器后再试。");
    if (state == QLatin1String("53100"))
        return QStringLiteral("数据库服务器的磁盘已满，数据没有保存。");
    if (state.startsWith(QLatin1String("53")))
        return QStringLiteral("数据库服务器资源不足，数据没有保存：") + primary;
    if (state == QLatin1String("42501"))
        return QStringLiteral("当前用户在数据库服务器上没有这项操作的权限，数据没有保存。");
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return QStringLiteral("其他操作员刚刚修改了这些数据，请重新操作。");
    if (state == QLatin1String("23505"))
        return QStringLiteral("与已有的记录重复，数据没有保存。");
    if (state == QLatin1String("25006"))
        return QStringLiteral("数据库服务器只允许读取，数据没有保存。");
    return primary.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : primary;
}

// The failure of a statement as the program takes it: a conflict with another clerk's change is
// one that a transaction meets by running again (or, for a duplicate, by its rule's message).
std::exception_ptr failureOf(const PGresult *r, PGconn *conn, const QString &shown)
{
    const QString state = field(r, PG_DIAG_SQLSTATE);
    // Another clerk's change came first: said as such, the statement is no news to the clerk.
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return std::make_exception_ptr(ConflictError(
            ConflictError::Kind::Serialization,
            QStringLiteral("另一位操作员刚刚修改了同样的数据，这次没有保存，请再保存一次。"), shown));
    if (state == QLatin1String("23505")) {
        const QString constraint = field(r, PG_DIAG_CONSTRAINT_NAME);
        static const QHash<QString, QString> taken = {
            {QStringLiteral("sp2_numa_unique"), QStringLiteral("另一位操作员刚刚用了这个合同号，数据没有保存，请换一个合同号。")},
            {QStringLiteral("sp1_namea_unique"), QStringLiteral("另一位操作员刚刚添加了这个材料名称，数据没有保存。")},
            {QStringLiteral("sp5_namea_gg_unique"), QStringLiteral("另一位操作员刚刚添加了这个材料的同样规格，数据没有保存。")},
            {QStringLiteral("sbpass_namea_unique"), QStringLiteral("另一位操作员刚刚添加了这个用户名，数据没有保存。")},
        };
        return std::make_exception_ptr(ConflictError(ConflictError::Kind::Duplicate,
                                                     taken.value(constraint, failureText(r, conn)), shown, constraint));
    }
    // A refusal the ledger's own rules raise (a closed period, the number of materials) is said
    // as the rule words it.
    if (state == QLatin1String("P0001"))
        return std::make_exception_ptr(ConflictError(ConflictError::Kind::Rule, field(r, PG_DIAG_MESSAGE_PRIMARY), shown));
    // A change in the closed period is said as the rule says it, alone.
    if (state == QLatin1String("TL001"))
        return std::make_exception_ptr(StoreError(field(r, PG_DIAG_MESSAGE_PRIMARY)));
    return std::make_exception_ptr(StoreError(failureText(r, conn), shown));
}

// A value as the server reads it in a statement's text parameters.
std::optional<QByteArray> encode(const QVariant &value)
{
    const QVariant v = Store::toStored(value);
    const bool null = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull()) ||
                      (v.typeId() == QMetaType::QByteArray && v.toByteArray().isNull());
    if (null)
        return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QByteArray::number(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isnan(d))
            return QByteArray("NaN");
        if (std::isinf(d))
            return QByteArray(d > 0 ? "Infinity" : "-Infinity");
        return QByteArray::number(d, 'g', 17);
    }
    case QMetaType::QByteArray:
        return QByteArray("\\x") + v.toByteArray().toHex();
    default:
        return v.toString().toUtf8();
    }
}

// One row's value as the embedded engine hands it.
QVariant decode(const PGresult *r, int row, int column, Oid type)
{
    const char *text = PQgetvalue(r, row, column);
    const int size = PQgetlength(r, row, column);
    switch (type) {
    case BoolOid:
        return qlonglong(text[0] == 't' ? 1 : 0);
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid:
        return qlonglong(std::strtoll(text, nullptr, 10));
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return std::strtod(text, nullptr);
    case ByteaOid: {
        size_t length = 0;
        unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &length);
        const QByteArray out(reinterpret_cast<const char *>(bytes), qsizetype(length));
        PQfreemem(bytes);
        return out;
    }
    default:
        return QString::fromUtf8(text, size);
    }
}

} // namespace

[[noreturn]] void connectionFailure(PGconn *conn, const QString &address)
{
    const QString text = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QString();
    const QUrl url(address);
    const QString server = url.host() + (url.port() > 0 ? QLatin1Char(':') + QString::number(url.port()) : QString());
    const QString database = url.path().mid(1);
    using Reason = ConnectionError::Reason;
    if (text.contains(QLatin1String("password authentication failed")) ||
        text.contains(QLatin1String("no password supplied")) ||
        (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist"))))
        throw ConnectionError(Reason::Password, QStringLiteral("用户名或密码不对，数据库服务器拒绝登录。"));
    if (text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist")))
        throw ConnectionError(Reason::NoDatabase,
                              QStringLiteral("数据库服务器 %1 上没有数据库“%2”。请检查服务器设置。").arg(server, database));
    if (text.contains(QLatin1String("pg_hba.conf")) || text.contains(QLatin1String("permission denied")))
        throw ConnectionError(Reason::Refused,
                              QStringLiteral("数据库服务器 %1 拒绝了这台电脑或这个用户的连接：%2").arg(server, text));
    throw ConnectionError(Reason::NoServer,
                          QStringLiteral("无法连接数据库服务器 %1，请检查服务器地址、网络和服务器是否已启动。").arg(server));
}

namespace {

class PgCursor final : public Cursor {
public:
    PgCursor(PgEngine &engine, const QString &sql) : engine_(engine), shown_(sql)
    {
        const PgEngine::Prepared p = engine.translate(sql);
        sql_ = p.sql;
        values_.resize(p.parameters.size());
    }
    void bindNull(int i) override { set(i, QString()); }
    void bind(int i, double value) override { set(i, QString::number(value, 'g', 17)); }
    void bindText(int i, const char *utf8, int size, bool) override
    {
        set(i, QString::fromUtf8(utf8, size));
        if (values_[i].isNull()) // an empty text is a text, not null
            values_[i] = QStringLiteral("");
    }
    ~PgCursor() override
    {
        try {
            close();
        } catch (...) {
        }
    }
    bool next() override
    {
        if (!result_) {
            // Inside a transaction a select is read through a cursor of the server a batch at a
            // time, so that a pass over the whole ledger does not hold it in memory; other
            // statements may run between the batches.
            if (engine_.inTransaction() && sql_.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive)) {
                static int opened = 0;
                cursor_ = QStringLiteral("tolva_cursor_%1").arg(++opened);
                engine_.run(QStringLiteral("declare %1 no scroll cursor for %2").arg(cursor_, sql_), values_, shown_);
                fetch();
            } else {
                result_ = wrap(engine_.run(sql_, values_, shown_));
                row_ = -1;
            }
        }
        if (++row_ < PQntuples(result_.get()))
            return true;
        if (cursor_.isEmpty() || PQntuples(result_.get()) < Batch)
            return false;
        fetch();
        return ++row_ < PQntuples(result_.get());
    }
    void reset() override
    {
        close();
        result_.reset();
        row_ = -1;
    }
    bool isNull(int column) const override { return !current() || PQgetisnull(result_.get(), row_, column); }
    double number(int column) const override
    {
        return isNull(column) ? 0 : std::strtod(PQgetvalue(result_.get(), row_, column), nullptr);
    }
    std::string bytes(int column) const override
    {
        if (isNull(column))
            return std::string();
        return std::string(PQgetvalue(result_.get(), row_, column), size_t(PQgetlength(result_.get(), row_, column)));
    }

    const char *text(int column, int &size) const override
    {
        if (isNull(column)) {
            size = 0;
            return nullptr;
        }
        size = PQgetlength(result_.get(), row_, column);
        return PQgetvalue(result_.get(), row_, column);
    }
    Statement::Stored stored(int column) const override
    {
        if (isNull(column))
            return Statement::Stored::Null;
        switch (PQftype(result_.get(), column)) {
        case BoolOid:
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
        case OidOid:
        case Float4Oid:
        case Float8Oid:
        case NumericOid:
            return Statement::Stored::Number;
        case ByteaOid:
            return Statement::Stored::Blob;
        default:
            return Statement::Stored::Text;
        }
    }

    void row(Statement::Value *values, int n) const override
    {
        if (!current()) {
            Cursor::row(values, n);
            return;
        }
        PGresult *r = result_.get();
        for (int c = 0; c < n; ++c) {
            Statement::Value &v = values[c];
            v = Statement::Value();
            if (PQgetisnull(r, row_, c))
                continue;
            const char *text = PQgetvalue(r, row_, c);
            const int size = PQgetlength(r, row_, c);
            v.stored = stored(c);
            if (v.stored == Statement::Stored::Number) {
                // The server writes numbers as C's strtod reads them; most read faster so.
                if (std::from_chars(text, text + size, v.number).ec != std::errc())
                    v.number = std::strtod(text, nullptr);
            } else if (v.stored == Statement::Stored::Text) {
                v.text.data = text;
                v.text.size = size;
            }
        }
    }

private:
    static constexpr int Batch = 5000;
    void fetch()
    {
        result_ = wrap(engine_.run(QStringLiteral("fetch %1 from %2").arg(Batch).arg(cursor_), {}, shown_));
        row_ = -1;
    }
    void close()
    {
        if (cursor_.isEmpty())
            return;
        const QString name = std::exchange(cursor_, QString());
        if (!engine_.inTransaction())
            return;
        try {
            engine_.run(QStringLiteral("close ") + name, {}, shown_);
        } catch (const StoreError &) { // a transaction that failed meanwhile took the cursor with it
        }
    }
    bool current() const { return result_ && row_ >= 0 && row_ < PQntuples(result_.get()); }
    void set(int i, const QString &value)
    {
        if (i < 0 || i >= values_.size())
            throw StoreError(QStringLiteral("参数 %1 不存在。").arg(i + 1), shown_);
        values_[i] = value;
    }
    PgEngine &engine_;
    QString shown_;
    QString sql_;
    QVector<QString> values_;
    Result result_{nullptr, PQclear};
    int row_ = -1;
    QString cursor_; // the server's cursor while one is open
};

// Rows go to the server in one COPY: one round trip for a whole computation's output.
class PgAppender final : public Appender {
public:
    // The last `zeros` of the columns take 0 in every row.
    PgAppender(PgEngine &engine, const QString &table, const QStringList &columns, int zeros = 0)
        : engine_(engine), table_(table), columns_(columns), zeros_(zeros)
    {
        buffer_.reserve(FlushBytes + FlushBytes / 8);
    }
    ~PgAppender() override = default;
    void addNull() override
    {
        separate();
        buffer_ += "\\N";
    }
    void add(double value) override
    {
        separate();
        // The shortest text that reads back as the same double.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        buffer_.append(text, end - text);
    }
    void add(const char *utf8, int size) override
    {
        separate();
        // Runs without a character COPY escapes go in whole.
        int from = 0;
        for (int i = 0; i < size; ++i) {
            const char *escaped = nullptr;
            switch (utf8[i]) {
            case '\\': escaped = "\\\\"; break;
            case '\t': escaped = "\\t"; break;
            case '\n': escaped = "\\n"; break;
            case '\r': escaped = "\\r"; break;
            default: continue;
            }
            buffer_.append(utf8 + from, i - from);
            buffer_.append(escaped, 2);
            from = i + 1;
        }
        buffer_.append(utf8 + from, size - from);
    }
    void endRow() override
    {
        for (int i = 0; i < zeros_; ++i)
            buffer_ += "\t0";
        buffer_ += '\n';
        column_ = 0;
        ++rows_;
        // A whole ledger's rows go in several copies, so that they are not all held here at once.
        if (buffer_.size() >= FlushBytes)
            finish();
    }
    void finish() override
    {
        if (rows_ == 0)
            return;
        const QString sql = QStringLiteral("copy %1 (%2) from stdin").arg(table_, columns_.join(QLatin1Char(',')));
        engine_.copyIn(sql, buffer_);
        buffer_.clear();
        rows_ = 0;
    }

private:
    static constexpr qsizetype FlushBytes = 1 << 20;
    void separate()
    {
        if (column_++ > 0)
            buffer_ += '\t';
    }
    PgEngine &engine_;
    QString table_;
    QStringList columns_;
    int zeros_ = 0;
    QByteArray buffer_;
    int column_ = 0;
    int rows_ = 0;
};

} // namespace

namespace {
void command(PGconn *conn, const char *sql);
} // namespace

PgEngine::PgEngine(const QString &address) : address_(address)
{
    open();
}

PgEngine::~PgEngine()
{
    close();
}

QString PgEngine::shownAddress() const
{
    QUrl url(address_);
    url.setPassword(QString());
    return url.toString();
}

void PgEngine::open()
{
    if (conn_)
        return;
    const QByteArray dbname = address_.toUtf8();
    // The session speaks as the embedded engine does: ISO dates, UTF-8, standard strings, and
    // numbers written out so that they read back exactly.
    const char *keys[] = {"dbname", "client_encoding", "application_name", "connect_timeout", "options", nullptr};
    const char *values[] = {dbname.constData(), "UTF8", "tolva", "10",
                            "-c datestyle=ISO,YMD -c standard_conforming_strings=on -c extra_float_digits=1 "
                            "-c client_min_messages=warning -c default_transaction_isolation=serializable",
                            nullptr};
    PGconn *conn = PQconnectdbParams(keys, values, 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        try {
            connectionFailure(conn, address_);
        } catch (...) {
            PQfinish(conn);
            throw;
        }
    }
    conn_ = conn;
    columnsKnown_ = false;
    // Each clerk's computations fill working tables of his own session: temporary tables that
    // stand before the shared ones of the same names. The login's own role computes nothing.
    if (QUrl(address_).userName() != server::namesRole()) {
        try {
            for (const QString &table : Store::workingTables()) {
                Result r = wrap(PQexec(conn_, QStringLiteral("select to_regclass('public.%1') is not null and has_table_privilege('public.%1', 'select')").arg(table).toUtf8().constData()));
                if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || PQgetvalue(r.get(), 0, 0)[0] != 't')
                    continue;
                command(conn_, QStringLiteral("create temp table %1 (like public.%1 including all)").arg(table).toUtf8().constData());
            }
        } catch (...) {
            close();
            throw;
        }
    }
    if (!user_.isNull()) {
        try {
            PQclear(run(QStringLiteral("select set_config('tolva.user', $1, false)"), {user_}, QStringLiteral("tolva.user")));
        } catch (...) {
            close();
            throw;
        }
    }
}

void PgEngine::setSession(const QString &user, const std::function<QDateTime()> &)
{
    user_ = user;
    if (conn_)
        PQclear(run(QStringLiteral("select set_config('tolva.user', $1, false)"), {user_}, QStringLiteral("tolva.user")));
}

void PgEngine::close()
{
    if (conn_)
        PQfinish(conn_);
    conn_ = nullptr;
    savepoints_ = 0;
}

pg_conn *PgEngine::connection() const
{
    if (!conn_)
        throw StoreError(QStringLiteral("与数据库服务器的连接已关闭。"));
    return conn_;
}

PgEngine::Prepared PgEngine::translate(const QString &sql)
{
    const pg::Translated t = pg::translate(sql, [this](const QString &table) {
        if (!columnsKnown_)
            tables();
        return columnNames_.value(table);
    });
    return {t.sql, t.parameters};
}

PGresult *PgEngine::run(const QString &sql, const QVector<QString> &values, const QString &shown, int attempt)
{
    PGconn *conn = connection();
    const QByteArray text = sql.toUtf8();
    std::vector<QByteArray> held(size_t(values.size()));
    std::vector<const char *> pointers(size_t(values.size()), nullptr);
    for (int i = 0; i < values.size(); ++i) {
        if (values[i].isNull())
            continue;
        held[size_t(i)] = values[i].toUtf8();
        pointers[size_t(i)] = held[size_t(i)].constData();
    }
    // Inside a transaction a failed statement would spoil all that follows until a rollback: it
    // is rolled back to just before itself, so the transaction goes on as on the embedded engine.
    const bool guarded = PQtransactionStatus(conn) == PQTRANS_INTRANS;
    if (guarded) {
        Result r = wrap(PQexec(conn, "savepoint tolva_statement"));
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
            std::rethrow_exception(failureOf(r.get(), conn, shown));
    }
    PGresult *result = PQexecParams(conn, text.constData(), int(values.size()), nullptr, pointers.data(), nullptr,
                                    nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const std::exception_ptr error = failureOf(result, conn, shown);
        const bool conflict = !guarded && field(result, PG_DIAG_SQLSTATE).startsWith(QLatin1String("40"));
        PQclear(result);
        if (guarded && PQstatus(conn) == CONNECTION_OK)
            PQclear(PQexec(conn, "rollback to savepoint tolva_statement; release savepoint tolva_statement"));
        // A statement of its own (no transaction around it) that met another's change runs again.
        if (conflict && attempt < Store::RetriesOfAConflict)
            return run(sql, values, shown, attempt + 1);
        std::rethrow_exception(error);
    }
    if (guarded)
        PQclear(PQexec(conn, "release savepoint tolva_statement"));
    return result;
}

void PgEngine::copyIn(const QString &sql, const QByteArray &data)
{
    PGconn *conn = connection();
    const bool guarded = PQtransactionStatus(conn) == PQTRANS_INTRANS;
    if (guarded)
        PQclear(PQexec(conn, "savepoint tolva_statement"));
    Result start = wrap(PQexec(conn, sql.toUtf8().constData()));
    auto fail = [&](const PGresult *r) {
        const std::exception_ptr error = failureOf(r, conn, sql);
        if (guarded && PQstatus(conn) == CONNECTION_OK)
            PQclear(PQexec(conn, "rollback to savepoint tolva_statement; release savepoint tolva_statement"));
        std::rethrow_exception(error);
    };
    if (PQresultStatus(start.get()) != PGRES_COPY_IN)
        fail(start.get());
    constexpr qsizetype chunk = 1 << 20;
    for (qsizetype at = 0; at < data.size(); at += chunk) {
        const int size = int(qMin(chunk, data.size() - at));
        if (PQputCopyData(conn, data.constData() + at, size) != 1) {
            PQputCopyEnd(conn, "failed");
            break;
        }
    }
    PQputCopyEnd(conn, nullptr);
    Result end = wrap(PQgetResult(conn));
    while (PGresult *more = PQgetResult(conn))
        PQclear(more);
    if (PQresultStatus(end.get()) != PGRES_COMMAND_OK)
        fail(end.get());
    if (guarded)
        PQclear(PQexec(conn, "release savepoint tolva_statement"));
}

namespace {

QVector<QString> parameterValues(const QStringList &names, const Params &params, const QString &shown)
{
    QVector<QString> values;
    values.reserve(names.size());
    for (const QString &name : names) {
        if (name.isEmpty())
            throw StoreError(QStringLiteral("参数 ? 没有赋值。"), shown);
        const std::optional<QByteArray> v = encode(namedValue(params, name, shown));
        values << (v ? QString::fromUtf8(*v) : QString());
    }
    return values;
}

} // namespace

int PgEngine::exec(const QString &sql, const Params &params, const QString &shown)
{
    const Prepared p = translate(sql);
    Result r = wrap(run(p.sql, parameterValues(p.parameters, params, shown), shown));
    const QString head = sql.trimmed().left(6).toLower();
    if (head == QLatin1String("alter ") || head == QLatin1String("create") || head == QLatin1String("drop t"))
        columnsKnown_ = false;
    return QByteArray(PQcmdTuples(r.get())).toInt();
}

qint64 PgEngine::insert(const QString &sql, const Params &params, const QString &shown)
{
    const Prepared p = translate(sql);
    Result r = wrap(run(p.sql + QStringLiteral(" returning rowid"), parameterValues(p.parameters, params, shown), shown));
    return PQntuples(r.get()) > 0 ? QByteArray(PQgetvalue(r.get(), 0, 0)).toLongLong() : 0;
}

Rows PgEngine::select(const QString &sql, const Params &params, const QString &shown)
{
    const Prepared p = translate(sql);
    Result r = wrap(run(p.sql, parameterValues(p.parameters, params, shown), shown));
    const PGresult *res = r.get();
    Rows rows;
    const int columns = PQnfields(res);
    QVector<Oid> types(columns);
    for (int c = 0; c < columns; ++c) {
        rows.columns << QString::fromUtf8(PQfname(res, c));
        types[c] = PQftype(res, c);
    }
    const QVariant null{QMetaType::fromType<QString>()};
    const int count = PQntuples(res);
    rows.rows.reserve(count);
    // Names repeat down a column: a text equal to the one above shares its string.
    auto lastBytes = std::vector<std::string>(size_t(columns));
    QVector<QVariant> lastText(columns);
    for (int i = 0; i < count; ++i) {
        QVector<QVariant> row(columns);
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(res, i, c)) {
                row[c] = null;
                continue;
            }
            const Oid type = types[c];
            const bool text = type != BoolOid && type != Int2Oid && type != Int4Oid && type != Int8Oid &&
                              type != OidOid && type != Float4Oid && type != Float8Oid && type != NumericOid &&
                              type != ByteaOid;
            if (!text) {
                row[c] = decode(res, i, c, type);
                continue;
            }
            const char *bytes = PQgetvalue(res, i, c);
            const int size = PQgetlength(res, i, c);
            std::string &last = lastBytes[size_t(c)];
            if (!lastText[c].isValid() || last.compare(0, std::string::npos, bytes, size_t(size)) != 0) {
                last.assign(bytes, size_t(size));
                lastText[c] = QString::fromUtf8(bytes, size);
            }
            row[c] = lastText[c];
        }
        rows.rows.append(std::move(row));
    }
    return rows;
}

std::unique_ptr<Cursor> PgEngine::prepare(const QString &sql)
{
    return std::make_unique<PgCursor>(*this, sql);
}

std::unique_ptr<Appender> PgEngine::appender(const QString &table, const QStringList &columns,
                                             const QStringList &zeros)
{
    return std::make_unique<PgAppender>(*this, table, columns + zeros, int(zeros.size()));
}

namespace {

void command(PGconn *conn, const char *sql)
{
    Result r = wrap(PQexec(conn, sql));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        std::rethrow_exception(failureOf(r.get(), conn, QString::fromLatin1(sql)));
}

} // namespace

void PgEngine::begin()
{
    command(connection(), "begin");
}

void PgEngine::commit()
{
    PGconn *conn = connection();
    Result r = wrap(PQexec(conn, "commit"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
        const std::exception_ptr error = failureOf(r.get(), conn, QStringLiteral("commit"));
        if (PQtransactionStatus(conn) != PQTRANS_IDLE)
            PQclear(PQexec(conn, "rollback"));
        std::rethrow_exception(error);
    }
    // A transaction the server had to abort ends in a rollback, not a commit.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw StoreError(QStringLiteral("数据库服务器撤销了这次修改，数据没有保存。"), QStringLiteral("commit"));
}

void PgEngine::rollback()
{
    if (conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE)
        PQclear(PQexec(conn_, "rollback"));
}

void PgEngine::savepoint(const QString &name)
{
    command(connection(), ("savepoint " + name).toLatin1().constData());
}

void PgEngine::release(const QString &name)
{
    command(connection(), ("release savepoint " + name).toLatin1().constData());
}

bool PgEngine::rollbackTo(const QString &name)
{
    PGconn *conn = connection();
    if (PQtransactionStatus(conn) == PQTRANS_IDLE)
        return false;
    Result r = wrap(PQexec(conn, ("rollback to savepoint " + name + "; release savepoint " + name).toLatin1().constData()));
    return PQresultStatus(r.get()) == PGRES_COMMAND_OK || PQtransactionStatus(conn) != PQTRANS_IDLE;
}

bool PgEngine::inTransaction() const
{
    return conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE;
}

QHash<QString, QVector<ColumnInfo>> PgEngine::tables()
{
    PGconn *conn = connection();
    // The tables the session sees first by its search path: its own working tables before the
    // shared ones of the same name.
    const char *sql =
        "select c.relname, a.attname, format_type(a.atttypid, a.atttypmod), "
        "array_position(current_schemas(true), n.nspname) as rank "
        "from pg_attribute a join pg_class c on c.oid = a.attrelid join pg_namespace n on n.oid = c.relnamespace "
        "where c.relkind in ('r', 'p') and a.attnum > 0 and not a.attisdropped "
        "and n.nspname = any(current_schemas(true)) and n.nspname <> 'pg_catalog' "
        "order by c.relname, rank, a.attnum";
    Result r = wrap(PQexec(conn, sql));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
        throw StoreError(failureText(r.get(), conn), QString::fromLatin1(sql));
    QHash<QString, QVector<ColumnInfo>> out;
    QHash<QString, QString> rankOf;
    columnNames_.clear();
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const QString table = QString::fromUtf8(PQgetvalue(r.get(), i, 0)).toLower();
        const QString column = QString::fromUtf8(PQgetvalue(r.get(), i, 1));
        QString type = QString::fromUtf8(PQgetvalue(r.get(), i, 2));
        const QString rank = QString::fromUtf8(PQgetvalue(r.get(), i, 3));
        // Only the first table of a name by the search path counts.
        auto known = rankOf.constFind(table);
        if (known != rankOf.constEnd() && known.value() != rank)
            continue;
        rankOf.insert(table, rank);
        if (column == QLatin1String("rowid"))
            continue;
        type.replace(QLatin1String("character varying"), QLatin1String("varchar"));
        out[table].append(parseColumn(column, type));
        columnNames_[table].append(column);
    }
    columnsKnown_ = true;
    return out;
}

void PgEngine::snapshot(const QString &path)
{
    PGconn *conn = connection();
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QFile::remove(part + QStringLiteral("-wal"));
    QFile::remove(part + QStringLiteral("-shm"));
    try {
        // One read of every table in one snapshot of the server: consistent while clerks work.
        command(conn, "begin isolation level repeatable read read only");
        const QHash<QString, QVector<ColumnInfo>> tables = this->tables();
        {
            SqliteEngine copy(part, 0);
            copy.begin();
            const QHash<QString, QVector<ColumnInfo>> made = copy.tables();
            for (auto t = tables.constBegin(); t != tables.constEnd(); ++t) {
                const QString &table = t.key();
                if (!made.contains(table)) {
                    QStringList decl;
                    for (const ColumnInfo &c : t.value()) {
                        QString type = QStringLiteral("text");
                        if (c.type == ColumnType::Number)
                            type = QStringLiteral("real");
                        else if (c.type == ColumnType::Date)
                            type = QStringLiteral("date");
                        else if (c.type == ColumnType::Integer)
                            type = QStringLiteral("integer");
                        else if (c.capacity > 0)
                            type = QStringLiteral("varchar(%1)").arg(c.capacity);
                        decl << c.name + QLatin1Char(' ') + type;
                    }
                    copy.exec(QStringLiteral("create table %1 (%2)").arg(table, decl.join(QStringLiteral(", "))), {}, table);
                } else {
                    for (const ColumnInfo &c : t.value()) {
                        bool has = false;
                        for (const ColumnInfo &m : made.value(table))
                            has = has || m.name == c.name;
                        if (!has)
                            copy.exec(QStringLiteral("alter table %1 add column %2 %3")
                                          .arg(table, c.name,
                                               c.type == ColumnType::Number ? QStringLiteral("real")
                                               : c.capacity > 0 ? QStringLiteral("varchar(%1)").arg(c.capacity)
                                                                : QStringLiteral("text")),
                                      {}, table);
                    }
                }
                copy.exec(QStringLiteral("delete from %1").arg(table), {}, table);
                QStringList names;
                for (const ColumnInfo &c : t.value())
                    names << c.name;
                if (names.isEmpty())
                    continue;
                Result rows = wrap(PQexec(conn, QStringLiteral("select %1 from %2 order by rowid")
                                                    .arg(names.join(QLatin1Char(',')), table)
                                                    .toUtf8()
                                                    .constData()));
                if (PQresultStatus(rows.get()) != PGRES_TUPLES_OK)
                    throw StoreError(failureText(rows.get(), conn), table);
                auto insert = copy.appender(table, names);
                for (int i = 0; i < PQntuples(rows.get()); ++i) {
                    for (int c = 0; c < names.size(); ++c) {
                        if (PQgetisnull(rows.get(), i, c)) {
                            insert->addNull();
                            continue;
                        }
                        const ColumnType type = t.value()[c].type;
                        const char *v = PQgetvalue(rows.get(), i, c);
                        if (type == ColumnType::Number || type == ColumnType::Integer)
                            insert->add(std::strtod(v, nullptr));
                        else
                            insert->add(v, PQgetlength(rows.get(), i, c));
                    }
                    insert->endRow();
                }
                insert->finish();
            }
            copy.commit();
            copy.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), {}, QStringLiteral("journal_mode"));
        }
        PQclear(PQexec(conn, "commit"));
    } catch (...) {
        PQclear(PQexec(conn, "rollback"));
        QFile::remove(part);
        throw;
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        throw StoreError(QStringLiteral("数据复制到“%1”失败：无法写入目标文件。").arg(QDir::toNativeSeparators(path)));
    }
}

QStringList PgEngine::otherSessions()
{
    Result r = wrap(run(QStringLiteral("select distinct usename from pg_stat_activity where datname = current_database() "
                                       "and pid <> pg_backend_pid() and backend_type = 'client backend' "
                                       "and usename <> $1 order by 1"),
                        {server::namesRole()}, QStringLiteral("pg_stat_activity")));
    QStringList names;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        names << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
    return names;
}

void PgEngine::compact()
{
    Result r = wrap(PQexec(connection(), "vacuum (analyze)"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        throw StoreError(QStringLiteral("数据表正被其他操作员使用，不能压缩：") + failureText(r.get(), conn_));
}

QString PgEngine::integrity()
{
    // The server keeps its own pages whole; what can be checked from here is that it answers.
    Result r = wrap(PQexec(connection(), "select 1"));
    return PQresultStatus(r.get()) == PGRES_TUPLES_OK ? QStringLiteral("ok") : failureText(r.get(), conn_);
}

} // namespace tolva::engine
