#include "statement.h"
#include "engine.h"

namespace tolva {

Statement::Statement(Store &store, const QString &sql)
    : cursor_(store.engine().prepare(store.engine().dialect(Store::translate(sql))))
{
}

Statement::~Statement() = default;

void Statement::bindNull(int i)
{
    cursor_->bindNull(i);
}

void Statement::bind(int i, double value)
{
    cursor_->bind(i, value);
}

void Statement::bind(int i, const std::string &utf8)
{
    cursor_->bindText(i, utf8.data(), int(utf8.size()), false);
}

void Statement::bindStatic(int i, const char *utf8, int size)
{
    cursor_->bindText(i, utf8, size, true);
}

void Statement::bind(int i, const QString &value)
{
    if (value.isNull()) {
        bindNull(i);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    cursor_->bindText(i, utf8.constData(), int(utf8.size()), false);
}

void Statement::bind(int i, const QVariant &value)
{
    const QVariant v = Store::toStored(value);
    if (v.isNull()) {
        bindNull(i);
        return;
    }
    if (Store::isStoredNumber(v))
        bind(i, v.toDouble());
    else
        bind(i, v.toString());
}

bool Statement::next()
{
    return cursor_->next();
}

void Statement::run()
{
    while (next()) {
    }
    reset();
}

void Statement::reset()
{
    cursor_->reset();
}

Statement::Stored Statement::stored(int column) const
{
    return cursor_->stored(column);
}

bool Statement::isNull(int column) const
{
    return cursor_->isNull(column);
}

double Statement::number(int column) const
{
    return cursor_->number(column);
}

QString Statement::text(int column) const
{
    if (cursor_->isNull(column))
        return QString();
    const std::string b = cursor_->bytes(column);
    return QString::fromUtf8(b.data(), qsizetype(b.size()));
}

Statement::View Statement::view(int column) const
{
    View v;
    v.data = cursor_->text(column, v.size);
    return v;
}

void Statement::row(Value *values, int n) const
{
    cursor_->row(values, n);
}

std::string Statement::bytes(int column) const
{
    return cursor_->bytes(column);
}

} // namespace tolva
