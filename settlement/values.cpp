#include "values.h"

#include "store/parts.h"

#include <QStringDecoder>

namespace tolva::settlement {

namespace {

// The largest finite double: anything beyond it, or any text or blob, is outside this range.
const QString Largest = QStringLiteral("1.7976931348623157e308");

bool blank(const std::string &text)
{
    for (char c : text)
        if (c != ' ')
            return false;
    return true;
}

// Words joined by blanks, the empty ones left out.
QString words(const QStringList &parts)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(QLatin1Char(' '));
}

QString numberMessage(const QString &row, const QString &label, const QString &value)
{
    return row + QStringLiteral("：") + label + QStringLiteral("“") + value + QStringLiteral("”不是有效的数值。");
}

// The numbers of a movement in the order of the entry screen, with its labels.
struct Column {
    int index;
    const char16_t *label;
};

} // namespace

bool isNumber(const Statement &s, int column)
{
    switch (s.stored(column)) {
    case Statement::Stored::Null:
        return true;
    case Statement::Stored::Number:
        return true;
    case Statement::Stored::Blob:
        return false;
    case Statement::Stored::Text:
        return blank(s.bytes(column));
    }
    return false;
}

bool isDate(const Statement &s, int column)
{
    if (s.stored(column) != Statement::Stored::Text)
        return false;
    const std::string t = s.bytes(column);
    if (t.size() != 10 || t[4] != '-' || t[7] != '-')
        return false;
    int part[3] = {0, 0, 0};
    const int from[3] = {0, 5, 8}, size[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = from[p]; i < from[p] + size[p]; ++i) {
            const char c = t[size_t(i)];
            if (c < '0' || c > '9')
                return false;
            part[p] = part[p] * 10 + (c - '0');
        }
    }
    const int year = part[0], month = part[1], day = part[2];
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

QString shown(const Statement &s, int column)
{
    QString text;
    switch (s.stored(column)) {
    case Statement::Stored::Null:
        return QString();
    case Statement::Stored::Number:
        return QString::number(s.number(column), 'g', 15);
    case Statement::Stored::Text:
        text = QString::fromStdString(s.bytes(column));
        break;
    case Statement::Stored::Blob: {
        const std::string bytes = s.bytes(column);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (utf8.hasError())
            text = QStringLiteral("0x") + QString::fromLatin1(QByteArray(bytes.data(), qsizetype(bytes.size())).toHex());
        break;
    }
    }
    constexpr int Longest = 20;
    return text.size() > Longest ? text.left(Longest) + QStringLiteral("…") : text;
}

void checkMovements(Store &store, const QString &where, const Params &params)
{
    checkMovements(store, where, params, Progress());
}

void checkMovements(Store &store, const QString &where, const Params &params, const Progress &progress)
{
    // Reading every movement again costs about half a grouped pass over them, so a table found
    // right is remembered on the connection (in a temporary table, gone with the connection) with
    // SQLite's data version, which changes when another connection commits: this program writes
    // only values it checked, another program may write anything.
    const QVariant version = store.dataVersion();
    const Params v{{QStringLiteral("v"), version}};
    if (!version.isNull()) {
        store.exec(QStringLiteral("create temp table if not exists tolva_movements_right(version)"));
        if (store.scalar(QStringLiteral("select count(*) from temp.tolva_movements_right where version=:v"), v).toInt() > 0)
            return;
    }

    QString condition = store.notADate(QStringLiteral("datea"));
    for (const char *c : {"a1", "b1", "bl", "a2", "a8"})
        condition += QStringLiteral(" or ") + store.notANumber(QLatin1String(c));
    const QString sql = QStringLiteral("select rowid from czbnow where (") + condition + QLatin1Char(')');
    const QString first = QStringLiteral(" order by rowid limit 1");
    bool found = false;
    if (!progress) {
        found = !store.scalar(sql + first).isNull();
    } else {
        const QString text = QStringLiteral("正在检查租赁明细……");
        const auto ranges = rowidRanges(store, QStringLiteral("czbnow"));
        for (int i = 0; i < ranges.size() && !found; ++i) {
            reportProgress(progress, i, int(ranges.size()), text);
            found = !store.scalar(sql + QStringLiteral(" and rowid >= :rowidFrom and rowid <= :rowidTo") + first,
                                  {{QStringLiteral("rowidFrom"), ranges[i].first},
                                   {QStringLiteral("rowidTo"), ranges[i].second}})
                         .isNull();
        }
        if (!found)
            reportProgress(progress, int(ranges.size()), int(ranges.size()), text);
    }
    if (!found) {
        if (!version.isNull()) {
            store.exec(QStringLiteral("delete from temp.tolva_movements_right"));
            store.exec(QStringLiteral("insert into temp.tolva_movements_right(version) values(:v)"), v);
        }
        return;
    }
    // A faulty movement somewhere: is it among those read?
    const QVariant rowid =
        store.scalar(sql + (where.isEmpty() ? QString() : QStringLiteral(" and (") + where + QLatin1Char(')')) + first,
                     params);
    if (!rowid.isNull())
        badMovement(store, rowid.toLongLong());
}

