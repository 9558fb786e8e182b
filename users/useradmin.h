#pragma once

#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbpassset;
}

namespace tolva {

// The user administration: users listed with their rights and passwords (shown in clear, so the
// administrator can tell a user a forgotten one), edited in place, added in an add mode, deleted;
// the first row is the administrator's and keeps its name and right.
class Tsbpassset : public Screen {
    Q_OBJECT
public:
    explicit Tsbpassset(Context &context, QWidget *parent = nullptr);
    ~Tsbpassset() override;

    void FormActivate() override;
    void btn_addClick();
    void btn_delClick();
    void btn_exitClick();
    Dataset &users() { return query2_; }
    bool adding() const { return adding_; }

protected:
    bool holdsPending() const override { return adding_; }

private:
    void showRow();
    void write(const QString &field, const QString &value);
    void setAdding(bool adding);

    std::unique_ptr<Ui::Tsbpassset> ui;
    Dataset query2_;
    bool adding_ = false;
};

} // namespace tolva
