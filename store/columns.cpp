#include "engine.h"
#include "sqlitefile.h"
#include "store.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

namespace tolva {

namespace engine {

QVariant namedValue(const Params &params, const QString &name, const QString &shown)
{
    auto found = params.constEnd();
    for (auto p = params.constBegin(); p != params.constEnd(); ++p)
        if (p.key().compare(name, Qt::CaseInsensitive) == 0)
            found = p;
    if (found == params.constEnd())
        throw StoreError(QStringLiteral("参数 :%1 没有赋值。").arg(name), shown);
    return found.value();
}

ColumnInfo parseColumn(const QString &name, const QString &declared)
{
    ColumnInfo info;
    info.name = name.toLower();
    const QString t = declared.trimmed().toLower();
    static const QRegularExpression cap(QStringLiteral("^(?:var)?char\\s*\\((\\d+)\\)$"));
    const auto m = cap.match(t);
    if (m.hasMatch()) {
        info.type = ColumnType::Text;
        info.capacity = m.captured(1).toInt();
    } else if (t == QLatin1String("real") || t == QLatin1String("number") || t == QLatin1String("double") ||
               t == QLatin1String("double precision")) {
        info.type = ColumnType::Number;
    } else if (t == QLatin1String("date")) {
        info.type = ColumnType::Date;
    } else if (t == QLatin1String("smallint") || t == QLatin1String("integer") || t == QLatin1String("int") ||
               t == QLatin1String("bigint")) {
        info.type = ColumnType::Integer;
    } else {
        info.type = ColumnType::Text;
    }
    return info;
}

QStringList schemaStatements()
{
    QFile file(QStringLiteral(":/store/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("找不到建表语句。"), file.fileName());
    // Drop comment lines, then split into statements.
    QStringList lines;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    QStringList statements;
    for (const QString &statement : lines.join(QLatin1Char('\n')).split(QLatin1Char(';')))
        if (!statement.trimmed().isEmpty())
            statements << statement;
    return statements;
}

QStringList schemaTables()
{
    return sqlitefile::modelTables();
}

} // namespace engine

void Store::loadColumns() const
{
    if (columnsLoaded_)
        return;
    columns_ = engine_->tables();
    columnsLoaded_ = true;
}

QStringList Store::workingTables()
{
    return {QStringLiteral("czbtem"), QStringLiteral("czbhz"), QStringLiteral("czbhz1"),
            QStringLiteral("czbtem1"), QStringLiteral("czbnow1"), QStringLiteral("czb"), QStringLiteral("rzbtem")};
}

QStringList Store::tables() const
{
    loadColumns();
    QStringList names = columns_.keys();
    names.sort();
    return names;
}

bool Store::hasTable(const QString &table) const
{
    loadColumns();
    return columns_.contains(table.toLower());
}

const QVector<ColumnInfo> &Store::columns(const QString &table) const
{
    loadColumns();
    static const QVector<ColumnInfo> none;
    auto it = columns_.constFind(table.toLower());
    return it == columns_.constEnd() ? none : it.value();
}

const ColumnInfo *Store::column(const QString &table, const QString &column) const
{
    for (const ColumnInfo &c : columns(table))
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

int Store::gbkLength(const QString &text)
{
    QStringEncoder encoder("GBK");
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return int(bytes.size());
    }
    // Without a GBK converter, or for characters GBK lacks: ASCII is one byte, the rest two.
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

void Store::checkCapacity(const QString &table, const QString &column, const QVariant &value) const
{
    const ColumnInfo *info = this->column(table, column);
    if (!info || info->type != ColumnType::Text || info->capacity <= 0 || value.isNull())
        return;
    const QString text = value.toString();
    const int length = gbkLength(text);
    if (length <= info->capacity)
        return;
    // Joined piece by piece: a "%1" typed by a person stays as typed. A long text shows its start.
    const int shown = 20;
    const QString start = text.size() > shown ? text.left(shown) + QStringLiteral("…") : text;
    throw StoreError(QStringLiteral("“") + start + QStringLiteral("”太长：") + table.toLower() + QLatin1Char('.') +
                     info->name + QStringLiteral(" 最多 ") + QString::number(info->capacity) +
                     QStringLiteral(" 个字节（一个汉字占两个字节），输入的内容占 ") + QString::number(length) +
                     QStringLiteral(" 个字节。"));
}

} // namespace tolva
