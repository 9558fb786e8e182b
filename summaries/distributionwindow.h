#pragma once

#include "summarywindow.h"

namespace tolva::summaries {

// "数据汇总(租赁材料分布表)": what each open contract still has on hire of each material, its
// daily and accumulated rent and what it owes, as of the cut-off date.
class Tczbhz : public SummaryWindow {
    Q_OBJECT
public:
    explicit Tczbhz(Context &context, QWidget *parent = nullptr);

protected:
    Outcome run(const QVector<Contract> &contracts, const QDate &cutoff, const Progress &progress) override;
    void openSummary(Dataset &summary) override;
    Print print(const QDate &cutoff) override;
    QString emptyPrintMessage() const override { return QStringLiteral("没有数据，无法打印！"); }
    void activateSummary() override;

private:
    void btn_chartClick();
    QStringList materials_;
};

} // namespace tolva::summaries
