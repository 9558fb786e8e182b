#include "stockchart.h"

#include "store/dataset.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QStackedBarSeries>
#include <QValueAxis>

namespace tolva {

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
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

} // namespace tolva
