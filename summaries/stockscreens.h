#pragma once

#include "store/dataset.h"
#include "summaries/stock.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tkccx;
class Tkccx1;
class Tczblrnowcx;
} // namespace Ui

namespace tolva {

// The stock of every material: counted again each time the window becomes active.
class Tkccx : public Screen {
    Q_OBJECT
public:
    explicit Tkccx(Context &context, QWidget *parent = nullptr);
    ~Tkccx() override;
    void FormActivate() override;
    void btn1_editClick();
    void btn1_chartClick();
    Dataset &stock() { return query1_; }

private:
    std::unique_ptr<Ui::Tkccx> ui;
    Dataset query1_;
};

// What each customer still holds, per material, over the listed contracts.
class Tkccx1 : public Screen {
    Q_OBJECT
public:
    explicit Tkccx1(Context &context, QWidget *parent = nullptr);
    ~Tkccx1() override;
    void FormActivate() override;
    void btn1_addClick();
    void btn1_editClick();
    Dataset &contracts() { return query1_; }
    Dataset &balances() { return query2_; }

private:
    void search();
    void reorder();
    std::unique_ptr<Ui::Tkccx1> ui;
    Dataset query1_, query2_;
};

// The movements by specification of one contract or of all, per row or summed.
class Tczblrnowcx : public Screen {
    Q_OBJECT
public:
    explicit Tczblrnowcx(Context &context, QWidget *parent = nullptr);
    ~Tczblrnowcx() override;
    void FormActivate() override;
    void btn1_printClick();
    Dataset &contracts() { return query2_; }
    Dataset &rows() { return query1_; }
    details::Choice choice() const;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void compute();
    void search();
    void choiceChanged();
    std::unique_ptr<Ui::Tczblrnowcx> ui;
    Dataset query1_, query2_, materials_;
    bool adjusting_ = false;
};

} // namespace tolva
