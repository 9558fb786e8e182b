#pragma once

#include "store.h"
#include "base/outcome.h"

#include <QDate>
#include <QObject>

#include <functional>

namespace tolva {

// A live result set: the rows of one statement held in memory, a current row, and, for
// "select * from T ...", editing of the table's rows in place (edit/append, post or cancel, remove).
// Grids and data-aware fields follow its signals.
class Dataset : public QObject {
    Q_OBJECT
public:
    // The largest magnitude a number field accepts.
    static constexpr double largestNumber = 1e12;
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Dataset(Store &store, QObject *parent = nullptr);
    ~Dataset() override;
    Q_DISABLE_COPY(Dataset)

    Store &store() const { return store_; }
    // Called by a store that ends before its result sets.
    void detachedFromStore() { attached_ = false; }

    // Runs the query and moves to its first row. Pending edits must have been posted or cancelled.
    void open(const QString &sql, const Params &params = {});
    // Opens every row of `table` in stored order, read-only, reading the rows a page at a time as
    // they are asked for and holding a few pages only: for a list too long to hold, such as a
    // working table a computation filled from the whole ledger. The table is not to change while
    // the set is open; refresh() reads it again.
    void openPaged(const QString &table);
    void close();
    // Runs the same statement again and stays on the same row where it still exists.
    void refresh();

    QString sql() const { return sql_; }
    bool isOpen() const { return state_ != State::Inactive; }
    bool isLive() const { return !table_.isEmpty(); }
    bool isPaged() const { return paged_; }
    QString table() const { return table_; }
    State state() const { return state_; }
    bool isEditing() const { return state_ == State::Edit || state_ == State::Insert; }

    int rowCount() const { return paged_ ? pagedCount_ : int(rows_.size()); }
    bool isEmpty() const { return rowCount() == 0; }
    int currentRow() const { return current_; }
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }

    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    // Moves to the first row whose field equals value; false (and no move) when there is none.
    bool locate(const QString &field, const QVariant &value);

    QStringList fieldNames() const { return fields_; }
    int fieldIndex(const QString &name) const; // case-insensitive, -1 when absent
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }
    ColumnType fieldType(int field) const;

    // Field of the current row (null when there is no row).
    QVariant value(const QString &field) const;
    QString text(const QString &field) const;
    double number(const QString &field) const;
    QDate date(const QString &field) const;
    bool isNull(const QString &field) const { return value(field).isNull(); }
    QVariant valueAt(int row, int field) const;

    // Writes into the current row's buffer; only while editing or inserting.
    void setValue(const QString &field, const QVariant &value);

    void edit();
    void append();
    // Writes the pending row to the table. A refusal (too long a text, a store error, a row changed
    // or deleted by another since it was read) throws and leaves the row in edit or insert state
    // with what was typed; cancelling it then shows the row as it now is.
    void post();
    void cancel();
    // Deletes the current row from the table.
    void remove();
    // Deletes the current row when `check` allows it, the check and the deletion in one
    // transaction (on a server no other clerk's change can come between them); otherwise the
    // check's refusal, nothing deleted.
    Outcome removeWhen(const std::function<Outcome()> &check);

Q_SIGNALS:
    // The rows were replaced (open, close, refresh, append, cancel of an insert, remove).
    void aboutToReset();
    void reset();
    // A row's values changed (setValue, post, cancel of an edit).
    void rowChanged(int row);
    void currentChanged(int row);
    void stateChanged(tolva::Dataset::State state);

private:
    void requireOpen() const;
    void requireLive(const char *action) const;
    void setState(State state);
    void setCurrent(int row);
    QVector<QVariant> readRow(qint64 rowid) const;
    // A row's values; a paged set reads the page that holds it.
    const QVector<QVariant> &rowAt(int row) const;
    void forgetPages();
    // Inside a transaction the file shows the row only once it commits: re-read it then.
    void showWhenSettled();
    QVariant normalise(int field, const QVariant &value) const;
    QString asRead(const QVector<QVariant> &row, Params &params) const;

    Store &store_;
    QString sql_;
    Params params_;
    QString table_;                  // set for a live result set
    QStringList fields_;
    QVector<ColumnType> types_;
    QVector<QVector<QVariant>> rows_;
    QVector<qint64> rowids_;         // 0 for a row not yet written
    QVector<QVariant> saved_;        // the row as it was before edit()
    int current_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    State state_ = State::Inactive;
    bool attached_ = true;
    bool stale_ = false; // the pending edit's row was changed by another since it was read

    // A paged set: the table, its count of rows and the pages read, each with the row identities
    // at its ends and when it was last used.
    struct Page {
        QVector<QVector<QVariant>> rows;
        qint64 first = 0, last = 0;
        quint64 used = 0;
    };
    bool paged_ = false;
    QString pagedTable_;
    int pagedCount_ = 0;
    mutable QHash<int, Page> pages_;
    mutable quint64 uses_ = 0;
};

} // namespace tolva
