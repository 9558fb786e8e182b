#include "changes.h"

#include "store/store.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tolva::changelog {

const QList<TableCaption> &tableCaptions()
{
    static const QList<TableCaption> tables = {
        {QStringLiteral("sp1"), QStringLiteral("材料名称及单价")},
        {QStringLiteral("sp5"), QStringLiteral("材料规格")},
        {QStringLiteral("sp2"), QStringLiteral("合同")},
        {QStringLiteral("sp3"), QStringLiteral("押金")},
        {QStringLiteral("sp4"), QStringLiteral("租金")},
        {QStringLiteral("czbnow"), QStringLiteral("租赁数据")},
        {QStringLiteral("czb1"), QStringLiteral("维修费")},
        {QStringLiteral("czb2"), QStringLiteral("报废赔偿")},
        {QStringLiteral("sbpass"), QStringLiteral("用户")},
        {QStringLiteral("srf"), QStringLiteral("计算方法、打印格式及结账日期")},
    };
    return tables;
}

QString tableCaption(const QString &table)
{
    for (const TableCaption &t : tableCaptions())
        if (t.table == table)
            return t.caption;
    return table;
}

namespace {

QString valueText(const QJsonValue &v)
{
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("（空）");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

QJsonObject object(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

QString changeText(const QString &operation, const QString &before, const QString &after, const QStringList &columns)
{
    const QJsonObject old = object(before), now = object(after);
    const bool changed = operation == QStringLiteral("修改");
    const QJsonObject &row = operation == QStringLiteral("删除") ? old : now;
    QStringList keys;
    for (const QString &c : columns)
        if (row.contains(c))
            keys << c;
    for (const QString &k : row.keys())
        if (!keys.contains(k))
            keys << k;
    QStringList parts;
    for (const QString &key : std::as_const(keys)) {
        const QJsonValue value = row.value(key);
        if (changed && old.value(key) != value)
            parts << QStringLiteral("%1：%2 → %3").arg(key, valueText(old.value(key)), valueText(value));
        else if (!changed && !value.isNull())
            parts << QStringLiteral("%1：%2").arg(key, valueText(value));
    }
    return parts.join(QStringLiteral("；"));
}

int findChanges(Store &store, const LogFilter &filter)
{
    QString sql = QStringLiteral("select sj, yh, bm, cz, numa, yjl, xjl from rzb where sj >= :from and sj < :to");
    Params params{{QStringLiteral("from"), filter.from.toString(Qt::ISODate)},
                  {QStringLiteral("to"), filter.to.addDays(1).toString(Qt::ISODate)}};
    if (!filter.user.isEmpty()) {
        sql += QStringLiteral(" and yh = :user");
        params.insert(QStringLiteral("user"), filter.user);
    }
    if (!filter.contract.isEmpty()) {
        sql += QStringLiteral(" and numa = :numa");
        params.insert(QStringLiteral("numa"), filter.contract);
    }
    if (!filter.table.isEmpty()) {
        sql += QStringLiteral(" and bm = :bm");
        params.insert(QStringLiteral("bm"), filter.table);
    }
    sql += QStringLiteral(" order by sj, rowid");
    int found = 0;
    QHash<QString, QStringList> columns;
    const auto columnsOf = [&](const QString &table) -> const QStringList & {
        auto it = columns.find(table);
        if (it == columns.end()) {
            QStringList names;
            for (const ColumnInfo &c : store.columns(table))
                names << c.name;
            it = columns.insert(table, names);
        }
        return *it;
    };
    store.transaction([&] {
        const Rows rows = store.select(sql, params);
        store.emptyTable(QStringLiteral("rzbtem"));
        BulkInsert insert = store.bulkInsert(QStringLiteral("rzbtem"), {QStringLiteral("sj"), QStringLiteral("yh"),
                                                                       QStringLiteral("bm"), QStringLiteral("cz"),
                                                                       QStringLiteral("numa"), QStringLiteral("nr")});
        for (const auto &row : rows.rows) {
            insert.add(row[0].toString());
            insert.add(row[1].toString());
            insert.add(tableCaption(row[2].toString()));
            insert.add(row[3].toString());
            insert.add(row[4].isNull() ? QString() : row[4].toString());
            insert.add(changeText(row[3].toString(), row[5].toString(), row[6].toString(), columnsOf(row[2].toString())));
            insert.endRow();
        }
        insert.finish();
        found = int(rows.rows.size());
    });
    return found;
}

QStringList loggedUsers(Store &store)
{
    QStringList users;
    for (const auto &row : store.select(QStringLiteral("select distinct yh from rzb order by yh")).rows)
        users << row[0].toString();
    return users;
}

} // namespace tolva::changelog
