#include "changes.h"

#include "store/parts.h"
#include "store/statement.h"
#include "store/store.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringBuilder>

#include <cmath>
#include <set>
#include <string>

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
    if (v.isDouble()) {
        // A whole number, the usual value, without the general conversion; it reads the same.
        const double d = v.toDouble();
        if (d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

// A row as the log holds it: its fields in the order of their names.
struct Field {
    QString name;
    QJsonValue value;
};

QVector<Field> fields(const QByteArray &json)
{
    QVector<Field> out;
    if (json.isEmpty())
        return out;
    const QJsonObject row = QJsonDocument::fromJson(json).object();
    out.reserve(row.size());
    for (auto it = row.begin(); it != row.end(); ++it)
        out.append({it.key(), it.value()});
    return out;
}

const Field *field(const QVector<Field> &row, const QString &name)
{
    for (const Field &f : row)
        if (f.name == name)
            return &f;
    return nullptr;
}

QByteArray bytes(const Statement &read, int column)
{
    if (read.isNull(column))
        return QByteArray();
    const std::string b = read.bytes(column);
    return QByteArray(b.data(), qsizetype(b.size()));
}

} // namespace

QString changeText(const QString &operation, const QString &before, const QString &after, const QStringList &columns)
{
    return changeText(operation, before.toUtf8(), after.toUtf8(), columns);
}

QString changeText(const QString &operation, const QByteArray &before, const QByteArray &after,
                   const QStringList &columns)
{
    const bool changed = operation == QStringLiteral("修改");
    const bool deleted = operation == QStringLiteral("删除");
    const QVector<Field> old = changed || deleted ? fields(before) : QVector<Field>();
    const QVector<Field> now = deleted ? QVector<Field>() : fields(after);
    const QVector<Field> &row = deleted ? old : now;
    // The table's columns first, in their order, then any other the row has.
    QVector<const Field *> shown;
    shown.reserve(row.size());
    for (const QString &c : columns)
        if (const Field *f = field(row, c))
            shown << f;
    for (const Field &f : row)
        if (!columns.contains(f.name))
            shown << &f;
    QString text;
    text.reserve(256);
    const QJsonValue missing(QJsonValue::Undefined);
    for (const Field *f : std::as_const(shown)) {
        if (changed) {
            const Field *was = field(old, f->name);
            const QJsonValue &before = was ? was->value : missing;
            if (before == f->value)
                continue;
            if (!text.isEmpty())
                text += u'；';
            text += f->name % u'：' % valueText(before) % QStringLiteral(" → ") % valueText(f->value);
        } else if (!f->value.isNull()) {
            if (!text.isEmpty())
                text += u'；';
            text += f->name % u'：' % valueText(f->value);
        }
    }
    return text;
}

int findChanges(Store &store, const LogFilter &filter, const Progress &progress, int partRows)
{
    QString sql = QStringLiteral("select sj, yh, bm, cz, numa, yjl, xjl from rzb where sj >= ? and sj < ?");
    QStringList values{filter.from.toString(Qt::ISODate), filter.to.addDays(1).toString(Qt::ISODate)};
    if (!filter.user.isEmpty()) {
        sql += QStringLiteral(" and yh = ?");
        values << filter.user;
    }
    if (!filter.contract.isEmpty()) {
        sql += QStringLiteral(" and numa = ?");
        values << filter.contract;
    }
    if (!filter.table.isEmpty()) {
        sql += QStringLiteral(" and bm = ?");
        values << filter.table;
    }
    // The log is read a part at a time (ranges of its row identity), each part oldest first. The
    // log grows in order of time, so the parts one after another are in order too; where they
    // are not (a clock put back), the rows found are put in order at the end.
    sql += QStringLiteral(" and rowid >= ? and rowid <= ? order by sj, rowid");
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
    const QString reading = QStringLiteral("正在查找操作日志……");
    store.transaction([&] {
        store.emptyTable(QStringLiteral("rzbtem"));
        const auto ranges = rowidRanges(store, QStringLiteral("rzb"), partRows);
        const int parts = int(ranges.size());
        BulkInsert insert = store.bulkInsert(QStringLiteral("rzbtem"), {QStringLiteral("sj"), QStringLiteral("yh"),
                                                                       QStringLiteral("bm"), QStringLiteral("cz"),
                                                                       QStringLiteral("numa"), QStringLiteral("nr")});
        QString latest;
        bool inOrder = true;
        for (int i = 0; i < parts; ++i) {
            reportProgress(progress, i, parts, reading);
            Statement read(store, sql);
            int k = 0;
            for (const QString &v : std::as_const(values))
                read.bind(k++, v);
            read.bind(k++, double(ranges[i].first));
            read.bind(k++, double(ranges[i].second));
            bool first = true;
            while (read.next()) {
                const QString sj = read.text(0);
                if (first && sj < latest)
                    inOrder = false;
                first = false;
                latest = sj;
                const QString table = read.text(2), operation = read.text(3);
                insert.add(sj);
                insert.add(read.text(1));
                insert.add(tableCaption(table));
                insert.add(operation);
                insert.add(read.text(4));
                insert.add(changeText(operation, bytes(read, 5), bytes(read, 6), columnsOf(table)));
                insert.endRow();
                if (++found % 256 == 0)
                    reportProgress(progress, i, parts, reading);
            }
        }
        insert.finish();
        if (!inOrder) {
            const Params written{{QStringLiteral("last"), store.scalar(QStringLiteral("select max(rowid) from rzbtem"))}};
            store.exec(QStringLiteral("insert into rzbtem(sj,yh,bm,cz,numa,nr) select sj,yh,bm,cz,numa,nr from rzbtem "
                                      "where rowid <= :last order by sj, rowid"),
                       written);
            store.exec(QStringLiteral("delete from rzbtem where rowid <= :last"), written);
        }
        reportProgress(progress, parts, parts, reading);
    });
    return found;
}

QStringList loggedUsers(Store &store, const Progress &progress, int partRows)
{
    // A part of the log at a time, in the order the store sorts texts (their bytes).
    std::set<std::string> names;
    bool unnamed = false;
    const auto ranges = rowidRanges(store, QStringLiteral("rzb"), partRows);
    const QString reading = QStringLiteral("正在读取操作日志的用户……");
    for (int i = 0; i < ranges.size(); ++i) {
        reportProgress(progress, i, int(ranges.size()), reading);
        Statement read(store, QStringLiteral("select distinct yh from rzb where rowid >= ? and rowid <= ?"));
        read.bind(0, double(ranges[i].first));
        read.bind(1, double(ranges[i].second));
        while (read.next()) {
            if (read.isNull(0))
                unnamed = true;
            else
                names.insert(read.bytes(0));
        }
    }
    QStringList users;
    if (unnamed)
        users << QString();
    for (const std::string &name : names)
        users << QString::fromStdString(name);
    return users;
}

} // namespace tolva::changelog
