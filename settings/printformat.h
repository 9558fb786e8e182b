#pragma once

#include "widgets/screen.h"

#include <memory>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;

namespace Ui {
class Tczbp_setup;
}

namespace tolva {

class DateField;

// The print format of the settlement statement (srf.b6) and the calculation method (srf.b1);
// a click stores the choice at once, so the next statement uses it.
class Tczbp_setup : public Screen {
    Q_OBJECT
public:
    explicit Tczbp_setup(Context &context, QWidget *parent = nullptr);
    ~Tczbp_setup() override;

    void FormActivate() override;

    // Sets the closing date typed (btn_zz) or opens every period (btn_zz0); moving the date back
    // asks for the reason first (the dialog "ReasonDialog").
    void closeClicked(bool open);

private:
    void optionClicked(const QString &column, int position);
    void showClosing();

    std::unique_ptr<Ui::Tczbp_setup> ui;
    QButtonGroup *format_;
    QButtonGroup *method_;
    QGroupBox *closing_;
    DateField *closingDate_;
    QLabel *closingShown_;
    QPushButton *close_, *open_;
};

} // namespace tolva
