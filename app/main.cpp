#include "store/store.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>

// Program entry: opens the tables of the folder it is started in (creating them on the first
// start) and shows the main window.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolva"));

    std::unique_ptr<tolva::Store> store;
    try {
        store = std::make_unique<tolva::Store>(QDir::currentPath());
    } catch (const tolva::StoreError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("提醒您!!"), e.text());
        return 1;
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("青禾软件开发中心—主菜单"));
    auto *label = new QLabel(QStringLiteral("数据文件：%1").arg(store->filePath()), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.showMaximized();
    return app.exec();
}
