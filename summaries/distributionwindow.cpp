#include "distributionwindow.h"
#include "ui_summarywindow.h"

#include "distribution.h"
#include "stockchart.h"
#include "export/chartwindow.h"
#include "widgets/context.h"

#include <QPushButton>

namespace tolva::summaries {

namespace {

constexpr int FirstMaterialColumn = 5;

QList<GridColumn> columns(const QStringList &materials)
{
    const QString money = QStringLiteral("#0.00;-#0.00;#");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    QList<GridColumn> c{{QStringLiteral("khm"), QStringLiteral("单位名称"), QString(), Qt::AlignLeft | Qt::AlignVCenter, 150},
                        {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft | Qt::AlignVCenter, 80},
                        {QStringLiteral("Tem2"), QStringLiteral("维修费"), money, right, 70},
                        {QStringLiteral("Tem4"), QStringLiteral("赔偿费"), money, right, 70},
                        {QStringLiteral("A0"), QStringLiteral("押金"), money, right, 80}};
    for (int k = 1; k <= 15; ++k)
        c << GridColumn{QStringLiteral("a%1").arg(k), k <= materials.size() ? materials[k - 1] : QStringLiteral("材料名称"),
                        money, right, 75};
    c << GridColumn{QStringLiteral("A20"), QStringLiteral("日租金"), money, right, 80}
      << GridColumn{QStringLiteral("A21"), QStringLiteral("累计租金"), money, right, 90}
      << GridColumn{QStringLiteral("A22"), QStringLiteral("已交租金"), money, right, 90}
      << GridColumn{QStringLiteral("A23"), QStringLiteral("应收租金"), money, right, 90}
      << GridColumn{QStringLiteral("Tem1"), QStringLiteral("是否结账"), QString(), Qt::AlignCenter, 70};
    return c;
}

} // namespace

Tczbhz::Tczbhz(Context &context, QWidget *parent)
    : SummaryWindow(context, parent, QStringLiteral("数据汇总(租赁材料分布表)"), QStringLiteral("b9"))
{
    setObjectName(QStringLiteral("czbhz"));
    ui->choicePanel->hide();
    // The pictures of the summary, beside its print button.
    auto *chart = new QPushButton(QStringLiteral("图表(&T)"), this);
    chart->setObjectName(QStringLiteral("btn_chart"));
    ui->bottomLayout->insertWidget(ui->bottomLayout->indexOf(ui->BitBtn1) + 1, chart);
    on(chart, &QPushButton::clicked, &Tczbhz::btn_chartClick);
}

void Tczbhz::btn_chartClick()
{
    Dataset &rows = summary();
    if (!rows.isOpen() || rows.rowCount() == 0) {
        message(QStringLiteral("没有数据,无法显示图表！"));
        return;
    }
    ChartWindow window(context(), windowTitle(), this);
    window.addChart(QStringLiteral("材料在租数量"), hiredChart(rows, materials_));
    window.addChart(QStringLiteral("应收租金"), receivablesChart(rows));
    context().interaction().exec(&window);
}

void Tczbhz::activateSummary()
{
    materials_ = summaryMaterials(context().store());
    ui->DBGrid2->setColumns(columns(materials_));
    for (int k = 1; k <= 15; ++k)
        ui->DBGrid2->setColumnHidden(FirstMaterialColumn + k - 1, k > materials_.size());
}

Outcome Tczbhz::run(const QVector<Contract> &contracts, const QDate &cutoff, const Progress &progress)
{
    return runDistribution(context().store(), contracts, cutoff, chosenMethod(context().store()), progress);
}

void Tczbhz::openSummary(Dataset &summary)
{
    openDistribution(summary);
}

Print Tczbhz::print(const QDate &cutoff)
{
    return distributionPrint(summaryMaterials(context().store()), summary(), context().settings(), cutoff);
}

} // namespace tolva::summaries
