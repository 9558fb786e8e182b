#pragma once

#include "contract.h"
#include "store/dataset.h"
#include "widgets/screen.h"

#include <functional>
#include <memory>

namespace Ui {
class TczbChooser;
}

namespace tolva {

// Picks an unsettled contract and opens an entry screen for it, as often as the person likes:
// the movements (Tczblr1), the repair fees (Tczb1lr1) or the scrap compensation (Tczb2lr1).
class TczbChooser : public Screen {
    Q_OBJECT
public:
    using EntryScreen = std::function<QDialog *(Context &, const Contract &, QWidget *parent)>;
    struct Kind {
        QString name;    // object name
        QString caption; // window caption
        QString banner;
        bool hint;       // the grid's double-click hint
        EntryScreen open;
    };

    TczbChooser(Context &context, const Kind &kind, QWidget *parent = nullptr);
    ~TczbChooser() override;

    void FormActivate() override;
    void Edit1Change();
    void btn1_addClick();
    Dataset &contracts() { return query1_; }

private:
    std::unique_ptr<Ui::TczbChooser> ui;
    Kind kind_;
    Dataset query1_;
};

// Chooses the contract whose movements are entered.
class Tczblr1 : public TczbChooser {
    Q_OBJECT
public:
    explicit Tczblr1(Context &context, QWidget *parent = nullptr);
};

// Chooses the contract whose repair fees are entered.
class Tczb1lr1 : public TczbChooser {
    Q_OBJECT
public:
    explicit Tczb1lr1(Context &context, QWidget *parent = nullptr);
};

// Chooses the contract whose scrap compensation is entered.
class Tczb2lr1 : public TczbChooser {
    Q_OBJECT
public:
    explicit Tczb2lr1(Context &context, QWidget *parent = nullptr);
};

} // namespace tolva
