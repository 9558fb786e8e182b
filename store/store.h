#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

#include "base/error.h"

namespace tolva {

// A statement the store could not run: the store's own message and the statement as it was given.
class StoreError : public Error {
public:
    StoreError(const QString &message, const QString &statement = QString());
    QString message() const { return message_; }
    QString statement() const { return statement_; }
    // The text shown to a person: the message, then the statement on a line of its own.
    QString text() const override;

private:
    QString message_;
    QString statement_;
};

// Why a database server refused a connection: the login answers a wrong password itself.
class ConnectionError : public StoreError {
public:
    enum class Reason { NoServer, NoDatabase, Password, Refused };
    ConnectionError(Reason reason, const QString &message) : StoreError(message), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// A change the server could not make because another clerk's change came first (a serialization
// failure, a deadlock, a unique key another just took), or that a rule the server keeps refused
// (the number of materials). A transaction that meets a serialization failure is run again. The
// clerk reads the message alone: it says what happened, the statement would not.
class ConflictError : public StoreError {
public:
    enum class Kind { Serialization, Duplicate, Rule };
    ConflictError(Kind kind, const QString &message, const QString &statement, const QString &constraint = QString())
        : StoreError(message, statement), kind_(kind), constraint_(constraint)
    {
    }
    Kind kind() const { return kind_; }
    // The unique index a duplicate broke (its name).
    QString constraint() const { return constraint_; }
    QString text() const override { return message(); }

private:
    Kind kind_;
    QString constraint_;
};

// Values of the named parameters of a statement (":g1" is bound from the key "g1").
using Params = QVariantMap;

enum class ColumnType { Text, Number, Date, Integer };

struct ColumnInfo {
    QString name;       // as declared, lower case
    ColumnType type = ColumnType::Text;
    int capacity = 0;   // GBK bytes for text columns with a capacity, else 0
};

// Rows of a query: column names as the statement names them, and the values.
struct Rows {
    QStringList columns;
    QVector<QVector<QVariant>> rows;
    int column(const QString &name) const; // case-insensitive, -1 when absent
    bool isEmpty() const { return rows.isEmpty(); }
};

class Dataset;
namespace engine {
class Engine;
class Appender;
} // namespace engine

// Rows appended to one table in bulk, the fast path of the computations: values are given column
// by column (in the order of the columns named), each row closed by endRow(), and finish() writes
// what the engine still holds.
class BulkInsert {
public:
    explicit BulkInsert(std::unique_ptr<engine::Appender> appender);
    ~BulkInsert();
    BulkInsert(BulkInsert &&) noexcept;
    Q_DISABLE_COPY(BulkInsert)
    void addNull();
    void add(double value);
    void add(const QString &text); // a null text adds null
    void add(const std::string &utf8);
    void add(const QVariant &value);
    void endRow();
    void finish();

private:
    std::unique_ptr<engine::Appender> appender_;
};

// The table store: the ledger's tables behind one interface, whatever engine holds them (the
// SQLite file tolva.db of a data folder). It accepts the program's statement forms (see
// translate()) and binds named parameters; every table has a row identity `rowid`, and a select
// without order by gives rows in that order.
class Store {
public:
    struct Options {
        // How long a save waits for another program that holds the file before it gives up.
        int busyTimeoutMs = 2000;
        // A server database (postgresql://[user[:password]@]host[:port]/dbname) in place of the
        // folder's file; the folder stays the place of outputs and backups.
        QString server;
    };
    // Opens folder/tolva.db. A missing or empty file, or a database without tables, gets every
    // table with its starting rows in one transaction. A file of ours is marked (ApplicationId);
    // an unmarked one holding every table is marked; anything else is refused untouched, as is a
    // read-only file or folder, with a StoreError naming the file and the reason.
    explicit Store(const QString &folder);
    Store(const QString &folder, const Options &options);
    // The options of the program's ledger: the server database named by the environment variable
    // TOLVA_DATABASE when it is set, otherwise the working folder's own file.
    static Options configured();
    ~Store();
    Q_DISABLE_COPY(Store)

