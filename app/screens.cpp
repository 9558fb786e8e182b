#include "screens.h"

#include "mainmenu.h"

#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"
#include "settlement/chooserscreen.h"

namespace tolva {

void addScreens(Tsbmain &menu, Context &context)
{
    menu.setScreen(QStringLiteral("N21"), [&context](QWidget *parent) { return new Tsp2(context, parent); });
    menu.setScreen(QStringLiteral("N7"), [&context](QWidget *parent) { return new Tsp1(context, parent); });
    menu.setScreen(QStringLiteral("N61"), [&context](QWidget *parent) { return new Tsp3(context, parent); });
    menu.setScreen(QStringLiteral("N71"), [&context](QWidget *parent) { return new Tsp4(context, parent); });
    menu.setScreen(QStringLiteral("N81"), [&context](QWidget *parent) { return new Tsp5(context, parent); });
    menu.setScreen(QStringLiteral("N14"), [&context](QWidget *parent) { return new Tczbcx1(context, parent); });
}

} // namespace tolva