void badMovement(Store &store, qint64 rowid)
{
    Statement row(store, QStringLiteral("select numa,namea,gg,datea,a1,b1,bl,a2,a8 from czbnow where rowid=?"));
    row.bind(0, double(rowid));
    if (!row.next())
        throw BadValue(QStringLiteral("租赁明细中有一条记录的数值无效。"));
    const QString numa = QStringLiteral("合同") + row.text(0).trimmed();
    const QString material = words({row.text(1), row.text(2)});
    if (!isDate(row, 3)) {
        const QString date = shown(row, 3);
        throw BadValue(words({numa, material}) + QStringLiteral("：") +
                       (date.trimmed().isEmpty()
                            ? QStringLiteral("日期为空，不是有效的日期。")
                            : QStringLiteral("日期“") + date + QStringLiteral("”不是有效的日期。")));
    }
    const QString where = words({numa, row.text(3), material});
    const Column columns[] = {{4, u"发出数量"}, {5, u"回收数量"}, {6, u"换算比率"}, {7, u"换算数量"}, {8, u"报停天数"}};
    for (const Column &c : columns)
        if (!isNumber(row, c.index))
            throw BadValue(numberMessage(where, QString::fromUtf16(c.label), shown(row, c.index)));
    throw BadValue(where + QStringLiteral("：这条租赁明细有无效的数值。"));
}

QString priceMessage(const QString &material, const Statement &s, int column)
{
    return numberMessage(QStringLiteral("材料") + material.trimmed(), QStringLiteral("单价"), shown(s, column));
}

QString priceFault(Store &store)
{
    Statement read(store, QStringLiteral("select namea,dj from sp1 where ") + store.notANumber(QStringLiteral("dj")) +
                              QStringLiteral(" order by rowid limit 1"));
    return read.next() ? priceMessage(read.text(0), read, 1) : QString();
}

QString moneyFault(Store &store, const QString &table)
{
    return store.notANumber(table.startsWith(QLatin1String("sp")) ? QStringLiteral("a1") : QStringLiteral("a4"));
}

void badMoney(Store &store, const QString &table, qint64 rowid)
{
    const bool payment = table.startsWith(QLatin1String("sp"));
    // A payment is told by its date, a fee by its material and reason.
    Statement row(store, QStringLiteral("select numa,%1 from %2 where rowid=?")
                             .arg(payment ? QStringLiteral("datea,'',a1") : QStringLiteral("namea,a1,a4"), table));
    row.bind(0, double(rowid));
    if (!row.next())
        throw BadValue(QStringLiteral("收费记录中有一条记录的金额无效。"));
    const QString kind = table == QLatin1String("sp3")    ? QStringLiteral("押金")
                         : table == QLatin1String("sp4")  ? QStringLiteral("已交租金")
                         : table == QLatin1String("czb1") ? QStringLiteral("维修费")
                                                          : QStringLiteral("赔偿费");
    throw BadValue(numberMessage(words({QStringLiteral("合同") + row.text(0).trimmed(), kind, row.text(1), row.text(2)}),
                                 QStringLiteral("金额"), shown(row, 3)));
}

void checkOtherCharges(Store &store, const QString &where, const Params &params)
{
    const Rows rows = store.select(QStringLiteral("select rowid from sp2 where (") + where + QStringLiteral(") and ") +
                                       store.notANumber(QStringLiteral("a2")) + QStringLiteral(" order by rowid limit 1"),
                                   params);
    if (rows.isEmpty())
        return;
    Statement read(store, QStringLiteral("select numa,a2 from sp2 where rowid=?"));
    read.bind(0, rows.rows.first()[0].toDouble());
    if (read.next())
        throw BadValue(numberMessage(QStringLiteral("合同") + read.text(0).trimmed(), QStringLiteral("其它收费金额"),
                                     shown(read, 1)));
}

} // namespace tolva::settlement
