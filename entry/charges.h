#pragma once

#include "contract.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class TczbCharges;
}

namespace tolva {

// The charges of a contract besides rent: repair fees (Tczb1lr, czb1) or scrap compensation
// (Tczb2lr, czb2), one line per material, reason, quantity and unit price; the amount is computed.
// The rules are in chargerules.h.
class TczbCharges : public MaintenanceScreen {
    Q_OBJECT
public:
    struct Kind {
        QString table;   // czb1 or czb2
        QString caption; // window caption and banner
        QString reason;  // title of the reason column and field
        QString proposed; // reason of a new line
        QString title;   // dwm column of the report title
    };

    TczbCharges(Context &context, const Kind &kind, const Contract &contract, QWidget *parent = nullptr);
    ~TczbCharges() override;

    void FormActivate() override;
    void btn1_printClick();
    Dataset &lines() { return query1_; }
    Dataset &materials() { return materials_; }

protected:
    bool startEdit() override;
    bool startAdd() override;
    bool save() override;
    void remove() override;
    void afterAction() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showAmount();

    std::unique_ptr<Ui::TczbCharges> ui;
    Kind kind_;
    Contract contract_;
    Dataset materials_;
    Dataset query1_;
};

// Repair fees of a contract.
class Tczb1lr : public TczbCharges {
    Q_OBJECT
public:
    Tczb1lr(Context &context, const Contract &contract, QWidget *parent = nullptr);
};

// Scrap compensation of a contract.
class Tczb2lr : public TczbCharges {
    Q_OBJECT
public:
    Tczb2lr(Context &context, const Contract &contract, QWidget *parent = nullptr);
};

} // namespace tolva
