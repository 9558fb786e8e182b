#include "interaction.h"

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>
#include <QFileDialog>
#include <QMessageBox>

namespace tolva {

void DesktopInteraction::message(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void DesktopInteraction::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopInteraction::confirm(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    return box.exec() == QMessageBox::Ok;
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
    return dialog->exec();
}

void DesktopInteraction::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

} // namespace tolva
