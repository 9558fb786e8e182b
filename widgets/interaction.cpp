#include "interaction.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QDialog>
#include <QUrl>
#include <QFileDialog>
#include <QMessageBox>

namespace tolva {

namespace {

// Runs a window to its end and makes the window that was active before it active again. A window
// manager does that on its own; without one (a bare X server) no window would be active and the
// next Alt+X would type an "x" into a field instead of closing its window.
int runAndReturn(QDialog &dialog)
{
    const QPointer<QWidget> before = QApplication::activeWindow();
    const int result = dialog.exec();
    const QWidget *now = QApplication::activeWindow();
    if (before && before->isVisible() && (!now || !now->isVisible()))
        before->activateWindow();
    return result;
}

} // namespace

void DesktopInteraction::message(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    runAndReturn(box);
}

void DesktopInteraction::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, caption(), text, QMessageBox::Ok, parent);
    runAndReturn(box);
}

bool DesktopInteraction::confirm(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    return runAndReturn(box) == QMessageBox::Ok;
}

QString DesktopInteraction::openFileName(QWidget *parent, const QString &title, const QString &folder,
                                         const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString DesktopInteraction::saveFileName(QWidget *parent, const QString &title, const QString &file,
                                         const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, title, file, filter);
}

int DesktopInteraction::exec(QDialog *dialog)
{
    return runAndReturn(*dialog);
}

void DesktopInteraction::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

} // namespace tolva
