#pragma once

#include "contract.h"
#include "movementrules.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tczblrnow;
}

namespace tolva {

// The day-by-day movements of one contract by specification (czbnow): pieces sent out and
// returned, and suspended days, for one material at a time (category view) or all of them read
// only (full view). The rules are in movementrules.h.
class Tczblrnow : public MaintenanceScreen {
    Q_OBJECT
public:
    Tczblrnow(Context &context, const Contract &contract, QWidget *parent = nullptr);
    ~Tczblrnow() override;

    void FormActivate() override;
    void com1Change(int index);
    void box1Change(int index);
    void RadioGroup1Click();
    void check2Click();

    const Contract &contract() const { return contract_; }
    Dataset &materials() { return materials_; }
    Dataset &movements() { return query1_; }
    Dataset &sizes() { return sizes_; }
    bool fullView() const;

protected:
    bool startEdit() override;
    bool startAdd() override;
    bool save() override;
    void cancel() override;
    void remove() override;
    void afterAction() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString material() const;
    void openMaterial();
    void openMovements();
    void showDate();
    void setDate(const QDate &date);
    void focusDate();
    QWidget *fieldWidget(const QString &field) const;

    std::unique_ptr<Ui::Tczblrnow> ui;
    Contract contract_;
    Dataset materials_;
    Dataset query1_;
    Dataset sizes_;
    QString chosen_;         // the material picked in com1, kept over re-activation
    QDate remembered_;       // d1 when editing or adding began, restored after a refused date
    movements::Before before_;
    bool filling_ = false;
};

} // namespace tolva
