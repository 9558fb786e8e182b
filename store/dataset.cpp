#include "dataset.h"

#include <QPointer>
#include <QRegularExpression>

#include <algorithm>

#include <cmath>

namespace tolva {

namespace {

const QRegularExpression &livePattern()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)((?:\\s+(?:where|order)\\b.*)?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

const QString RowidColumn = QStringLiteral("rowid__");

// A paged result set reads this many rows at a time and holds at most so many pages.
constexpr int PageRows = 256;
constexpr int HeldPages = 64;

// A number beyond what a yard's ledger can hold (or an overflow to infinity) would be stored as
// "inf" and poison every total: it is refused like a text that is no number.
double checkedNumber(double value, const QString &text, const QString &sql)
{
    if (!std::isfinite(value) || std::fabs(value) > Dataset::largestNumber)
        throw StoreError(QStringLiteral("“%1”超出了数值的范围（最大 1000000000000）。").arg(text), sql);
    return value;
}

// yyyy-mm-dd and what may follow it (a time), as QDate::fromString with Qt::ISODate reads its
// first ten characters, without its general parser for the usual form.
QDate isoDate(const QString &s)
{
    const QChar *c = s.constData();
    auto digit = [&](int i) { return c[i] >= QLatin1Char('0') && c[i] <= QLatin1Char('9'); };
    if (s.size() >= 10 && c[4] == QLatin1Char('-') && c[7] == QLatin1Char('-') && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9)) {
        auto n = [&](int i) { return c[i].unicode() - '0'; };
        return QDate(n(0) * 1000 + n(1) * 100 + n(2) * 10 + n(3), n(5) * 10 + n(6), n(8) * 10 + n(9));
    }
    return QDate::fromString(s.left(10), Qt::ISODate);
}

QVariant normalised(ColumnType type, const QVariant &value, const QString &sql)
{
    if (value.isNull())
        return QVariant();
    switch (type) {
    case ColumnType::Date: {
        if (value.typeId() == QMetaType::QDate)
            return value;
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().date();
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return QVariant();
        const QDate d = isoDate(s);
        if (!d.isValid())
            throw StoreError(QStringLiteral("“%1”不是有效的日期。").arg(s), sql);
        return d;
    }
    case ColumnType::Number: {
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            bool ok = false;
            const double d = s.toDouble(&ok);
            if (!ok)
                throw StoreError(QStringLiteral("“%1”不是有效的数值。").arg(s), sql);
            return checkedNumber(d, s, sql);
        }
        const double d = value.toDouble();
        if (std::isfinite(d) && std::fabs(d) <= Dataset::largestNumber)
            return d; // the usual case, without writing the number out for a message
        return checkedNumber(d, QString::number(d, 'g', 15), sql);
    }
    case ColumnType::Integer:
        return value.toInt();
    case ColumnType::Text:
        return value.toString();
    }
    return value;
}

// The rows of a result set as a Dataset holds them. Reading touches no member, so that a row
// that fails to read leaves the result set as it was.
struct Loaded {
    QStringList fields;
    QVector<ColumnType> types;
    QVector<QVector<QVariant>> rows;
    QVector<qint64> rowids; // 0 for each row of a set that is not live
};

Loaded load(Store &store, const QString &table, Rows &&rows, const QString &sql)
{
    Loaded out;
    const bool live = !table.isEmpty();
    const int offset = live ? 1 : 0;
    for (int i = offset; i < rows.columns.size(); ++i) {
        out.fields << rows.columns[i];
        const ColumnInfo *info = live ? store.column(table, rows.columns[i]) : nullptr;
        out.types << (info ? info->type : ColumnType::Text);
    }
    // The rows read are taken over, not copied: a live set's values are normalised in place and its
    // leading rowid column dropped.
    out.rowids.reserve(rows.rows.size());
    // A date equal to the one above in its column is not parsed again.
    QVector<QPair<QString, QVariant>> lastDates(out.fields.size());
    for (QVector<QVariant> &row : rows.rows) {
        if (!live) {
            out.rowids.append(0);
            continue;
        }
        out.rowids.append(row[0].toLongLong());
        row.removeFirst();
        for (int f = 0; f < out.fields.size(); ++f) {
            QVariant &v = row[f];
            const int id = v.typeId();
            // The usual values as the store gives them stay as they are: a finite number of a
            // number column, a text of a text column.
            if (out.types[f] == ColumnType::Number && id == QMetaType::Double) {
                const double d = *static_cast<const double *>(v.constData());
                if (std::isfinite(d) && std::fabs(d) <= Dataset::largestNumber)
                    continue;
            }
            if (out.types[f] == ColumnType::Text && id == QMetaType::QString)
                continue;
            if (out.types[f] == ColumnType::Date && id == QMetaType::QString && !v.isNull()) {
                auto &last = lastDates[f];
                const QString text = v.toString();
                if (!last.second.isValid() || text != last.first)
                    last = {text, normalised(ColumnType::Date, v, sql)};
                v = last.second;
                continue;
            }
            v = normalised(out.types[f], v, sql);
        }
    }
    out.rows = std::move(rows.rows);
    return out;
}


} // namespace

