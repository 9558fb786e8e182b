#pragma once

#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsrf;
}

namespace tolva {

// The choice of the input method that entry fields switch to when they receive the focus.
class Tsrf : public Screen {
    Q_OBJECT
public:
    explicit Tsrf(Context &context, QWidget *parent = nullptr);
    ~Tsrf() override;

    void FormActivate() override;
    void btn_yesClick();

private:
    std::unique_ptr<Ui::Tsrf> ui;
    Dataset query1_;
};

} // namespace tolva
