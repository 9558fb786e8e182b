#pragma once

#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsp1;
}

namespace tolva {

// The material names: daily price, opening stock and printed decimals of each material, at most
// fifteen. The rules (limit, unique name, the rename carried into every copy) are in
// materialrules.h.
class Tsp1 : public MaintenanceScreen {
    Q_OBJECT
public:
    explicit Tsp1(Context &context, QWidget *parent = nullptr);
    ~Tsp1() override;

    void FormActivate() override;
    Dataset &materials() { return query1_; }

protected:
    bool startEdit() override;
    bool startAdd() override;
    bool save() override;
    void cancel() override;
    void remove() override;

private:
    void showCurrent();
    int decimals() const;
    void setDecimals(int index);

    std::unique_ptr<Ui::Tsp1> ui;
    Dataset query1_;
    // The daily price as the row had it when its edit began.
    QVariant priceBefore_;
};

} // namespace tolva
