#include "progressdialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

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
            updated = true;
            sinceUpdate.start();
            dialog.setMaximum(total);
            dialog.setValue(done);
            if (!what.isEmpty())
                dialog.setLabelText(what);
            QCoreApplication::processEvents();
        }
        return !dialog.wasCanceled();
    };
    work(progress);
}

} // namespace tolva