    static constexpr const char *FileName = "tolva.db";
    // The mark in the file's header (PRAGMA application_id) that says the file is ours: "Tolv".
    static constexpr qint32 ApplicationId = 0x546f6c76;

    // Throws the refusal the constructor gives for a read-only folder or file, before anything
    // (a lock file, a journal) is written there.
    static void requireWritable(const QString &folder);

    QString folder() const { return folder_; }
    QString filePath() const;
    // True when the tables live on a database server rather than in the folder's file.
    bool isServer() const { return !options_.server.isEmpty(); }
    // Where the tables live, as shown to a person: the file, or the server address without its
    // password.
    QString location() const;

    // Closes the file, so that it can be replaced (restore); statements fail until reopen().
    // Refused inside a transaction. Result sets keep the rows they hold.
    void close();
    // Opens the file again with the checks of the constructor and re-reads every open result set.
    void reopen();
    bool isOpen() const;
    // Works from now on on the ledger `options` names (another server, or the folder's file), with
    // every open result set read again from there. When that ledger cannot be opened, the store
    // stays on the one it had and the refusal is thrown.
    void reconnect(const Options &options);
    // On a server: signs in as the clerk `user` with his server password, in place of the session
    // the store had (a ConnectionError of Reason::Password for a wrong one, the old session kept).
    void logIn(const QString &user, const QString &password);
    const Options &options() const { return options_; }
    // On a server: whether `user` signs in with `password` (a connection of its own, closed again).
    bool checkLogin(const QString &user, const QString &password) const;
    // Writes one consistent copy of the committed data into a new self-contained file at path
    // (replacing a file there only once the copy is complete), while the program keeps running.
    // Refused inside a transaction.
    void snapshot(const QString &path);

    // Rewrites a statement of the program's dialect into SQLite's: table names written with the
    // file suffix ("sbpass.db"), string literals in double or single quotes, and dates spliced
    // as 'mm/dd/yyyy', which become ISO dates so that they compare as dates.
    static QString translate(const QString &sql);

    // Runs a statement that changes rows or structure; returns the number of rows affected.
    int exec(const QString &sql, const Params &params = {});
    // Runs a query and returns all its rows. A plain select over one table without order by
    // returns the rows in stored order.
    Rows select(const QString &sql, const Params &params = {});
    // First column of the first row, or a null value when there is no row.
    QVariant scalar(const QString &sql, const Params &params = {});

    // Runs an insert and returns the row identity (rowid) of the row it made.
    qint64 insert(const QString &sql, const Params &params = {});

    // Appends rows to a table in bulk: the fast path of the computations.
    void insertRows(const QString &table, const QStringList &columns, const QVector<QVector<QVariant>> &rows);
    // `zeros`: further columns that take 0 in every row, given no value.
    BulkInsert bulkInsert(const QString &table, const QStringList &columns, const QStringList &zeros = {});

    // Puts the single row of srf (settings) and of dwm (company name and print titles) back with
    // its starting values when another program removed it, in one transaction. Returns a sentence
    // for each row put back: the person is to be told.
    QStringList restoreSingleRows();

    // Removes every row of a table.
    void emptyTable(const QString &table);
    // Replaces every row of every table with those of `source` (a checked copy, such as a backup's
    // ledger), all or nothing, while no other clerk works on the ledger; result sets are read again.
    void replaceWith(Store &source);
    // The users of other sessions on the ledger (on a server; none on the folder's own file).
    QStringList otherSessions();
    // Rewrites the file compactly; needs exclusive access and no open transaction.
    void compact();
    // Reads every stored page: "ok", or what is damaged.
    QString integrity();
    // True when the file at path carries the store's mark in its header.
    static bool isMarked(const QString &path);

