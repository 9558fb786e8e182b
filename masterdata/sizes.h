#pragma once

#include "masterdata/sizerules.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsp5;
}

namespace tolva {

// The specifications of each material: unit, conversion unit and conversion ratio. The rules
// (completeness, duplicates, changes carried into the movements) are in sizerules.h.
class Tsp5 : public MaintenanceScreen {
    Q_OBJECT
public:
    static QString inputMethod() { return QStringLiteral("青禾五笔2"); }

    explicit Tsp5(Context &context, QWidget *parent = nullptr);
    ~Tsp5() override;

    void FormActivate() override;
    void btn1_printClick();
    Dataset &materials() { return materials_; }
    Dataset &specifications() { return query1_; }

protected:
    bool startEdit() override;
    bool startAdd() override;
    bool save() override;
    void remove() override;
    void afterAction() override;

private:
    void openSpecifications();
    QString material() const;

    std::unique_ptr<Ui::Tsp5> ui;
    Dataset materials_;
    Dataset query1_;
    Dataset report_;
    sizes::Size old_;
};

} // namespace tolva
