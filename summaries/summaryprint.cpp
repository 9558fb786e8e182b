#include "summaryprint.h"

#include "store/dataset.h"

namespace tolva::summaries {

namespace {

QString settleType() { return QStringLiteral("结帐类型:未结帐"); }

// Answers the names the screen fills in: the material headings, the cut-off and settlement texts.
report::Sources sources(Dataset &summary, Dataset &settings, QHash<QString, QString> names)
{
    report::Sources s;
    s.datasets.insert(QStringLiteral("Query2"), &summary);
    s.datasets.insert(QStringLiteral("Qsrf"), &settings);
    s.hook = [names = std::move(names)](const QString &name, report::MemoState &) -> std::optional<QVariant> {
        const auto it = names.constFind(name.toLower());
        if (it == names.constEnd())
            return std::nullopt;
        return QVariant(*it);
    };
    return s;
}

} // namespace

void openDistribution(Dataset &summary)
{
    summary.close();
    summary.open(QStringLiteral("select * from czbhz order by tem1,numa"));
}

void openRentSummary(Dataset &summary)
{
    summary.close();
    summary.open(QStringLiteral("select * from czbhz1 order by a9,numa"));
}

QString cutoffText(const QDate &cutoff)
{
    return QStringLiteral("截止日期:%1年%2月%3日").arg(cutoff.year()).arg(cutoff.month()).arg(cutoff.day());
}

Print distributionPrint(const QStringList &materials, Dataset &summary, Dataset &settings, const QDate &cutoff)
{
    Print p;
    p.layout = report::Template::load(QStringLiteral("distribution"));
    if (materials.size() <= 6 && p.layout.designs.size() > 1)
        p.layout.designs.pop_back();
    QHash<QString, QString> names;
    for (int k = 1; k <= 15; ++k)
        names.insert(QStringLiteral("material%1").arg(k), k <= materials.size() ? materials[k - 1] : QString());
    names.insert(QStringLiteral("cutoff"), cutoffText(cutoff));
    names.insert(QStringLiteral("settletype"), settleType());
    p.sources = sources(summary, settings, names);
    return p;
}

Print rentPrint(Dataset &summary, Dataset &settings, const QDate &cutoff, const QString &material)
{
    Print p;
    p.layout = report::Template::load(QStringLiteral("rentsummary"));
    QHash<QString, QString> names;
    names.insert(QStringLiteral("cutoff"), cutoffText(cutoff));
    names.insert(QStringLiteral("settletype"), settleType() + QLatin1Char(',') +
                                                   (material.isEmpty() ? QStringLiteral("全部材料") : material));
    p.sources = sources(summary, settings, names);
    return p;
}

} // namespace tolva::summaries
