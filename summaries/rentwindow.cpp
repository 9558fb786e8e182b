#include "rentwindow.h"
#include "ui_summarywindow.h"

#include "rentsummary.h"
#include "widgets/context.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace tolva::summaries {

Tczbhz1::Tczbhz1(Context &context, QWidget *parent)
    : SummaryWindow(context, parent, QStringLiteral("数据汇总(租赁费用结算表)"), QStringLiteral("b10"))
{
    setObjectName(QStringLiteral("czbhz1"));
    auto *layout = new QHBoxLayout(ui->choicePanel);
    layout->setContentsMargins(12, 0, 0, 0);
    check2_ = new QGroupBox(QStringLiteral("请选择租赁材料显示方式"), ui->choicePanel);
    check2_->setObjectName(QStringLiteral("check2"));
    auto *choices = new QHBoxLayout(check2_);
    all_ = new QRadioButton(QStringLiteral("全部材料"), check2_);
    all_->setObjectName(QStringLiteral("check2_all"));
    one_ = new QRadioButton(QStringLiteral("分类材料"), check2_);
    one_->setObjectName(QStringLiteral("check2_one"));
    all_->setChecked(true);
    choices->addWidget(all_);
    choices->addWidget(one_);
    layout->addWidget(check2_);
    layout->addWidget(new QLabel(QStringLiteral("请选择分类材料名称:"), ui->choicePanel));
    box1_ = new QComboBox(ui->choicePanel);
    box1_->setObjectName(QStringLiteral("box1"));
    box1_->setMaxVisibleItems(15);
    box1_->setMinimumWidth(120);
    box1_->setEnabled(false);
    layout->addWidget(box1_);
    connect(one_, &QRadioButton::toggled, box1_, &QComboBox::setEnabled);

    const QString money = QStringLiteral("#0.00;-#0.00;#");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    ui->DBGrid2->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft | Qt::AlignVCenter, 150},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft | Qt::AlignVCenter, 80},
                             {QStringLiteral("A1"), QStringLiteral("租金费"), money, right, 90},
                             {QStringLiteral("A2"), QStringLiteral("维修费"), money, right, 80},
                             {QStringLiteral("A3"), QStringLiteral("赔偿费"), money, right, 80},
                             {QStringLiteral("A4"), QStringLiteral("已交押金(银行)"), money, right, 110},
                             {QStringLiteral("A5"), QStringLiteral("已交押金(现金)"), money, right, 110},
                             {QStringLiteral("A6"), QStringLiteral("已交租金(银行)"), money, right, 110},
                             {QStringLiteral("A7"), QStringLiteral("已交租金(现金)"), money, right, 110},
                             {QStringLiteral("A8"), QStringLiteral("应收租金"), money, right, 100},
                             {QStringLiteral("A9"), QStringLiteral("是否结帐"), QString(), Qt::AlignCenter, 70}});
}

QString Tczbhz1::chosenMaterial() const
{
    return one_->isChecked() ? box1_->currentText() : QString();
}

void Tczbhz1::activateSummary()
{
    // The materials again, keeping the one chosen.
    const QString chosen = box1_->currentText();
    const QSignalBlocker block(box1_);
    box1_->clear();
    for (const auto &row : context().store().select(QStringLiteral("select namea from sp1 order by rowid")).rows)
        box1_->addItem(row[0].toString());
    const int at = box1_->findText(chosen);
    box1_->setCurrentIndex(at >= 0 ? at : (box1_->count() > 0 ? 0 : -1));
}

Outcome Tczbhz1::run(const QVector<Contract> &contracts, const QDate &cutoff, const Progress &progress)
{
    const QString material = chosenMaterial();
    const Outcome outcome =
        runRentSummary(context().store(), contracts, cutoff, chosenMethod(context().store()), material, progress);
    runMaterial_ = material;
    return outcome;
}

void Tczbhz1::openSummary(Dataset &summary)
{
    openRentSummary(summary);
}

Print Tczbhz1::print(const QDate &cutoff)
{
    return rentPrint(summary(), context().settings(), cutoff, runMaterial_);
}

} // namespace tolva::summaries
