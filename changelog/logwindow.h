#pragma once

#include "changes.h"
#include "store/dataset.h"
#include "widgets/screen.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace tolva {

class DataGrid;
class DateField;

// "操作日志查询": the change log's rows by date range, user, contract and table, each change
// written out field by field; printed through the preview and exported like every grid.
class Trzbcx : public Screen {
    Q_OBJECT
public:
    explicit Trzbcx(Context &context, QWidget *parent = nullptr);

    void FormActivate() override;
    // Looks again with the filter as typed.
    void btn1_addClick();
    void BitBtn1Click();

    changelog::LogFilter filter() const;
    Dataset &changes() { return changes_; }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    // Looks for the changes the filter finds, the log's users read again first when `users`.
    void find(bool users);

    DateField *d1_, *d2_;
    QComboBox *user_, *table_;
    QLineEdit *contract_;
    QPushButton *find_, *print_, *exit_;
    DataGrid *grid_;
    QStatusBar *status_;
    Dataset changes_;
};

} // namespace tolva
