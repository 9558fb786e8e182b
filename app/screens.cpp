#include "screens.h"

#include "mainmenu.h"

#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"
#include "settings/inputmethod.h"
#include "settings/printformat.h"
#include "settings/titles.h"
#include "users/changeuser.h"
#include "users/passcheck.h"

namespace tolva {

void addScreens(Tsbmain &menu, Context &context)
{
    menu.setScreen(QStringLiteral("N21"), [&context](QWidget *parent) { return new Tsp2(context, parent); });
    menu.setScreen(QStringLiteral("N7"), [&context](QWidget *parent) { return new Tsp1(context, parent); });
    menu.setScreen(QStringLiteral("N61"), [&context](QWidget *parent) { return new Tsp3(context, parent); });
    menu.setScreen(QStringLiteral("N71"), [&context](QWidget *parent) { return new Tsp4(context, parent); });
    menu.setScreen(QStringLiteral("N81"), [&context](QWidget *parent) { return new Tsp5(context, parent); });
    menu.setScreen(QStringLiteral("N01"), [&context](QWidget *parent) { return new Tsbpassb(context, parent); });
    menu.setScreen(QStringLiteral("N17"), [&context](QWidget *parent) { return new Tsbpassjc(context, parent); });
    menu.setScreen(QStringLiteral("N22"), [&context](QWidget *parent) { return new Tsrf(context, parent); });
    menu.setScreen(QStringLiteral("N31"), [&context](QWidget *parent) { return new Tdwm(context, parent); });
    menu.setScreen(QStringLiteral("N43"), [&context](QWidget *parent) { return new Tczbp_setup(context, parent); });
}

} // namespace tolva
