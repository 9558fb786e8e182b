#pragma once

#include "statement.h"
#include "store.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <string>

// What the store asks of a database engine. The store keeps what is the same for every engine
// (the program's statement forms, transactions as a depth, result sets, capacities); an engine
// speaks its own dialect, hands values to the program with the same types, and says its failures
// in the program's words. Seen only inside store/.
namespace tolva::engine {

// The value of a named parameter, its name's letter case ignored; none is a StoreError.
QVariant namedValue(const Params &params, const QString &name, const QString &shown);
// A column as declared ("char(20)", "real", "date" …).
ColumnInfo parseColumn(const QString &name, const QString &declared);
// The statements that make every table with its starting rows, in the program's dialect.
QStringList schemaStatements();
// The tables those statements make.
QStringList schemaTables();

// A prepared statement with positional parameters, numbered from 0.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual void bindNull(int i) = 0;
    virtual void bind(int i, double value) = 0;
    // UTF-8 text; `stable` when the bytes stay alive and unchanged until the statement has run.
    virtual void bindText(int i, const char *utf8, int size, bool stable) = 0;
    // Steps once: true when a row is ready to read, false when the statement is done.
    virtual bool next() = 0;
    // Makes the statement ready to run again with new values.
    virtual void reset() = 0;
    virtual bool isNull(int column) const = 0;
    virtual double number(int column) const = 0; // null and text that is no number read as 0
    virtual std::string bytes(int column) const = 0; // text as UTF-8; empty for null
    // The text as UTF-8 without a copy, valid until the next step, and its size; null for null.
    virtual const char *text(int column, int &size) const = 0;
    virtual Statement::Stored stored(int column) const = 0;
    // Statement::row(): the columns one by one unless an engine reads them faster.
    virtual void row(Statement::Value *values, int n) const
    {
        for (int c = 0; c < n; ++c) {
            Statement::Value &v = values[c];
            v = Statement::Value();
            v.stored = stored(c);
            if (v.stored == Statement::Stored::Number)
                v.number = number(c);
            else if (v.stored == Statement::Stored::Text)
                v.text.data = text(c, v.text.size);
        }
    }
};

// Rows appended to one table in bulk: values are given column by column, row by row.
class Appender {
public:
    virtual ~Appender() = default;
    virtual void addNull() = 0;
    virtual void add(double value) = 0;
    virtual void add(const char *utf8, int size) = 0;
    virtual void endRow() = 0;
    // Writes what is still held; the appender may not be used afterwards.
    virtual void finish() = 0;
};

class Engine {
public:
    virtual ~Engine() = default;

    // The statement in this engine's dialect, from the program's (already stripped of its
    // ".db" suffixes and with its literals in single quotes).
    virtual QString dialect(const QString &sql) const = 0;

    virtual int exec(const QString &sql, const Params &params, const QString &shown) = 0;
    virtual Rows select(const QString &sql, const Params &params, const QString &shown) = 0;
    // Runs an insert and returns the row identity (rowid) of the row it made.
    virtual qint64 insert(const QString &sql, const Params &params, const QString &shown) = 0;
    virtual std::unique_ptr<Cursor> prepare(const QString &sql) = 0;
    // `zeros`: further columns that take 0 in every row, given no value.
    virtual std::unique_ptr<Appender> appender(const QString &table, const QStringList &columns,
                                               const QStringList &zeros = {}) = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual void savepoint(const QString &name) = 0;
    virtual void release(const QString &name) = 0;
    // False when the engine dropped the savepoint with the whole transaction.
    virtual bool rollbackTo(const QString &name) = 0;
    // True while the engine holds a transaction open.
    virtual bool inTransaction() const = 0;

    // The tables and their columns as the database declares them.
    virtual QHash<QString, QVector<ColumnInfo>> tables() = 0;

    // One consistent copy of the committed data into a new SQLite file at `path`.
    virtual void snapshot(const QString &path) = 0;
    virtual void compact() = 0;
    // "ok", or what is damaged.
    virtual QString integrity() = 0;

    // The condition that a stored value of `column` is no number (text or bytes another program
    // wrote), and that it is no date of the form yyyy-mm-dd naming a real day (or empty): on an
    // engine that holds any value in any column these find what the program cannot read.
    virtual QString notANumber(const QString &column) const = 0;
    virtual QString notADate(const QString &column) const = 0;

    // A value that changes whenever another connection commits a change; null where the engine
    // has none.
    virtual QVariant dataVersion() { return QVariant(); }

    // Who the change log names and the clock of its times (an engine whose database takes its own
    // time ignores the clock).
    virtual void setSession(const QString &user, const std::function<QDateTime()> &clock)
    {
        Q_UNUSED(user)
        Q_UNUSED(clock)
    }
    // Starts the change log and the closed period on this connection, where the database does not
    // keep them itself.
    virtual void startLog() {}

    // The users of other sessions on the same ledger (none for a file the program holds alone).
    virtual QStringList otherSessions() { return {}; }

    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    virtual void open() = 0;
};

} // namespace tolva::engine
