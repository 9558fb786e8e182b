#include "progressdialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QWidget>

namespace tolva {

void runWithProgress(QWidget *parent, const ProgressWindow &window, const std::function<void(const Progress &)> &work,
                     const std::function<void()> &cancelled)
{
    QProgressDialog dialog(parent);
    dialog.setObjectName(window.objectName);
    dialog.setWindowTitle(window.title);
    dialog.setLabelText(window.label);
    dialog.setCancelButtonText(QStringLiteral("取消"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(window.showAfter);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    if (cancelled)
        QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, cancelled);
    QElapsedTimer sinceUpdate;
    bool updated = false;
    const Progress progress = [&](int done, int total, const QString &what) {
        if (!updated || done == 0 || done == total || sinceUpdate.elapsed() >= 50) {
            // A value of 0 before the dialog shows starts its clock again: a later part of the
            // work that counts from 0 keeps the clock of the first, so the dialog still shows in
            // time.
            const bool restart = updated && done == 0 && !dialog.isVisible();
            updated = true;
            sinceUpdate.start();
            dialog.setMaximum(total);
            if (!restart)
                dialog.setValue(done);
            if (!what.isEmpty())
                dialog.setLabelText(what);
            const bool shown = dialog.isVisible();
            QCoreApplication::processEvents();
            if (!shown && dialog.isVisible())
                QCoreApplication::processEvents(); // it draws the moment it shows
        }
        return !dialog.wasCanceled();
    };
    // The window that showed the dialog takes the keys again when it goes, also where no window
    // manager hands them back (Alt+X then still closes it).
    const auto giveBack = qScopeGuard([&] {
        if (!dialog.isVisible() || !parent)
            return;
        dialog.hide();
        parent->window()->activateWindow();
    });
    work(progress);
}

bool runHeld(QWidget *parent, const ProgressWindow &window, const QList<QWidget *> &held,
             const std::function<void(const Progress &)> &work)
{
    QList<bool> enabled;
    const QPointer<QWidget> focus = parent->focusWidget();
    for (QWidget *w : held) {
        enabled << w->isEnabled();
        w->setEnabled(false);
    }
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < held.size(); ++i)
            held[i]->setEnabled(enabled[i]);
        if (focus)
            focus->setFocus();
    });
    try {
        runWithProgress(parent, window, work);
    } catch (const Cancelled &) {
        return false;
    }
    return true;
}

} // namespace tolva
