#include "statement.h"
#include "sqlitehandle.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace tolva {

namespace {

sqlite3 *handleOf(Store &store)
{
    return sqliteHandle(store.database());
}

} // namespace

Statement::Statement(Store &store, const QString &sql) : store_(store), sql_(sql)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(handleOf(store), text.constData(), int(text.size()), &stmt_, nullptr) != SQLITE_OK)
        fail();
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::fail() const
{
    sqlite3 *h = handleOf(store_);
    throw StoreError(failureText(h, sqlite3_extended_errcode(h), QString::fromUtf8(sqlite3_errmsg(h))), sql_);
}

void Statement::bindNull(int i)
{
    if (sqlite3_bind_null(stmt_, i + 1) != SQLITE_OK)
        fail();
}

void Statement::bind(int i, double value)
{
    if (sqlite3_bind_double(stmt_, i + 1, value) != SQLITE_OK)
        fail();
}

void Statement::bind(int i, const std::string &utf8)
{
    if (sqlite3_bind_text(stmt_, i + 1, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

void Statement::bindStatic(int i, const char *utf8, int size)
{
    if (sqlite3_bind_text(stmt_, i + 1, utf8, size, SQLITE_STATIC) != SQLITE_OK)
        fail();
}

void Statement::bind(int i, const QString &value)
{
    if (value.isNull()) {
        bindNull(i);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    if (sqlite3_bind_text(stmt_, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

void Statement::bind(int i, const QVariant &value)
{
    const QVariant v = Store::toStored(value);
    if (v.isNull()) {
        bindNull(i);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        bind(i, v.toDouble());
        return;
    default:
        bind(i, v.toString());
    }
}

bool Statement::next()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail();
}

void Statement::run()
{
    while (next()) {
    }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

double Statement::number(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

QString Statement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    if (!p)
        return QString();
    return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column));
}

std::string Statement::bytes(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return p ? std::string(p, size_t(sqlite3_column_bytes(stmt_, column))) : std::string();
}

} // namespace tolva
