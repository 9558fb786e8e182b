#pragma once

#include "summarywindow.h"

class QComboBox;
class QGroupBox;
class QRadioButton;

namespace tolva::summaries {

// "数据汇总(租赁费用结算表)": the rent of each open contract up to the cut-off date (of all
// materials or of one), its fees, deposits and rent received by bank and in cash, and what it owes.
class Tczbhz1 : public SummaryWindow {
    Q_OBJECT
public:
    explicit Tczbhz1(Context &context, QWidget *parent = nullptr);

    // The chosen material; empty while "全部材料" is chosen.
    QString chosenMaterial() const;

protected:
    Outcome run(const QVector<Contract> &contracts, const QDate &cutoff, const Progress &progress) override;
    void openSummary(Dataset &summary) override;
    Print print(const QDate &cutoff) override;
    QString emptyPrintMessage() const override { return QStringLiteral("没有数据,无法打印！"); }
    void activateSummary() override;

private:
    QGroupBox *check2_;
    QRadioButton *all_, *one_;
    QComboBox *box1_;
    QString runMaterial_;
};

} // namespace tolva::summaries
