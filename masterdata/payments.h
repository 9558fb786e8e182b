#pragma once

#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class TspPayments;
}

namespace tolva {

// Money received under a contract, by bank or in cash: deposits (Tsp3, sp3) or rent (Tsp4, sp4).
// The contract is chosen in a searchable list; payments are dated today and typed cash at first.
class TspPayments : public MaintenanceScreen {
    Q_OBJECT
public:
    struct Kind {
        QString table;   // sp3 or sp4
        QString caption; // window caption and banner
        QString amount;  // label of the amount field
        QString title;   // dwm column of the report title
    };

    TspPayments(Context &context, const Kind &kind, QWidget *parent = nullptr);
    ~TspPayments() override;

    void FormActivate() override;
    void Edit1Change();
    void btn1_printClick();
    Dataset &contracts() { return contracts_; }
    Dataset &payments() { return query1_; }

protected:
    bool startAdd() override;
    bool save() override;
    void cancel() override;
    void remove() override;

private:
    void openPayments();
    void showPayment();

    std::unique_ptr<Ui::TspPayments> ui;
    Kind kind_;
    Dataset contracts_;
    Dataset query1_;
    Dataset contract_; // the chosen contract, for the report's heading
    bool showing_ = false;
};

// Deposits.
class Tsp3 : public TspPayments {
    Q_OBJECT
public:
    explicit Tsp3(Context &context, QWidget *parent = nullptr);
};

// Rent received.
class Tsp4 : public TspPayments {
    Q_OBJECT
public:
    explicit Tsp4(Context &context, QWidget *parent = nullptr);
};

} // namespace tolva
