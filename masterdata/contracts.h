#pragma once

#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsp2;
}

namespace tolva {

// The contracts: customer, number, settled flag and hire period. The rules (period against the
// movements, unique number, the renaming and deleting that reach the contract's other rows) are in
// contractrules.h; this screen wires the controls to them.
class Tsp2 : public MaintenanceScreen {
    Q_OBJECT
public:
    explicit Tsp2(Context &context, QWidget *parent = nullptr);
    ~Tsp2() override;

    void FormActivate() override;
    void Edit1Change();
    void btn1_printClick();
    Dataset &contracts() { return query1_; }

protected:
    bool startEdit() override;
    bool startAdd() override;
    bool save() override;
    void cancel() override;
    void remove() override;
    void afterAction() override;

private:
    void showDates();
    void settledChanged();

    std::unique_ptr<Ui::Tsp2> ui;
    Dataset query1_;
    QString oldKhm_, oldNuma_;
    bool showing_ = false;
};

} // namespace tolva
