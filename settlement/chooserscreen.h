#pragma once

#include "settlement.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

class QButtonGroup;
class QTableWidgetItem;

namespace Ui {
class Tczbcx1;
}

namespace tolva {

class Tczbcx;

// The statement's chooser: an unsettled contract (with search), the prices of the materials, the
// date mode and the period. "确定(&Y)" runs the preparation and shows the statement window.
class Tczbcx1 : public Screen {
    Q_OBJECT
public:
    explicit Tczbcx1(Context &context, QWidget *parent = nullptr);
    ~Tczbcx1() override;

    void FormActivate() override;
    void Edit1Change();
    void DBGrid1Click();
    void DBGrid1DblClick();
    void check2Click();
    void btn1_addClick();

    Dataset &contracts() { return query1_; }
    int dateMode() const;
    // The statement window, once a preparation has shown it.
    Tczbcx *statementWindow() const { return statement_.get(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The unsettled contracts that the search text finds (all of them when it is empty).
    void openContracts();
    void showPrices();
    void priceEdited(QTableWidgetItem *item);
    void leavePrices();

    std::unique_ptr<Ui::Tczbcx1> ui;
    Dataset query1_;
    Dataset querysp1_;
    QButtonGroup *modes_;
    std::unique_ptr<Tczbcx> statement_;
    bool fillingPrices_ = false;
    bool checkingPrices_ = false;
    bool shown_ = false;
};

} // namespace tolva