namespace {

StoreError changedByAnother()
{
    return StoreError(QStringLiteral("该记录已被其他操作员修改，请刷新后重新操作。"));
}

} // namespace

// The condition that a row still holds the values it was read with, its values bound in `params`.
QString Dataset::asRead(const QVector<QVariant> &row, Params &params) const
{
    QString where;
    for (int f = 0; f < fields_.size() && f < row.size(); ++f) {
        if (row[f].isNull()) {
            where += QStringLiteral(" and %1 is null").arg(fields_[f]);
            continue;
        }
        const QString name = QStringLiteral("o%1").arg(f);
        where += QStringLiteral(" and %1=:%2").arg(fields_[f], name);
        params.insert(name, row[f]);
    }
    return where;
}

Dataset::Dataset(Store &store, QObject *parent) : QObject(parent), store_(store)
{
    store_.attach(this);
}

Dataset::~Dataset()
{
    if (attached_)
        store_.detach(this);
}

void Dataset::showWhenSettled()
{
    QPointer<Dataset> self(this);
    store_.whenSettled([self](bool) {
        // Committed or not, the grid shows what the file holds, not what was typed.
        if (self && self->isOpen() && !self->isEditing())
            self->refresh();
    });
}

void Dataset::open(const QString &sql, const Params &params)
{
    if (isEditing())
        cancel();
    const QString translated = Store::translate(sql);
    QString table;
    QString statement = translated;
    const auto live = livePattern().match(translated);
    if (live.hasMatch() && store_.hasTable(live.captured(1))) {
        table = live.captured(1).toLower();
        static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QString rest = live.captured(2);
        statement = QStringLiteral("select rowid as %1, * from %2%3").arg(RowidColumn, table, rest);
        if (!rest.contains(orderBy))
            statement += QStringLiteral(" order by rowid");
    }
    Rows rows;
    try {
        rows = store_.select(statement, params);
    } catch (const StoreError &e) {
        throw StoreError(e.message(), sql);
    }

    Loaded loaded = load(store_, table, std::move(rows), sql);

    Q_EMIT aboutToReset();
    forgetPages();
    sql_ = sql;
    params_ = params;
    table_ = table;
    fields_ = std::move(loaded.fields);
    types_ = std::move(loaded.types);
    rows_ = std::move(loaded.rows);
    rowids_ = std::move(loaded.rowids);
    current_ = rows_.isEmpty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.isEmpty();
    state_ = State::Browse;
    Q_EMIT reset();
    Q_EMIT stateChanged(state_);
    Q_EMIT currentChanged(current_);
}

void Dataset::close()
{
    if (state_ == State::Inactive)
        return;
    if (isEditing())
        cancel();
    Q_EMIT aboutToReset();
    forgetPages();
    rows_.clear();
    rowids_.clear();
    fields_.clear();
    types_.clear();
    table_.clear();
    current_ = -1;
    bof_ = eof_ = true;
    state_ = State::Inactive;
    Q_EMIT reset();
    Q_EMIT stateChanged(state_);
    Q_EMIT currentChanged(current_);
}

