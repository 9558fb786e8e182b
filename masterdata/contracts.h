#pragma once

#include "store/dataset.h"

#include "widgets/maintenance.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Tsp2;
}

namespace tolva {

class Context;

// The contracts: customer, number, settled flag and hire period. A change of customer name or
// number is carried into the tables that copy them; a period must hold the contract's movements;
// only settled contracts can be deleted, with their movements and payments.
class Tsp2 : public MaintenanceDialog {
    Q_OBJECT
public:
    explicit Tsp2(Context &context, QWidget *parent = nullptr);
    ~Tsp2() override;

    void FormActivate() override;
    void Edit1Change();
    void btn1_printClick();
    Dataset &contracts() { return query1_; }


private:
    bool btn1_editClick();
    bool btn1_addClick();
    bool save();
    void cancel();
    void btn1_delClick();
    void showDates();
    void writeDates();
    void settledChanged();

    std::unique_ptr<Ui::Tsp2> ui;
    Context &context_;
    Dataset query1_;
    MaintenanceButtons *buttons_;
    QString oldKhm_, oldNuma_;
    bool showing_ = false;
};

} // namespace tolva
