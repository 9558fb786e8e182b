#include "login.h"
#include "mainmenu.h"
#include "splash.h"

#include "screens.h"
#include "printing/printaction.h"
#include "summaries/commandline.h"
#include "store/store.h"
#include "widgets/context.h"
#include "widgets/interaction.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>

// Program entry: splash, the tables of the folder the program is started in (created on the first
// start), the login, then the main menu.
int main(int argc, char *argv[])
{
    if (tolva::summaries::isSummaryCommand(argc, argv))
        return tolva::summaries::summaryCommand(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolva"));
    QApplication::setQuitOnLastWindowClosed(false);

    tolva::Tsbstart splash;
    splash.show();
    app.processEvents();

    std::unique_ptr<tolva::Store> store;
    try {
        store = std::make_unique<tolva::Store>(QDir::currentPath());
    } catch (const tolva::StoreError &e) {
        QMessageBox::critical(nullptr, tolva::Interaction::caption(), e.text());
        return 1;
    }
    tolva::DesktopInteraction interaction;
    tolva::Context context(*store, interaction);
    tolva::previewWindow(context); // the preview lives for the whole run
    tolva::Tsbpass login(context);
    tolva::Tsbmain menu(context);
    tolva::addScreens(menu, context);

    QObject::connect(&login, &tolva::Tsbpass::loggedIn, &menu, [&menu] {
        menu.Timer1Timer();
        // The whole screen, also where no window manager maximises windows.
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            menu.setGeometry(screen->availableGeometry());
        menu.showMaximized();
        menu.FormActivate();
    });

    splash.close();
    login.show();
    return app.exec();
}