void Dataset::openPaged(const QString &table)
{
    if (isEditing())
        cancel();
    const QString name = table.toLower();
    const QString sql = QStringLiteral("select * from ") + name;
    int count = 0;
    Loaded first;
    try {
        count = store_.scalar(QStringLiteral("select count(*) from ") + name).toInt();
        first = load(store_, name,
                     store_.select(QStringLiteral("select rowid as %1, * from %2 order by rowid limit %3")
                                       .arg(RowidColumn, name)
                                       .arg(PageRows)),
                     sql);
    } catch (const StoreError &e) {
        throw StoreError(e.message(), sql);
    }

    Q_EMIT aboutToReset();
    forgetPages();
    sql_ = sql;
    params_.clear();
    table_.clear(); // read-only
    fields_ = std::move(first.fields);
    types_ = std::move(first.types);
    rows_.clear();
    rowids_.clear();
    paged_ = true;
    pagedTable_ = name;
    pagedCount_ = count;
    if (!first.rows.isEmpty())
        pages_.insert(0, {std::move(first.rows), first.rowids.first(), first.rowids.last(), ++uses_});
    current_ = count == 0 ? -1 : 0;
    bof_ = true;
    eof_ = count == 0;
    state_ = State::Browse;
    Q_EMIT reset();
    Q_EMIT stateChanged(state_);
    Q_EMIT currentChanged(current_);
}

void Dataset::forgetPages()
{
    paged_ = false;
    pagedTable_.clear();
    pagedCount_ = 0;
    pages_.clear();
}

const QVector<QVariant> &Dataset::rowAt(int row) const
{
    if (!paged_)
        return rows_[row];
    const int p = row / PageRows;
    auto it = pages_.find(p);
    if (it == pages_.end()) {
        // Read on from a neighbouring page by row identity, so that paging through the rows
        // costs one page each time; a jump counts rows from the start.
        QString where, order = QStringLiteral("rowid"), skip;
        Params params;
        if (const auto before = pages_.constFind(p - 1); before != pages_.constEnd()) {
            where = QStringLiteral(" where rowid > :after");
            params.insert(QStringLiteral("after"), before->last);
        } else if (const auto after = pages_.constFind(p + 1); after != pages_.constEnd()) {
            where = QStringLiteral(" where rowid < :before");
            params.insert(QStringLiteral("before"), after->first);
            order = QStringLiteral("rowid desc");
        } else if (p > 0) {
            skip = QStringLiteral(" offset %1").arg(qint64(p) * PageRows);
        }
        Page page;
        try {
            Loaded read = load(store_, pagedTable_,
                               store_.select(QStringLiteral("select rowid as %1, * from %2%3 order by %4 limit %5%6")
                                                 .arg(RowidColumn, pagedTable_, where, order)
                                                 .arg(PageRows)
                                                 .arg(skip),
                                             params),
                               sql_);
            if (order != QLatin1String("rowid")) {
                std::reverse(read.rows.begin(), read.rows.end());
                std::reverse(read.rowids.begin(), read.rowids.end());
            }
            page.rows = std::move(read.rows);
            if (!read.rowids.isEmpty()) {
                page.first = read.rowids.first();
                page.last = read.rowids.last();
            }
        } catch (const StoreError &) {
            // A grid drawing its rows has no one to tell: the rows show empty.
        }
        // Fewer rows than counted (the table changed under the set, or could not be read): empty
        // rows fill up.
        page.rows.resize(PageRows, QVector<QVariant>(fields_.size()));
        if (pages_.size() >= HeldPages) {
            auto oldest = pages_.begin();
            for (auto i = pages_.begin(); i != pages_.end(); ++i)
                if (i->used < oldest->used)
                    oldest = i;
            pages_.erase(oldest);
        }
        it = pages_.insert(p, std::move(page));
    }
    it->used = ++uses_;
    return it->rows[row % PageRows];
}

void Dataset::refresh()
{
    requireOpen();
    if (paged_) {
        const int row = current_;
        openPaged(pagedTable_);
        if (!isEmpty())
            setCurrent(qBound(0, row, rowCount() - 1));
        return;
    }
    const qint64 rowid = (current_ >= 0 && isLive()) ? rowids_[current_] : 0;
    const int row = current_;
    open(sql_, params_);
    if (rowid != 0) {
        const int found = int(rowids_.indexOf(rowid));
        if (found >= 0) {
            setCurrent(found);
            return;
        }
    }
    if (!rows_.isEmpty())
        setCurrent(qBound(0, row, rowCount() - 1));
}

void Dataset::requireOpen() const
{
    if (state_ == State::Inactive)
        throw StoreError(QStringLiteral("结果集没有打开。"), sql_);
}

