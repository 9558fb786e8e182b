#include "screens.h"

#include "mainmenu.h"

#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"

namespace tolva {

void addScreens(Tsbmain &menu, Context &context)
{
    menu.setScreen(QStringLiteral("N21"), [&context](QWidget *parent) {
        return std::make_unique<Tsp2>(context, parent);
    });
    menu.setScreen(QStringLiteral("N7"), [&context](QWidget *parent) {
        return std::make_unique<Tsp1>(context, parent);
    });
    menu.setScreen(QStringLiteral("N61"), [&context](QWidget *parent) {
        return std::make_unique<Tsp3>(context, parent);
    });
    menu.setScreen(QStringLiteral("N71"), [&context](QWidget *parent) {
        return std::make_unique<Tsp4>(context, parent);
    });
    menu.setScreen(QStringLiteral("N81"), [&context](QWidget *parent) {
        return std::make_unique<Tsp5>(context, parent);
    });
}

} // namespace tolva
