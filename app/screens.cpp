#include "screens.h"

#include "mainmenu.h"

#include "backup/backupscreen.h"
#include "changelog/logwindow.h"
#include "entry/chooser.h"
#include "help/about.h"
#include "help/helpwindow.h"
#include "help/revizevar.h"
#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"
#include "summaries/distributionwindow.h"
#include "summaries/rentwindow.h"
#include "summaries/stockscreens.h"
#include "settings/inputmethod.h"
#include "settings/printformat.h"
#include "settings/titles.h"
#include "users/changeuser.h"
#include "users/passcheck.h"
#include "settlement/chooserscreen.h"

namespace tolva {

namespace {

// The menu item `id` opens a new S over the context.
template <class S> void add(Tsbmain &menu, const char *id, Context &context)
{
    menu.setScreen(QLatin1String(id), [&context](QWidget *parent) { return std::make_unique<S>(context, parent); });
}

} // namespace

void addScreens(Tsbmain &menu, Context &context)
{
    add<Tczblr1>(menu, "N11", context);
    add<Tczb1lr1>(menu, "N23", context);
    add<Tczb2lr1>(menu, "N32", context);
    add<Tsp2>(menu, "N21", context);
    add<Tsp1>(menu, "N7", context);
    add<Tsp3>(menu, "N61", context);
    add<Tsp4>(menu, "N71", context);
    add<Tsp5>(menu, "N81", context);
    add<Tkccx1>(menu, "N42", context);
    add<Tkccx>(menu, "N41", context);
    add<Tczblrnowcx>(menu, "N63", context);
    add<Tsbpassb>(menu, "N01", context);
    add<Tsbpassjc>(menu, "N17", context);
    add<Tsrf>(menu, "N22", context);
    add<Tdwm>(menu, "N31", context);
    add<Tczbp_setup>(menu, "N43", context);
    add<Trevizevar2>(menu, "N210", context);
    add<Tsbabout>(menu, "A1", context);
    add<Trevizevar1>(menu, "N35", context);
    menu.setScreen(QStringLiteral("N110"), [&context](QWidget *parent) {
        return std::unique_ptr<QDialog>(help::openHelp(context, parent));
    });
    add<Tczbcx1>(menu, "N14", context);
    add<Tsbrestor>(menu, "N62", context);
    add<Trzbcx>(menu, "N44", context);
    add<summaries::Tczbhz>(menu, "N24", context);
    add<summaries::Tczbhz1>(menu, "N33", context);
}

} // namespace tolva
