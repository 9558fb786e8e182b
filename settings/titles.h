#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tdwm;
}

namespace tolva {

// The company name and the print titles of the reports (the single row of dwm), edited in place
// and kept with "确定(&Y)", the only way out of the window.
class Tdwm : public Screen {
    Q_OBJECT
public:
    explicit Tdwm(Context &context, QWidget *parent = nullptr);
    ~Tdwm() override;

    void FormActivate() override;
    void BitBtn1Click();

private:
    void reopen();

    std::unique_ptr<Ui::Tdwm> ui;
};

} // namespace tolva
