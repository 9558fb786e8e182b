#include "screens.h"

#include "mainmenu.h"

#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"
#include "summaries/distributionwindow.h"
#include "summaries/rentwindow.h"

namespace tolva {

void addScreens(Tsbmain &menu, Context &context)
{
    menu.setScreen(QStringLiteral("N21"), [&context](QWidget *parent) { return new Tsp2(context, parent); });
    menu.setScreen(QStringLiteral("N7"), [&context](QWidget *parent) { return new Tsp1(context, parent); });
    menu.setScreen(QStringLiteral("N61"), [&context](QWidget *parent) { return new Tsp3(context, parent); });
    menu.setScreen(QStringLiteral("N71"), [&context](QWidget *parent) { return new Tsp4(context, parent); });
    menu.setScreen(QStringLiteral("N81"), [&context](QWidget *parent) { return new Tsp5(context, parent); });
    menu.setScreen(QStringLiteral("N24"), [&context](QWidget *parent) { return new summaries::Tczbhz(context, parent); });
    menu.setScreen(QStringLiteral("N33"), [&context](QWidget *parent) { return new summaries::Tczbhz1(context, parent); });
}

} // namespace tolva
