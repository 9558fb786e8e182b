#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbpassb;
}

namespace tolva {

// The change of user while the program runs. Three wrong passwords leave no current user, so
// every data screen is read only until a change succeeds.
class Tsbpassb : public Screen {
    Q_OBJECT
public:
    explicit Tsbpassb(Context &context, QWidget *parent = nullptr);
    ~Tsbpassb() override;

    void FormActivate() override;
    void BitBtn1Click();
    int failures() const { return failures_; }

private:
    void combobox1Change(int index);

    std::unique_ptr<Ui::Tsbpassb> ui;
    int failures_ = 0;
    bool filling_ = false;
};

} // namespace tolva