void Dataset::requireLive(const char *action) const
{
    requireOpen();
    if (!isLive())
        throw StoreError(QStringLiteral("只读的结果集不能%1。").arg(QString::fromUtf8(action)), sql_);
}

void Dataset::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    Q_EMIT stateChanged(state_);
}

void Dataset::setCurrent(int row)
{
    if (row == current_)
        return;
    current_ = row;
    Q_EMIT currentChanged(current_);
}

void Dataset::first()
{
    requireOpen();
    if (isEditing())
        post();
    bof_ = true;
    eof_ = isEmpty();
    setCurrent(isEmpty() ? -1 : 0);
}

void Dataset::last()
{
    requireOpen();
    if (isEditing())
        post();
    eof_ = true;
    bof_ = isEmpty();
    setCurrent(rowCount() - 1);
}

void Dataset::next()
{
    requireOpen();
    if (isEditing())
        post();
    bof_ = false;
    if (current_ + 1 >= rowCount()) {
        eof_ = true;
        return;
    }
    eof_ = false;
    setCurrent(current_ + 1);
}

void Dataset::prior()
{
    requireOpen();
    if (isEditing())
        post();
    eof_ = false;
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    bof_ = false;
    setCurrent(current_ - 1);
}

void Dataset::moveTo(int row)
{
    requireOpen();
    if (row < 0 || row >= rowCount())
        return;
    if (isEditing() && row != current_)
        post();
    bof_ = eof_ = false;
    setCurrent(row);
}

bool Dataset::locate(const QString &field, const QVariant &value)
{
    const int f = fieldIndex(field);
    if (f < 0)
        return false;
    const QVariant wanted = isLive() ? normalise(f, value) : value;
    for (int r = 0; r < rowCount(); ++r) {
        if (rowAt(r)[f] == wanted) {
            moveTo(r);
            return true;
        }
    }
    return false;
}

int Dataset::fieldIndex(const QString &name) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ColumnType Dataset::fieldType(int field) const
{
    return (field >= 0 && field < types_.size()) ? types_[field] : ColumnType::Text;
}

QVariant Dataset::valueAt(int row, int field) const
{
    if (row < 0 || row >= rowCount() || field < 0 || field >= fields_.size())
        return QVariant();
    return rowAt(row)[field];
}

QVariant Dataset::value(const QString &field) const
{
    const int f = fieldIndex(field);
    if (f < 0 && isOpen())
        throw StoreError(QStringLiteral("结果集中没有字段 %1。").arg(field), sql_);
    return valueAt(current_, f);
}

QString Dataset::text(const QString &field) const
{
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    return v.toString();
}

double Dataset::number(const QString &field) const
{
    return value(field).toDouble();
}

