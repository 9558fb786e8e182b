#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbpasschange;
}

namespace tolva {

// The change of one user's password, reached through the password check.
class Tsbpasschange : public Screen {
    Q_OBJECT
public:
    explicit Tsbpasschange(Context &context, QWidget *parent = nullptr);
    ~Tsbpasschange() override;

    // The user whose password changes: every row of this name.
    void setUser(const QString &name) { user_ = name; }
    QString user() const { return user_; }
    void btn_okClick();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    std::unique_ptr<Ui::Tsbpasschange> ui;
    QString user_;
};

} // namespace tolva
