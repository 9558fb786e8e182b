#pragma once

#include "widgets/screen.h"

#include <memory>

class QButtonGroup;

namespace Ui {
class Tczbp_setup;
}

namespace tolva {

// The print format of the settlement statement (srf.b6) and the calculation method (srf.b1);
// a click stores the choice at once, so the next statement uses it.
class Tczbp_setup : public Screen {
    Q_OBJECT
public:
    explicit Tczbp_setup(Context &context, QWidget *parent = nullptr);
    ~Tczbp_setup() override;

    void FormActivate() override;

private:
    void optionClicked(const QString &column, int position);

    std::unique_ptr<Ui::Tczbp_setup> ui;
    QButtonGroup *format_;
    QButtonGroup *method_;
};

} // namespace tolva
