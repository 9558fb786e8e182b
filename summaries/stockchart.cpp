#include "stockchart.h"

#include "store/dataset.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QHorizontalBarSeries>
#include <QBarSet>
#include <QChart>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tolva {

namespace {

// Round steps on a value axis, printed without decimals when they are whole ("5000", not "5000.0").
void roundSteps(QValueAxis *axis)
{
    axis->applyNiceNumbers();
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    const bool whole = step == std::floor(step) && axis->min() == std::floor(axis->min());
    axis->setLabelFormat(whole ? QStringLiteral("%.0f") : QStringLiteral("%.2f"));
}

} // namespace

QChart *stockChart(const Dataset &stock)
{
    auto *yard = new QBarSet(QStringLiteral("库存"));
    auto *hired = new QBarSet(QStringLiteral("在租"));
    QStringList materials;
    const int name = stock.fieldIndex(QStringLiteral("namea"));
    const int now = stock.fieldIndex(QStringLiteral("nowkc"));
    const int sent = stock.fieldIndex(QStringLiteral("kc1"));
    const int returned = stock.fieldIndex(QStringLiteral("kc2"));
    for (int r = 0; r < stock.rowCount(); ++r) {
        materials << stock.valueAt(r, name).toString();
        *yard << stock.valueAt(r, now).toDouble();
        *hired << stock.valueAt(r, sent).toDouble() - stock.valueAt(r, returned).toDouble();
    }
    auto *series = new QStackedBarSeries;
    series->append(yard);
    series->append(hired);

    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("租赁材料库存与在租数量"));
    chart->addSeries(series);
    auto *categories = new QBarCategoryAxis;
    categories->append(materials);
    chart->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    auto *quantities = new QValueAxis;
    quantities->setTitleText(QStringLiteral("数量"));
    chart->addAxis(quantities, Qt::AlignLeft);
    series->attachAxis(quantities);
    roundSteps(quantities);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

namespace {

QChart *barChart(const QString &title, QAbstractBarSeries *series, const QStringList &categories, bool horizontal)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->addSeries(series);
    auto *names = new QBarCategoryAxis;
    names->append(categories);
    auto *values = new QValueAxis;
    chart->addAxis(names, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(values);
    roundSteps(values);
    chart->legend()->setVisible(false);
    return chart;
}

} // namespace

QChart *hiredChart(const Dataset &summary, const QStringList &materials)
{
    auto *hired = new QBarSet(QStringLiteral("在租数量"));
    for (int k = 1; k <= materials.size(); ++k) {
        const int field = summary.fieldIndex(QStringLiteral("a%1").arg(k));
        double total = 0;
        for (int r = 0; r < summary.rowCount(); ++r)
            total += summary.valueAt(r, field).toDouble();
        *hired << total;
    }
    auto *series = new QBarSeries;
    series->append(hired);
    return barChart(QStringLiteral("各材料在租数量"), series, materials, false);
}

QChart *receivablesChart(const Dataset &summary)
{
    // Per customer: a customer with several contracts owes their sum.
    const int name = summary.fieldIndex(QStringLiteral("khm"));
    const int owed = summary.fieldIndex(QStringLiteral("a23"));
    QList<std::pair<double, QString>> byCustomer;
    for (int r = 0; r < summary.rowCount(); ++r) {
        const QString khm = summary.valueAt(r, name).toString();
        const double amount = summary.valueAt(r, owed).toDouble();
        auto it = std::find_if(byCustomer.begin(), byCustomer.end(), [&](const auto &p) { return p.second == khm; });
        if (it == byCustomer.end())
            byCustomer.append({amount, khm});
        else
            it->first += amount;
    }
    std::stable_sort(byCustomer.begin(), byCustomer.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    if (byCustomer.size() > 20)
        byCustomer.resize(20);
    // Horizontal bars are drawn from the bottom: the largest goes last to stand on top.
    auto *amounts = new QBarSet(QStringLiteral("应收租金"));
    QStringList customers;
    for (auto it = byCustomer.crbegin(); it != byCustomer.crend(); ++it) {
        customers << it->second;
        *amounts << it->first;
    }
    auto *series = new QHorizontalBarSeries;
    series->append(amounts);
    return barChart(QStringLiteral("应收租金最多的二十个客户"), series, customers, true);
}

} // namespace tolva
