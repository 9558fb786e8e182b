#include "store.h"
#include "changelog.h"
#include "dataset.h"
#include "engine.h"
#include "pgengine.h"
#include "sqliteengine.h"
#include "sqlitefile.h"
#include "dialect.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QUrl>

#include <exception>
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

std::unique_ptr<engine::Engine> engineFor(const QString &folder, const Store::Options &options)
{
    if (options.server.isEmpty())
        return std::make_unique<engine::SqliteEngine>(QDir(folder).filePath(QLatin1String(Store::FileName)),
                                                      options.busyTimeoutMs);
    return std::make_unique<engine::PgEngine>(options.server);
}

// The tables and columns that ledgers made before the change log lack, made in one transaction
// where the program may change the tables' structure (the folder's file; a server is set up with
// them), then the log on the connection.
void startLog(engine::Engine &e, bool server)
{
    if (!server) {
        const QHash<QString, QVector<ColumnInfo>> tables = e.tables();
        QStringList missing;
        for (const QString &statement : engine::schemaStatements()) {
            static const QRegularExpression made(QStringLiteral("^\\s*create\\s+table\\s+(\\w+)"),
                                                 QRegularExpression::CaseInsensitiveOption);
            const auto m = made.match(statement);
            // Only the log's own tables: a file without another table is no ledger of ours.
            const QString table = m.captured(1).toLower();
            if (m.hasMatch() && table.startsWith(QLatin1String("rzb")) && !tables.contains(table))
                missing << statement;
        }
        const auto has = [&](const QString &column) {
            for (const ColumnInfo &c : tables.value(QStringLiteral("srf")))
                if (c.name == column)
                    return true;
            return false;
        };
        if (tables.contains(QStringLiteral("srf"))) {
            if (!has(QStringLiteral("zzrq")))
                missing << QStringLiteral("alter table srf add column zzrq date");
            if (!has(QStringLiteral("zzly")))
                missing << QStringLiteral("alter table srf add column zzly varchar(100)");
        }
        // czb had an index that every rebuild kept up and nothing read.
        if (!e.select(QStringLiteral("select name from sqlite_master where type='index' and name='czb_numa'"), {},
                      QStringLiteral("sqlite_master"))
                 .rows.isEmpty())
            missing << QStringLiteral("drop index czb_numa");
        if (!missing.isEmpty()) {
            e.begin();
            try {
                for (const QString &statement : std::as_const(missing))
                    e.exec(statement, {}, statement);
                e.commit();
            } catch (...) {
                e.rollback();
                throw;
            }
        }
    }
    e.startLog();
}

} // namespace

Store::Store(const QString &folder) : Store(folder, Options()) {}

Store::Store(const QString &folder, const Options &options)
    : folder_(QDir(folder).absolutePath()), options_(options),
      engine_(engineFor(folder_, options))
{
    engine_->setSession(logUser_, clock_);
    tolva::startLog(*engine_, isServer());
}

void Store::setLogUser(const QString &user)
{
    logUser_ = user;
    engine_->setSession(logUser_, clock_);
}

void Store::setClock(std::function<QDateTime()> clock)
{
    clock_ = std::move(clock);
    engine_->setSession(logUser_, clock_);
}

QDate Store::closingDate()
{
    if (!column(QStringLiteral("srf"), QStringLiteral("zzrq")))
        return QDate();
    const QVariant v = scalar(QStringLiteral("select max(zzrq) from srf"));
    return v.isNull() ? QDate() : QDate::fromString(v.toString().left(10), Qt::ISODate);
}

QString Store::closedForRestore()
{
    // The backup's rows would rewrite the closed period: the period is opened first, by its window.
    const QDate closing = closingDate();
    if (!closing.isValid())
        return QString();
    return QStringLiteral("账已经结到%1，恢复备份会改写已结账的数据。请先在“(&4)选择明细表打印格式及计算方法”中"
                          "取消结账（或把结账日期改回去），再恢复。")
        .arg(closing.toString(Qt::ISODate));
}

QString Store::closedMessage(const QDate &closing)
{
    return changelog::closedPattern().arg(closing.toString(Qt::ISODate));
}

Store::Options Store::configured()
{
    Options options;
    options.server = qEnvironmentVariable("TOLVA_DATABASE").trimmed();
    return options;
}

QString Store::location() const
{
    if (!isServer())
        return QDir::toNativeSeparators(filePath());
    return static_cast<engine::PgEngine &>(*engine_).shownAddress();
}

void Store::requireWritable(const QString &folder)
{
    sqlitefile::requireWritable(folder, QLatin1String(FileName));
}

