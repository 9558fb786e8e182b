#pragma once

#include "base/progress.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace tolva {

// How the progress dialog of a long piece of work looks.
struct ProgressWindow {
    QString title;     // the dialog's caption
    QString label;     // what it says until the work names what it is at
    int showAfter = 300; // milliseconds: work that ends sooner shows no dialog
    QString objectName;
};

// Runs `work` while a window-modal progress dialog over `parent` shows how far it got. The work
// reports through the Progress it is handed (done of total, a total of 0 showing a moving bar, and
// what it is at); the dialog is brought up to date and the window's events are handled at most
// every 50 ms, so the work costs little and the window never stalls, and the Progress answers
// false once the person pressed "取消". `cancelled`, when given, runs the moment "取消" is pressed,
// for work that waits on events rather than reporting. The dialog is gone when runWithProgress
// returns or passes on what the work threw, so that a message shown then covers nothing.
void runWithProgress(QWidget *parent, const ProgressWindow &window, const std::function<void(const Progress &)> &work,
                     const std::function<void()> &cancelled = {});

// The same for work a window starts by itself (on opening, on a choice): `held`, the window's
// controls, are disabled while it runs, since the window's events are handled meanwhile, and
// are each back as they were afterwards, the focus where it was. False when the person
// cancelled (the work threw Cancelled).
bool runHeld(QWidget *parent, const ProgressWindow &window, const QList<QWidget *> &held,
             const std::function<void(const Progress &)> &work);

} // namespace tolva
