#include "statementprint.h"

#include "capitals.h"
#include "store/dataset.h"
#include "store/format.h"

#include <memory>
#include <utility>
#include <vector>

namespace tolva::settlement {

namespace {

// What names ask for, found by the identity of the name's text: a print asks with the same few
// names of its layout on every row, and comparing where their texts are beats hashing them. A name
// kept here holds its text, so another text cannot take its place.
template <class T> class ByName {
public:
    template <class Tell> T of(const QString &name, Tell tell)
    {
        for (const auto &[known, answer] : seen_)
            if (known.constData() == name.constData() && known.size() == name.size())
                return answer;
        const T answer = tell(name);
        if (seen_.size() < Most)
            seen_.emplace_back(name, answer);
        return answer;
    }

private:
    static constexpr std::size_t Most = 64;
    std::vector<std::pair<QString, T>> seen_;
};

// Values placed into the template are answered by name, so that a typed remark is printed as
// it is and never read as an expression.
QString placed(const QString &memo) { return QStringLiteral("[stmt_") + memo + QLatin1Char(']'); }

// A money amount as printed: two decimals, an empty cell for zero.
QString money(double v)
{
    return v == 0 ? QString() : format::money(v);
}

// A quantity with a number of decimals (sp1.numsb), zero shown blank as in the grid.
const QString &quantityPattern(int decimals)
{
    static const QStringList patterns = [] {
        QStringList out{QStringLiteral("#0;-#0;#")};
        for (int d = 1; d <= 4; ++d) {
            const QString zeros(d, QLatin1Char('0'));
            out << QStringLiteral("#0.") + zeros + QStringLiteral(";-#0.") + zeros + QStringLiteral(";#");
        }
        return out;
    }();
    return patterns[qBound(0, decimals, 4)];
}

struct RowState {
    explicit RowState(Store &store) : decimals(store) {}
    MaterialDecimals decimals;
    int shown = MaterialDecimals::Default; // the decimals of the row being printed
    QHash<QString, QVariant> values;
};

} // namespace

report::Template statementTemplate(const PrintData &data)
{
    report::Template t = report::Template::load(QStringLiteral("statement%1").arg(data.settings.layout + 1));
    for (const char *name : {"Memo24", "Memo55", "Memo54", "Memo57", "Memo56", "Memo53", "Memo59", "Memo58", "Memo46",
                             "Memo63"})
        if (report::Memo *m = t.memo(QLatin1String(name)))
            m->text = placed(QLatin1String(name));
    // The money block carries its own foot line; without it the grand total's foot line prints.
    if (!data.settings.moneyBlock) {
        for (int i = 0; i < t.bands.size(); ++i)
            if (t.bands[i].name == QLatin1String("bandend")) {
                t.bands.removeAt(i);
                break;
            }
    }
    for (const char *name : {"Memo43", "Memo44", "Memo45"})
        if (report::Memo *m = t.memo(QLatin1String(name)))
            m->visible = !data.settings.moneyBlock;
    return t;
}

report::Sources statementSources(Store &store, Dataset &rows, Dataset &contract, Dataset &titles,
                                 const PrintData &data)
{
    auto state = std::make_shared<RowState>(store);
    const QString dateForm = QStringLiteral("yyyy-mm-dd");
    auto &v = state->values;
    v.insert(QStringLiteral("Memo24"), QStringLiteral("日期从") + format::date(data.start, dateForm) +
                                           QStringLiteral("到") + format::date(data.end, dateForm) +
                                           QStringLiteral("止"));
    v.insert(QStringLiteral("Memo55"), money(data.totals.deposits));
    v.insert(QStringLiteral("Memo54"), money(data.totals.rentReceived));
    v.insert(QStringLiteral("Memo57"), money(data.totals.repairFees));
    v.insert(QStringLiteral("Memo56"), money(data.totals.scrapFees));
    v.insert(QStringLiteral("Memo53"), data.other.name);
    v.insert(QStringLiteral("Memo59"), money(data.other.amount));
    v.insert(QStringLiteral("Memo58"), money(format::round(data.amountDue(), 2)));
    v.insert(QStringLiteral("Memo46"), data.remark.trimmed());
    v.insert(QStringLiteral("Memo63"), capitals(data.amountDue()));

    report::Sources s;
    s.datasets.insert(QStringLiteral("Query1"), &rows);
    s.datasets.insert(QStringLiteral("czbcx1.Query1"), &contract);
    s.datasets.insert(QStringLiteral("dwm.Query1"), &titles);
    const int layout = data.settings.layout + 1;
    const StatementSettings settings = data.settings;
    Dataset *statement = &rows;
    // Which memo asks decides the answer; the kinds are told apart once per memo name.
    enum class Kind { Other, Quantity, Date, Interval };
    auto kindOf = [layout](const QString &memo) {
        static const QStringList quantities = {QStringLiteral("Memo10"), QStringLiteral("Memo20"),
                                               QStringLiteral("Memo30"), QStringLiteral("Memo40")};
        static const QStringList intervals = {QStringLiteral("Memo1041"), QStringLiteral("Memo1042"),
                                              QStringLiteral("Memo8")};
        if (quantities.contains(memo, Qt::CaseInsensitive))
            return Kind::Quantity;
        if (layout == 1 && memo.compare(QLatin1String("Memo5"), Qt::CaseInsensitive) == 0)
            return Kind::Date;
        if (layout == 3 && intervals.contains(memo, Qt::CaseInsensitive))
            return Kind::Interval;
        return Kind::Other;
    };
    auto kinds = std::make_shared<ByName<Kind>>();
    struct Fields {
        int numa, namea, a1, a2, a5, datea;
    };
    const Fields f{rows.fieldIndex(QStringLiteral("numa")), rows.fieldIndex(QStringLiteral("namea")),
                   rows.fieldIndex(QStringLiteral("a1")),   rows.fieldIndex(QStringLiteral("a2")),
                   rows.fieldIndex(QStringLiteral("a5")),   rows.fieldIndex(QStringLiteral("datea"))};
    auto lastRow = std::make_shared<int>(-1);
    // What a name asks for is told once per name, not by comparing texts on every row.
    enum class Asked { Value, Band2Height, Band3Height, Category, A1a, A1b, NameaAb, Row };
    auto asked = std::make_shared<ByName<Asked>>();
    auto askedOf = [](const QString &name) {
        if (name.startsWith(QLatin1String("stmt_")))
            return Asked::Value;
        static const std::pair<const char *, Asked> names[] = {
            {"band2_height", Asked::Band2Height}, {"band3_height", Asked::Band3Height},
            {"Category1", Asked::Category},       {"a1_a", Asked::A1a},
            {"a1_b", Asked::A1b},                 {"namea_ab", Asked::NameaAb}};
        for (const auto &[known, what] : names)
            if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
                return what;
        return Asked::Row;
    };
    s.hook = [state, layout, settings, statement, kindOf, kinds, f, lastRow, asked,
              askedOf](const QString &name, report::MemoState &memo) -> std::optional<QVariant> {
        const Asked what = asked->of(name, askedOf);
        switch (what) {
        case Asked::Value:
            return state->values.value(name.mid(5));
        case Asked::Band2Height:
            return settings.rowHeight;
        case Asked::Band3Height:
            return settings.totalHeight;
        case Asked::Category:
            return QString();
        default:
            break;
        }
        const Dataset &rows = *statement;
        const int r = rows.currentRow();
        if (r < 0)
            return std::nullopt;
        const Kind kind = kinds->of(memo.name, kindOf);
        const bool quantity = kind == Kind::Quantity;
        // The quantity cells (movement sent or returned, balance, the group's balance) show the
        // decimals of their material.
        if (quantity && r != *lastRow) {
            *lastRow = r;
            state->shown = state->decimals.of(rows.valueAt(r, f.numa).toString());
        }
        auto shown = [&](const QVariant &v) -> QVariant {
            if (!quantity || v.isNull())
                return v;
            return format::number(v.toDouble(), quantityPattern(state->shown));
        };
        const bool a1a = what == Asked::A1a;
        const bool a1b = what == Asked::A1b;
        if (a1a || a1b) {
            const QVariant a1 = rows.valueAt(r, f.a1);
            if (layout == 1)
                return a1b ? QVariant() : shown(a1);
            const double n = a1.isNull() ? 0 : a1.toDouble();
            if (a1a)
                return n > 0 ? shown(n) : QVariant();
            return n < 0 ? shown(-n) : QVariant();
        }
        switch (kind) {
        case Kind::Other:
            if (what == Asked::NameaAb)
                return rows.valueAt(r, f.namea);
            return std::nullopt;
        case Kind::Quantity:
            return shown(rows.valueAt(r, f.a2));
        case Kind::Date:
            if (rows.valueAt(r, f.datea).isNull() ||
                rows.valueAt(r, f.namea).toString() == QStringLiteral("上期结存"))
                return QString();
            return std::nullopt;
        case Kind::Interval: {
            const QVariant a5 = rows.valueAt(r, f.a5);
            if (a5.isNull() || a5.toDouble() == 0)
                return QString();
            return std::nullopt;
        }
        }
        return std::nullopt;
    };
    return s;
}

report::PreparedReport prepareStatement(Store &store, Result result, Dataset &contract, Dataset &titles,
                                        const QDate &start, const QDate &end, const Totals &totals,
                                        const QString &remark, const QDate &today)
{
    PrintData data;
    data.start = start;
    data.end = end;
    data.totals = totals;
    data.remark = remark;
    data.settings = statementSettings(store);
    data.other = otherChargeForPrint(Rights(Rights::dataEntry()), contract);
    data.totalRent = totalRent(store, result);
    Dataset rows(store);
    rows.open(QStringLiteral("select * from ") + tableName(result));
    if (rows.isEmpty())
        throw report::ReportError(QStringLiteral("没有数据,无法打印！"));
    report::Sources sources = statementSources(store, rows, contract, titles, data);
    sources.today = today;
    return report::prepare(statementTemplate(data), sources);
}

} // namespace tolva::settlement