bool Store::isMarked(const QString &path)
{
    return sqlitefile::marked(path);
}

Store::~Store()
{
    for (Dataset *d : std::as_const(datasets_))
        d->detachedFromStore();
}

engine::Engine &Store::engine() const
{
    return *engine_;
}

bool Store::isOpen() const
{
    return engine_->isOpen();
}

void Store::close()
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能关闭数据文件。"));
    engine_->close();
    columnsLoaded_ = false;
}

void Store::reopen()
{
    if (isOpen())
        close();
    engine_->open();
    columnsLoaded_ = false;
    tolva::startLog(*engine_, isServer());
    // Every result set is re-read, also when one of them fails (the file put in place may lack
    // what it asks for); the first failure is reported.
    refreshDatasets();
}


void Store::reconnect(const Options &options)
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能更换数据库。"));
    std::unique_ptr<engine::Engine> next = engineFor(folder_, options);
    next->setSession(logUser_, clock_);
    tolva::startLog(*next, !options.server.isEmpty());
    engine_ = std::move(next);
    options_ = options;
    columnsLoaded_ = false;
    refreshDatasets();
}

void Store::logIn(const QString &user, const QString &password)
{
    if (!isServer())
        throw StoreError(QStringLiteral("只有数据库服务器上的账本要用服务器的用户登录。"));
    Options signedIn = options_;
    QUrl url(options_.server);
    url.setUserName(user);
    url.setPassword(password);
    signedIn.server = url.toString();
    reconnect(signedIn);
}

bool Store::checkLogin(const QString &user, const QString &password) const
{
    if (!isServer())
        throw StoreError(QStringLiteral("只有数据库服务器上的账本要用服务器的用户登录。"));
    QUrl url(options_.server);
    url.setUserName(user);
    url.setPassword(password);
    try {
        engine::PgEngine check(url.toString());
        return true;
    } catch (const ConnectionError &e) {
        if (e.reason() == ConnectionError::Reason::Password)
            return false;
        throw;
    }
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
    engine_->snapshot(path);
}

QString Store::filePath() const
{
    return QDir(folder_).filePath(QLatin1String(FileName));
}

int Store::exec(const QString &sql, const Params &params)
{
    const int changed = engine_->exec(engine_->dialect(translate(sql)), params, sql);
    const QString head = sql.trimmed().left(6).toLower();
    if (head == QLatin1String("alter ") || head == QLatin1String("create") || head == QLatin1String("drop t"))
        columnsLoaded_ = false;
    return changed;
}

qint64 Store::insert(const QString &sql, const Params &params)
{
    return engine_->insert(engine_->dialect(translate(sql)), params, sql);
}