QDate Dataset::date(const QString &field) const
{
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

QVariant Dataset::normalise(int field, const QVariant &value) const
{
    return normalised(fieldType(field), value, sql_);
}

void Dataset::setValue(const QString &field, const QVariant &value)
{
    if (!isEditing())
        throw StoreError(QStringLiteral("结果集不在编辑状态，不能修改字段 %1。").arg(field), sql_);
    const int f = fieldIndex(field);
    if (f < 0)
        throw StoreError(QStringLiteral("结果集中没有字段 %1。").arg(field), sql_);
    const QVariant v = normalise(f, value);
    if (rows_[current_][f] == v && rows_[current_][f].isNull() == v.isNull())
        return;
    rows_[current_][f] = v;
    Q_EMIT rowChanged(current_);
}

void Dataset::edit()
{
    requireLive("编辑");
    if (isEditing())
        return;
    if (current_ < 0)
        throw StoreError(QStringLiteral("没有可编辑的记录。"), sql_);
    saved_ = rows_[current_];
    setState(State::Edit);
}

void Dataset::append()
{
    requireLive("添加记录");
    if (isEditing())
        post();
    Q_EMIT aboutToReset();
    rows_.append(QVector<QVariant>(fields_.size()));
    rowids_.append(0);
    current_ = rowCount() - 1;
    bof_ = eof_ = false;
    state_ = State::Insert;
    Q_EMIT reset();
    Q_EMIT stateChanged(state_);
    Q_EMIT currentChanged(current_);
}

QVector<QVariant> Dataset::readRow(qint64 rowid) const
{
    const Rows rows = store_.select(QStringLiteral("select * from %1 where rowid=:rid").arg(table_),
                                    {{QStringLiteral("rid"), rowid}});
    QVector<QVariant> values(fields_.size());
    if (rows.rows.isEmpty())
        return values;
    for (int f = 0; f < fields_.size(); ++f) {
        const int c = rows.column(fields_[f]);
        values[f] = c >= 0 ? normalise(f, rows.rows.first()[c]) : QVariant();
    }
    return values;
}

void Dataset::post()
{
    if (!isEditing())
        return;
    QVector<QVariant> &row = rows_[current_];
    for (int f = 0; f < fields_.size(); ++f)
        store_.checkCapacity(table_, fields_[f], row[f]);

    if (state_ == State::Insert) {
        QStringList names, holders;
        Params params;
        for (int f = 0; f < fields_.size(); ++f) {
            if (row[f].isNull())
                continue;
            names << fields_[f];
            holders << QStringLiteral(":p%1").arg(f);
            params.insert(QStringLiteral("p%1").arg(f), row[f]);
        }
        const QString sql = names.isEmpty()
                                ? QStringLiteral("insert into %1 default values").arg(table_)
                                : QStringLiteral("insert into %1 (%2) values (%3)")
                                      .arg(table_, names.join(QLatin1Char(',')), holders.join(QLatin1Char(',')));
        rowids_[current_] = store_.insert(sql, params);
    } else {
        QStringList sets;
        Params params{{QStringLiteral("rid"), rowids_[current_]}};
        for (int f = 0; f < fields_.size(); ++f) {
            const bool same = row[f] == saved_[f] && row[f].isNull() == saved_[f].isNull();
            if (same)
                continue;
            sets << QStringLiteral("%1=:p%2").arg(fields_[f]).arg(f);
            params.insert(QStringLiteral("p%1").arg(f), row[f]);
        }
        if (!sets.isEmpty()) {
            // Only the row as it was read is changed: one another clerk changed or deleted since
            // is not overwritten.
            const int changed = store_.exec(QStringLiteral("update %1 set %2 where rowid=:rid%3")
                                                .arg(table_, sets.join(QLatin1Char(',')), asRead(saved_, params)),
                                            params);
            if (changed == 0) {
                stale_ = true;
                throw changedByAnother();
            }
        }
    }
    saved_.clear();
    if (store_.inTransaction()) {
        setState(State::Browse);
        showWhenSettled();
        return;
    }
    row = readRow(rowids_[current_]);
    setState(State::Browse);
    Q_EMIT rowChanged(current_);
}

void Dataset::cancel()
{
    if (state_ == State::Edit) {
        rows_[current_] = saved_;
        saved_.clear();
        setState(State::Browse);
        Q_EMIT rowChanged(current_);
        if (stale_) {
            // The row changed under the edit: the grid shows it as it is now.
            stale_ = false;
            refresh();
        }
    } else if (state_ == State::Insert) {
        Q_EMIT aboutToReset();
        rows_.removeLast();
        rowids_.removeLast();
        current_ = rowCount() - 1;
        eof_ = bof_ = rows_.isEmpty();
        state_ = State::Browse;
        Q_EMIT reset();
        Q_EMIT stateChanged(state_);
        Q_EMIT currentChanged(current_);
    }
}

Outcome Dataset::removeWhen(const std::function<Outcome()> &check)
{
    Outcome outcome;
    store_.transaction([&] {
        outcome = check();
        if (outcome)
            remove();
    });
    return outcome;
}

void Dataset::remove()
{
    requireLive("删除记录");
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (state_ == State::Edit)
        cancel();
    if (current_ < 0)
        throw StoreError(QStringLiteral("没有可删除的记录。"), sql_);
    Params params{{QStringLiteral("rid"), rowids_[current_]}};
    if (store_.exec(QStringLiteral("delete from %1 where rowid=:rid%2").arg(table_, asRead(rows_[current_], params)),
                    params) == 0) {
        stale_ = true;
        refresh();
        stale_ = false;
        throw changedByAnother();
    }
    Q_EMIT aboutToReset();
    rows_.removeAt(current_);
    rowids_.removeAt(current_);
    const int row = qMin(current_, rowCount() - 1);
    current_ = row;
    eof_ = bof_ = rows_.isEmpty();
    Q_EMIT reset();
    Q_EMIT currentChanged(current_);
    if (store_.inTransaction())
        showWhenSettled();
}

} // namespace tolva
