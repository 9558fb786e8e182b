#include "login.h"
#include "mainmenu.h"
#include "splash.h"

#include "screens.h"
#include "servercli.h"
#include "startup.h"
#include "base/commandline.h"
#include "backup/backupcli.h"
#include "backup/backupscreen.h"
#include "settlement/statementcli.h"
#include "printing/printaction.h"
#include "settings/inputmethods.h"
#include "summaries/summarycli.h"
#include "widgets/context.h"
#include "widgets/guard.h"
#include "widgets/interaction.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

// Program entry: splash, the data folder (the one the program is started in, or from the desktop's
// menu the user's own; its tables created on the first start), the login, then the main menu.
int main(int argc, char *argv[])
{
    if (tolva::startedWith(argc, argv, {"--version"})) {
        std::printf("tolva %s\n", TOLVA_VERSION);
        return 0;
    }

    if (!tolva::takeDatabaseOption(argc, argv))
        return 1;
    if (tolva::isServerCommand(argc, argv))
        return tolva::runServerCommand(argc, argv);

    // A command-line mode works on the folder like a program: not while another one is using it.
    if (tolva::isStatementCommand(argc, argv) || tolva::isBackupCommand(argc, argv) ||
        tolva::summaries::isSummaryCommand(argc, argv)) {
        QString refusal;
        const auto lock = tolva::lockFolder(QDir::currentPath(), refusal);
        if (!lock) {
            std::fprintf(stderr, "%s\n", refusal.toLocal8Bit().constData());
            return 1;
        }
        if (tolva::isBackupCommand(argc, argv))
            return tolva::runBackupCommand(argc, argv);
        if (tolva::summaries::isSummaryCommand(argc, argv))
            return tolva::summaries::runSummaryCommand(argc, argv);
        return tolva::runStatementCommand(argc, argv);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolva"));
    QApplication::setApplicationVersion(QStringLiteral(TOLVA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.tolva"));
    QApplication::setQuitOnLastWindowClosed(false);
    tolva::speakChinese(app);
    tolva::DesktopInteraction interaction(QDir::currentPath());

    // The menu entry says where it started the program: a menu's start folder is nobody's data.
    if (tolva::startedWith(argc, argv, {"--desktop"})) {
        QString refusal;
        const QString folder =
            tolva::desktopFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), refusal);
        if (folder.isEmpty() || !QDir::setCurrent(folder)) {
            interaction.error(nullptr, refusal.isEmpty() ? QStringLiteral("无法进入数据文件夹“%1”。").arg(folder)
                                                         : refusal);
            return 1;
        }
    }

    tolva::Tsbstart splash;
    splash.show();
    app.processEvents();

    tolva::Opened run = tolva::openFolder(QDir::currentPath(), interaction);
    if (!run.ok()) {
        splash.close();
        interaction.error(nullptr, run.refusal);
        return 1;
    }
    tolva::Context &context = *run.context;
    context.setInputMethods(std::make_unique<tolva::DesktopInputMethods>());
    std::unique_ptr<tolva::Tsbpass> login;
    std::unique_ptr<tolva::Tsbmain> menu;
    const bool built = tolva::guard(interaction, nullptr, [&] {
        tolva::previewWindow(context); // the preview lives for the whole run
        login = std::make_unique<tolva::Tsbpass>(context);
        menu = std::make_unique<tolva::Tsbmain>(context);
        tolva::addScreens(*menu, context);
    });
    splash.close();
    if (!built)
        return 1;
    for (const QString &restored : run.restored)
        context.interaction().message(nullptr, restored);

    tolva::Tsbmain *main = menu.get();
    QObject::connect(login.get(), &tolva::Tsbpass::loggedIn, main, [main] {
        main->Timer1Timer();
        // The whole screen, also where no window manager maximises windows.
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            main->setGeometry(screen->availableGeometry());
        main->showMaximized();
        // It takes the keys, also where no window manager gives them to a new window.
        main->activateWindow();
        main->FormActivate();
    });

    login->show();
    const int code = app.exec();
    tolva::backupAtClose(context);
    // The windows go before the context and store they use.
    menu.reset();
    login.reset();
    return code;
}
