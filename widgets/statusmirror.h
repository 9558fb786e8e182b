#pragma once

#include <QObject>

class QLabel;
class QStatusBar;
class QTimer;

namespace tolva {

class Context;

// Three panels in a status bar (115 pixels, 500 pixels centred, the rest) that copy the main
// menu's status texts once a second.
class StatusMirror : public QObject {
    Q_OBJECT
public:
    StatusMirror(QStatusBar *bar, Context &context);
    // Copies the texts now (the timer does it every second).
    void copy();
    QLabel *panel(int i) const { return panels_[i]; }
    static void addPanels(QStatusBar *bar, QLabel *panels[3]);

private:
    Context &context_;
    QLabel *panels_[3];
    QTimer *timer_;
};

} // namespace tolva
