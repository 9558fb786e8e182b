#pragma once

#include "store/dataset.h"

#include "widgets/maintenance.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Tsp1;
}

namespace tolva {

class Context;

// The material names: daily price, opening stock and printed decimals of each material, at most
// fifteen. A rename is carried into every table that holds a copy of the name.
class Tsp1 : public MaintenanceDialog {
    Q_OBJECT
public:
    static constexpr int MaxMaterials = 15;

    explicit Tsp1(Context &context, QWidget *parent = nullptr);
    ~Tsp1() override;

    void FormActivate() override;
    Dataset &materials() { return query1_; }


private:
    bool btn1_editClick();
    bool btn1_addClick();
    bool save();
    void cancel();
    void btn1_delClick();
    void showCurrent();
    int decimals() const;
    void setDecimals(int index);

    std::unique_ptr<Ui::Tsp1> ui;
    Context &context_;
    Dataset query1_;
    MaintenanceButtons *buttons_;
};

} // namespace tolva
