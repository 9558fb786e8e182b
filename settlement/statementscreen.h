#pragma once

#include "settlement.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tczbcx;
}

namespace tolva {

// The statement window: runs the calculation method of the settings on every activation, shows the
// statement rows with how each rent came about, the contract's money and its print data, and
// prints the statement. The contract is the current row of the chooser's list.
class Tczbcx : public Screen {
    Q_OBJECT
public:
    Tczbcx(Context &context, Dataset &contract, QWidget *parent = nullptr);
    ~Tczbcx() override;

    // The contract, period and money the chooser's preparation gave.
    void setStatement(const settlement::Request &request, const settlement::Preparation &preparation);

    void FormActivate() override;
    void btn1_addClick();
    void btn1_delClick();
    void com1Click(int index);
    void Edit5Exit();
    void Edit6Exit();
    void Edit8Exit();
    void UpDown5Click(int value);
    void CheckBox1Click(bool checked);

    Dataset &rows() { return query1_; }
    settlement::Result result() const { return result_; }

protected:
    // However the window closes, its statement rows go first.
    void done(int result) override;

private:
    void run(const QString &material);
    void showExplanation();

    std::unique_ptr<Ui::Tczbcx> ui;
    Dataset &contract_;
    Dataset query1_;
    settlement::Request request_;
    settlement::Totals totals_;
    // The contract's czb rows as the preparation made them; czb holds them while this window is up.
    std::shared_ptr<const QVector<settlement::Movement>> movements_;
    settlement::Method method_ = settlement::Method::StartDayFree;
    settlement::Result result_ = settlement::Result::Czbtem;
    QVector<settlement::Carry> carries_;
    bool leaving_ = false;
};

} // namespace tolva