Rows Store::select(const QString &sql, const Params &params)
{
    QString translated = translate(sql);
    static const QRegularExpression ordered(QStringLiteral("\\b(group|order)\\s+by\\b|\\b(union|limit|distinct)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (dialect::isPlainSelect(translated) && !translated.contains(ordered))
        translated += QStringLiteral(" order by rowid");
    return engine_->select(engine_->dialect(translated), params, sql);
}

QVariant Store::scalar(const QString &sql, const Params &params)
{
    const Rows rows = select(sql, params);
    if (rows.rows.isEmpty() || rows.rows.first().isEmpty())
        return QVariant();
    return rows.rows.first().first();
}

BulkInsert::BulkInsert(std::unique_ptr<engine::Appender> appender) : appender_(std::move(appender)) {}
BulkInsert::~BulkInsert() = default;
BulkInsert::BulkInsert(BulkInsert &&) noexcept = default;

void BulkInsert::addNull()
{
    appender_->addNull();
}

void BulkInsert::add(double value)
{
    appender_->add(value);
}

void BulkInsert::add(const QString &text)
{
    if (text.isNull()) {
        appender_->addNull();
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    appender_->add(utf8.constData(), int(utf8.size()));
}

void BulkInsert::add(const std::string &utf8)
{
    appender_->add(utf8.data(), int(utf8.size()));
}

bool Store::isStoredNumber(const QVariant &stored)
{
    switch (stored.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

void BulkInsert::add(const QVariant &value)
{
    const QVariant v = Store::toStored(value);
    if (v.isNull()) {
        addNull();
        return;
    }
    if (Store::isStoredNumber(v))
        add(v.toDouble());
    else
        add(v.toString());
}

void BulkInsert::endRow()
{
    appender_->endRow();
}

void BulkInsert::finish()
{
    appender_->finish();
}

BulkInsert Store::bulkInsert(const QString &table, const QStringList &columns, const QStringList &zeros)
{
    return BulkInsert(engine_->appender(table, columns, zeros));
}

void Store::insertRows(const QString &table, const QStringList &columns, const QVector<QVector<QVariant>> &rows)
{
    if (rows.isEmpty())
        return;
    BulkInsert insert = bulkInsert(table, columns);
    for (const auto &row : rows) {
        for (int i = 0; i < columns.size(); ++i)
            insert.add(row.value(i));
        insert.endRow();
    }
    insert.finish();
}

QStringList Store::restoreSingleRows()
{
    const struct {
        const char *table;
        const char16_t *told;
    } single[] = {
        {"srf", u"设置表（srf）中的设置行不见了，已按初始设置补上（计算方法、打印格式、输入法、打印行高等），"
                u"请到“系统维护”中核对。"},
        {"dwm", u"单位名称表（dwm）中的记录不见了，已按初始值补上（单位名称和各报表的打印标题），"
                u"请到“系统维护”的“单位名称设置”中核对。"},
    };
    QStringList told;
    const QStringList statements = engine::schemaStatements();
    transaction([&] {
        for (const auto &s : single) {
            const QString table = QLatin1String(s.table);
            if (!hasTable(table) || scalar(QStringLiteral("select count(*) from ") + table).toInt() > 0)
                continue;
            const QRegularExpression starting(QStringLiteral("^\\s*insert\\s+into\\s+") + table + QStringLiteral("\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
            for (const QString &statement : statements)
                if (starting.match(statement).hasMatch())
                    exec(statement);
            told << QString::fromUtf16(s.told);
        }
    });
    return told;
}

QString Store::notANumber(const QString &column) const
{
    return engine_->notANumber(column);
}

QString Store::notADate(const QString &column) const
{
    return engine_->notADate(column);
}

QVariant Store::dataVersion()
{
    return engine_->dataVersion();
}

QStringList Store::otherSessions()
{
    return engine_->otherSessions();
}

void Store::replaceWith(Store &source)
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能恢复数据。"));
    const QStringList others = otherSessions();
    if (!others.isEmpty())
        throw StoreError(QStringLiteral("还有其他操作员在使用账本（%1），请他们退出后再恢复数据。")
                             .arg(others.join(QStringLiteral("、"))));
    if (const QString refusal = closedForRestore(); !refusal.isEmpty())
        throw StoreError(refusal);
    // The change log stays the ledger's own and logs the restore like any change; the settings row
    // goes in last, so that the backup's closing date holds only once its rows are in.
    QStringList order = source.tables();
    order.removeAll(QStringLiteral("rzb"));
    if (order.removeAll(QStringLiteral("srf")) > 0)
        order << QStringLiteral("srf");
    transaction([&] {
        // On a server the users' rows come back without touching their logins: a clerk keeps his
        // password, and the logins of users the archive lacks are not dropped.
        if (isServer())
            exec(QStringLiteral("set local tolva.restoring = 'on'"));
        for (const QString &table : std::as_const(order)) {
            if (!hasTable(table))
                continue;
            QStringList names;
            for (const ColumnInfo &c : source.columns(table))
                if (column(table, c.name))
                    names << c.name;
            exec(QStringLiteral("delete from ") + table);
            if (names.isEmpty())
                continue;
            const Rows rows = source.select(QStringLiteral("select %1 from %2 order by rowid")
                                                .arg(names.join(QLatin1Char(',')), table));
            insertRows(table, names, rows.rows);
        }
    });
    refreshDatasets();
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
    engine_->compact();
}

QString Store::integrity()
{
    return engine_->integrity();
}

void Store::begin()
{
    if (depth_ == 0)
        engine_->begin();
    else
        engine_->savepoint(QStringLiteral("sp%1").arg(depth_));
    ++depth_;
}

void Store::commit()
{
    if (depth_ == 0)
        return;
    if (depth_ > 1) {
        engine_->release(QStringLiteral("sp%1").arg(depth_ - 1));
        --depth_;
        return;
    }
    depth_ = 0;
    try {
        engine_->commit();
    } catch (...) {
        settle(false);
        throw;
    }
    settle(true);
}

void Store::rollback()
{
    if (depth_ == 0)
        return;
    --depth_;
    if (depth_ == 0) {
        engine_->rollback();
        settle(false);
        return;
    }
    if (!engine_->rollbackTo(QStringLiteral("sp%1").arg(depth_))) {
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

void Store::refreshDatasets()
{
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
