#pragma once

#include "store/dataset.h"

#include "widgets/maintenance.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Tsp5;
}

namespace tolva {

class Context;

// The specifications of each material: unit, conversion unit and conversion ratio. Changes are
// carried into the movements that copied them; specifications in use cannot be deleted.
class Tsp5 : public MaintenanceDialog {
    Q_OBJECT
public:
    static QString inputMethod() { return QStringLiteral("青禾五笔2"); }

    explicit Tsp5(Context &context, QWidget *parent = nullptr);
    ~Tsp5() override;

    void FormActivate() override;
    void btn1_printClick();
    Dataset &materials() { return materials_; }
    Dataset &specifications() { return query1_; }


private:
    void openSpecifications();
    bool btn1_editClick();
    bool btn1_addClick();
    bool save();
    void btn1_delClick();
    bool complete() const;
    QString material() const;

    std::unique_ptr<Ui::Tsp5> ui;
    Context &context_;
    Dataset materials_;
    Dataset query1_;
    Dataset report_;
    MaintenanceButtons *buttons_;
    struct {
        QString gg, dw, dw1;
        QVariant bl;
    } old_;
};

} // namespace tolva
