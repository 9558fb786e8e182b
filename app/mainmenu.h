#pragma once

#include "widgets/statusmirror.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QTimer;

namespace tolva {

class Context;

// The main menu: every screen is opened from here, modally; the status bar shows the user, a fixed
// line and the clock. Closing it ends the program.
class Tsbmain : public QMainWindow {
    Q_OBJECT
public:
    using Screen = std::function<std::unique_ptr<QDialog>(QWidget *parent)>;

    explicit Tsbmain(Context &context, QWidget *parent = nullptr);
    ~Tsbmain() override;

    // Makes a menu item open a screen; items without one stay visible and disabled.
    void setScreen(const QString &item, Screen screen);
    QAction *item(const QString &name) const;

    // How the program ends; the program's own quit by default.
    std::function<void()> endProgram;

    // Run after the login and after each screen opened from here closes (not on every switch of
    // windows): reopens the settings once, resets an unknown method to 0.
    void FormActivate();
    // The one-second tick: the three status texts.
    void Timer1Timer();
    static QString clockText(const QDateTime &now);
    static QString fixedText();

    // "(&6)押金数据录入" and "(&7)租金数据录入" need a contract; backup needs the right "管理"
    // (not the name "管理员", which any user could be given).
    bool contractsExist();
    bool administrator();

    ElidedLabel *panel(int i) const { return panels_[i]; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void build();
    void open(const QString &item);

    Context &context_;
    QHash<QString, QAction *> items_;
    QHash<QString, Screen> screens_;
    ElidedLabel *panels_[3];
    QTimer *timer_;
    bool ending_ = false;
};

} // namespace tolva
