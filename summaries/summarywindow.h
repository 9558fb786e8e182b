#pragma once

#include "contractlist.h"
#include "summaryprint.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class SummaryWindow;
}

namespace tolva::summaries {

// The frame the two summaries share: the unsettled contracts with their search, the cut-off
// date, the summary grid, the run with its progress dialog, the print button and the printed
// row height. Each summary supplies its run, its listing, its grid columns and its report.
class SummaryWindow : public Screen {
    Q_OBJECT
public:
    ~SummaryWindow() override;

    void FormActivate() override;
    void Edit1Change();
    void d1Change();
    void btn1_addClick();
    void BitBtn1Click();
    void UpDown5Click(int value);

    Dataset &contractList() { return list_; }
    Dataset &summary() { return summary_; }

protected:
    // `heightColumn` is the srf column holding the printed row height.
    SummaryWindow(Context &context, QWidget *parent, const QString &title, const QString &heightColumn);

    // The run over the listed contracts as of the cut-off date.
    virtual Outcome run(const QVector<Contract> &contracts, const QDate &cutoff, const Progress &progress) = 0;
    virtual void openSummary(Dataset &summary) = 0;
    virtual Print print(const QDate &cutoff) = 0;
    virtual QString emptyPrintMessage() const = 0;
    // Activation steps of the summary itself (grid titles, material list).
    virtual void activateSummary() {}

    std::unique_ptr<Ui::SummaryWindow> ui;

    bool holdsPending() const override { return running_; }

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showCustomer();

    Dataset list_, summary_;
    QString heightColumn_;
    QDate runCutoff_;
    bool running_ = false;
};

} // namespace tolva::summaries
