#pragma once

#include "engine.h"

#include <QHash>

struct pg_conn;
struct pg_result;

namespace tolva::engine {

// A PostgreSQL server database, reached through libpq. Values come back with the types the
// embedded engine gives (numbers as double or qlonglong, dates as yyyy-mm-dd text); a failed
// statement inside a transaction is rolled back to just before it, so the transaction goes on as
// it would on the embedded engine; the server's failures are said in the program's words.
class PgEngine : public Engine {
public:
    // `address`: postgresql://[user[:password]@]host[:port]/dbname
    explicit PgEngine(const QString &address);
    ~PgEngine() override;

    QString dialect(const QString &sql) const override { return sql; }
    // The server's columns hold only values of their type: only an empty date is a fault.
    QString notANumber(const QString &) const override { return QStringLiteral("(1=0)"); }
    QString notADate(const QString &column) const override { return QStringLiteral("(%1 is null)").arg(column); }
    int exec(const QString &sql, const Params &params, const QString &shown) override;
    Rows select(const QString &sql, const Params &params, const QString &shown) override;
    qint64 insert(const QString &sql, const Params &params, const QString &shown) override;
    std::unique_ptr<Cursor> prepare(const QString &sql) override;
    std::unique_ptr<Appender> appender(const QString &table, const QStringList &columns,
                                       const QStringList &zeros = {}) override;

    void begin() override;
    void commit() override;
    void rollback() override;
    void savepoint(const QString &name) override;
    void release(const QString &name) override;
    bool rollbackTo(const QString &name) override;
    bool inTransaction() const override;

    QHash<QString, QVector<ColumnInfo>> tables() override;
    void snapshot(const QString &path) override;
    void compact() override;
    QString integrity() override;

    QStringList otherSessions() override;
    // The user the log names for a session of the tables' owner ("tolva.user"); a clerk's session
    // is named by its role, whatever it sets.
    void setSession(const QString &user, const std::function<QDateTime()> &clock) override;

    bool isOpen() const override { return conn_ != nullptr; }
    void close() override;
    void open() override;

    pg_conn *connection() const;
    // Runs a statement of the server's own dialect, parameters $1… given as texts (a null QString
    // is null); throws the server's failure. For the store's own classes.
    pg_result *run(const QString &sql, const QVector<QString> &values, const QString &shown, int attempt = 1);
    // The statement in the server's dialect with the parameter names behind each $n.
    struct Prepared {
        QString sql;
        QStringList parameters;
    };
    Prepared translate(const QString &sql);
    // Sends rows in COPY's text form with the statement "copy … from stdin".
    void copyIn(const QString &sql, const QByteArray &data);
    // The address without its password, as shown to a person.
    QString shownAddress() const;

private:
    QString address_;
    pg_conn *conn_ = nullptr;
    int savepoints_ = 0;
    QHash<QString, QStringList> columnNames_;
    bool columnsKnown_ = false;
    QString user_;
};

// Throws a StoreError in the program's words for a failed connection.
[[noreturn]] void connectionFailure(pg_conn *conn, const QString &address);

} // namespace tolva::engine
