#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbpassjc;
}

namespace tolva {

class Tsbpasschange;
class Tsbpassset;

// The password check before the password change or the user administration: whoever knows a
// user's name and password reaches that user's window ("管理" the administration).
class Tsbpassjc : public Screen {
    Q_OBJECT
public:
    explicit Tsbpassjc(Context &context, QWidget *parent = nullptr);
    ~Tsbpassjc() override;

    void FormActivate() override;
    void btn_loginClick();

    Tsbpassset &administration() const { return *administration_; }
    Tsbpasschange &passwordChange() const { return *change_; }

private:
    std::unique_ptr<Ui::Tsbpassjc> ui;
    Tsbpassset *administration_;
    Tsbpasschange *change_;
};

} // namespace tolva
