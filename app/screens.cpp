#include "screens.h"

#include "mainmenu.h"

#include "help/about.h"
#include "help/helpwindow.h"
#include "help/revizevar.h"
#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"

namespace tolva {

void addScreens(Tsbmain &menu, Context &context)
{
    menu.setScreen(QStringLiteral("N21"), [&context](QWidget *parent) { return new Tsp2(context, parent); });
    menu.setScreen(QStringLiteral("N7"), [&context](QWidget *parent) { return new Tsp1(context, parent); });
    menu.setScreen(QStringLiteral("N61"), [&context](QWidget *parent) { return new Tsp3(context, parent); });
    menu.setScreen(QStringLiteral("N71"), [&context](QWidget *parent) { return new Tsp4(context, parent); });
    menu.setScreen(QStringLiteral("N81"), [&context](QWidget *parent) { return new Tsp5(context, parent); });
    menu.setScreen(QStringLiteral("N110"), [&context](QWidget *parent) { return help::openHelp(context, parent); });
    menu.setScreen(QStringLiteral("N210"), [&context](QWidget *parent) { return new Trevizevar2(context, parent); });
    menu.setScreen(QStringLiteral("A1"), [&context](QWidget *parent) { return new Tsbabout(context, parent); });
    menu.setScreen(QStringLiteral("N35"), [&context](QWidget *parent) { return new Trevizevar1(context, parent); });
}

} // namespace tolva
