#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
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

// The table store: one SQLite file tolva.db in the data folder, opened through Qt SQL.
// It accepts the program's statement forms (see translate()) and binds named parameters.
class Store {
public:
    // Opens folder/tolva.db. A missing or empty file, or a database without tables, gets every
    // table with its starting rows in one transaction. A file of ours is marked (ApplicationId);
    // an unmarked one holding every table is marked; anything else is refused untouched, as is a
    // read-only file or folder, with a StoreError naming the file and the reason.
    explicit Store(const QString &folder);
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
    QSqlDatabase database() const;

    // Closes the file, so that it can be replaced (restore); statements fail until reopen().
    // Refused inside a transaction. Result sets keep the rows they hold.
    void close();
    // Opens the file again with the checks of the constructor and re-reads every open result set.
    void reopen();
    bool isOpen() const;
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

    // Appends rows to a table through one prepared statement: the fast path of the computations.
    void insertRows(const QString &table, const QStringList &columns, const QVector<QVector<QVariant>> &rows);

    // Puts the single row of srf (settings) and of dwm (company name and print titles) back with
    // its starting values when another program removed it, in one transaction. Returns a sentence
    // for each row put back: the person is to be told.
    QStringList restoreSingleRows();

    // Removes every row of a table.
    void emptyTable(const QString &table);
    // Rewrites the file compactly; needs exclusive access and no open transaction.
    void compact();

    bool hasTable(const QString &table) const;
    const QVector<ColumnInfo> &columns(const QString &table) const;
    const ColumnInfo *column(const QString &table, const QString &column) const;
    // Refuses, with a message in the program's words, a text longer than its column's capacity.
    void checkCapacity(const QString &table, const QString &column, const QVariant &value) const;
    static int gbkLength(const QString &text);

    // Transactions nest: the outermost one commits or rolls back, inner ones are savepoints.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return depth_ > 0; }
    // Runs f when the outermost transaction ends (committed or not); outside one, at once with true.
    // Result sets use it to show rows only as the file holds them after the commit.
    void whenSettled(std::function<void(bool committed)> f);

    // Runs f in a transaction: committed when f returns, rolled back when it throws.
    template <class F> void transaction(F &&f)
    {
        begin();
        try {
            f();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
    }

    // Converts a value to what is written into the file (dates as yyyy-mm-dd text).
    static QVariant toStored(const QVariant &value);

    // Result sets register themselves so that reopen() can re-read them.
    void attach(Dataset *dataset);
    void detach(Dataset *dataset);

private:
    void open();
    void settle(bool committed);
    void create();
    void loadColumns() const;
    QSqlQuery prepare(const QString &sql, const Params &params) const;

    QString folder_;
    QString connection_;
    int depth_ = 0;
    std::vector<std::function<void(bool)>> settled_;
    QVector<Dataset *> datasets_;
    mutable bool columnsLoaded_ = false;
    mutable QHash<QString, QVector<ColumnInfo>> columns_;
};

} // namespace tolva
