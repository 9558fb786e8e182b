#pragma once

#include "engine.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tolva::engine {

// The embedded engine: the SQLite file tolva.db of a data folder.
class SqliteEngine : public Engine {
public:
    SqliteEngine(const QString &path, int busyTimeoutMs);
    ~SqliteEngine() override;

    QString dialect(const QString &sql) const override { return sql; }
    QString notANumber(const QString &column) const override;
    QString notADate(const QString &column) const override;
    QVariant dataVersion() override;
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

    void setSession(const QString &user, const std::function<QDateTime()> &clock) override;
    // Temporary triggers on this connection alone: other programs on the file are not touched.
    void startLog() override;
    // What the log's triggers write: the time "yyyy-mm-dd hh:mm:ss" and the user.
    QByteArray logTime() const;
    const QByteArray &logUser() const { return user_; }

    bool isOpen() const override { return db_ != nullptr; }
    void close() override;
    void open() override;

    sqlite3 *handle() const;
    int busyTimeout() const { return busyTimeout_; }

private:
    void run(const char *sql);
    void create();

    QString path_;
    int busyTimeout_;
    sqlite3 *db_ = nullptr;
    // The statements exec() ran, prepared, by their text; finalized before the file is closed.
    QHash<QString, sqlite3_stmt *> statements_;
    void forgetStatements();
    QByteArray user_;
    std::function<QDateTime()> clock_;
};

// What a person reads for a failure of the engine: the conditions a person can act on (another
// program writing, a read-only or full disk, a damaged file) in Chinese; any other failure is a
// fault of a statement and keeps the engine's own text. `systemError` is the errno of the failed
// write behind an I/O failure (a disk without room).
QString failureText(int code, const QString &engineText, int systemError = 0);

} // namespace tolva::engine