    bool hasTable(const QString &table) const;
    // The working tables the computations fill and the screens show; on a server each session has
    // its own (temporary tables of the same names), so that clerks never see each other's.
    static QStringList workingTables();
    // Conditions for a statement's where clause: a stored value of `column` is no number (text or
    // bytes another program wrote), or no date yyyy-mm-dd naming a real day (or empty).
    QString notANumber(const QString &column) const;
    QString notADate(const QString &column) const;
    // A value that changes whenever another program or session commits a change; null where the
    // engine cannot tell.
    QVariant dataVersion();
    // Every table of the ledger, by name.
    QStringList tables() const;
    const QVector<ColumnInfo> &columns(const QString &table) const;
    const ColumnInfo *column(const QString &table, const QString &column) const;
    // Refuses, with a message in the program's words, a text longer than its column's capacity.
    void checkCapacity(const QString &table, const QString &column, const QVariant &value) const;
    static int gbkLength(const QString &text);

    // The change log (table rzb): every change of a business row writes a row naming when, who,
    // the table, the operation and the row before and after, in the changing statement itself.
    // The user it names (the one logged in; "命令行" until someone is, as in the command-line
    // modes) and the clock of its times (the context's, so that tests fix it). On a server the
    // server names the session's role and takes its own time.
    static QString commandLineUser() { return QStringLiteral("命令行"); }
    void setLogUser(const QString &user);
    QString logUser() const { return logUser_; }
    void setClock(std::function<QDateTime()> clock);
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }
    // The closing date (srf.zzrq): movements, deposits and rent received dated on or before it can
    // no longer be added, changed or deleted, whatever way a change comes (the database refuses it
    // with closedMessage()). Null when no period is closed.
    QDate closingDate();
    static QString closedMessage(const QDate &closing);
    // Why a backup may not replace the ledger now (a period is closed), or nothing.
    QString closedForRestore();

    // Transactions nest: the outermost one commits or rolls back, inner ones are savepoints.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return depth_ > 0; }
    // Runs f when the outermost transaction ends (committed or not); outside one, at once with true.
    // Result sets use it to show rows only as the file holds them after the commit.
    void whenSettled(std::function<void(bool committed)> f);

    // Runs f in a transaction: committed when f returns, rolled back when it throws. On a server
    // the outermost one is serializable, so the checks f makes hold for what it writes; when
    // another clerk's change came first it is rolled back and f runs again (a few times).
    template <class F> void transaction(F &&f)
    {
        for (int attempt = 1;; ++attempt) {
            const bool outermost = depth_ == 0;
            begin();
            try {
                f();
                commit();
                return;
            } catch (const ConflictError &e) {
                if (depth_ > 0)
                    rollback();
                if (!outermost || e.kind() != ConflictError::Kind::Serialization || attempt >= RetriesOfAConflict)
                    throw;
            } catch (...) {
                if (depth_ > 0)
                    rollback();
                throw;
            }
        }
    }
    static constexpr int RetriesOfAConflict = 5;

    // Converts a value to what is written into the file (dates as yyyy-mm-dd text).
    static QVariant toStored(const QVariant &value);
    // Whether a stored value (see toStored) goes into the tables as a number; otherwise as text.
    static bool isStoredNumber(const QVariant &stored);

    // Result sets register themselves so that reopen() can re-read them.
    void attach(Dataset *dataset);
    void detach(Dataset *dataset);

    // The engine under the store, for the store's own classes.
    engine::Engine &engine() const;

private:
    void settle(bool committed);
    // Re-reads every open result set (a pending change is dropped), also when one of them fails;
    // the first failure is thrown after all have run.
    void refreshDatasets();
    void loadColumns() const;

    QString folder_;
    Options options_;
    std::unique_ptr<engine::Engine> engine_;
    int depth_ = 0;
    std::vector<std::function<void(bool)>> settled_;
    QVector<Dataset *> datasets_;
    QString logUser_ = commandLineUser();
    std::function<QDateTime()> clock_;
    mutable bool columnsLoaded_ = false;
    mutable QHash<QString, QVector<ColumnInfo>> columns_;
};

} // namespace tolva
