#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbabout;
}

namespace tolva {

// The about box: the maker's picture (a click closes the box), addresses and the program's version.
class Tsbabout : public Screen {
    Q_OBJECT
public:
    explicit Tsbabout(Context &context, QWidget *parent = nullptr);
    ~Tsbabout() override;

    static QString productTitle() { return QStringLiteral("建筑材料租赁管理系统"); }
    static QString version() { return QStringLiteral("V2004.04.23"); }

private:
    std::unique_ptr<Ui::Tsbabout> ui;
};

} // namespace tolva
