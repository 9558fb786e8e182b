#include "screen.h"

#include "datefield.h"
#include "dbfields.h"

#include "context.h"
#include "guard.h"
#include "store/dataset.h"
#include "interaction.h"
#include "numerickey.h"
#include "statusmirror.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QStatusBar>

namespace tolva {

namespace {

// Swallows Alt with a letter or digit in the window's fields and lists once the shortcuts have had
// their turn: the shortcut of a hidden or disabled button must neither type its letter into the
// focused search box (and refilter the list) nor move a list to a row starting with it.
class UnusedMnemonics : public QObject {
public:
    explicit UnusedMnemonics(QWidget *window) : QObject(window), window_(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        if (static_cast<QWidget *>(watched)->window() != window_)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        if (!(modifiers & Qt::AltModifier) || (modifiers & (Qt::ControlModifier | Qt::MetaModifier)))
            return false;
        return !key->text().isEmpty() && key->text().at(0).isPrint();
    }

private:
    QWidget *window_;
};

} // namespace

Screen::Screen(Context &context, QWidget *parent) : QDialog(parent), context_(context)
{
    new UnusedMnemonics(this);
}

void Screen::setUpFrame(QStatusBar *statusBar, bool maximised, Closing closing, Activation activation)
{
    maximised_ = maximised;
    oncePerOpening_ = activation == Activation::OncePerOpening;
    exitButtonOnly_ = closing == Closing::ExitButtonOnly;
    if (exitButtonOnly_)
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    else
        setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                       Qt::WindowCloseButtonHint);
    if (statusBar)
        new StatusMirror(statusBar, context_);
    // Dates typed without a year fall in the context's year; a typed text that is no date is told
    // and the clerk is back in the field.
    for (DateField *field : findChildren<DateField *>()) {
        field->setToday([this] { return context_.today(); });
        on(field, &DateField::refused, [this, field](const QString &text) {
            message(text);
            field->setFocus();
        });
    }
}

bool Screen::guard(const std::function<void()> &handler)
{
    return tolva::guard(context_.interaction(), this, handler);
}

void Screen::message(const QString &text)
{
    context_.interaction().message(this, text);
}

bool Screen::confirm(const QString &text)
{
    return context_.interaction().confirm(this, text);
}

bool Screen::mayEdit() const
{
    return context_.mayEdit();
}

bool Screen::mayChangeSettings() const
{
    return context_.mayChangeSettings();
}

bool Screen::accepted(const Outcome &outcome, QWidget *focus)
{
    if (outcome.ok())
        return true;
    message(outcome.message());
    if (focus)
        focus->setFocus();
    return false;
}

void Screen::enterChain(const QList<QWidget *> &fields, QAbstractButton *last)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (last && i == fields.size() - 1)
            EnterKeyFilter::press(fields[i], last);
        else
            EnterKeyFilter::moveFocusOn(fields[i]);
    }
}

void Screen::activate()
{
    // A message shown during activation deactivates the window; its closing must not start the
    // activation again.
    if (activating_)
        return;
    if (oncePerOpening_) {
        if (!opening_)
            return;
        opening_ = false;
    }
    activating_ = true;
    runActivation();
    activating_ = false;
}

void Screen::runActivation()
{
    guard([this] { FormActivate(); });
}

bool Screen::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        // Only another window of the program counts (a modal child, the preview); switching to
        // another program and back is no new activation.
        // A message, a question, a file or progress dialog is part of this screen's own work, not
        // another window: its closing runs no activation.
        if (QWidget *active = QApplication::activeWindow(); active && active != this && !activating_
            && !qobject_cast<QMessageBox *>(active) && !qobject_cast<QProgressDialog *>(active)
            && !qobject_cast<QFileDialog *>(active) && active->windowType() != Qt::Popup)
            leftForOwnWindow_ = true;
        break;
    case QEvent::WindowActivate:
        if (leftForOwnWindow_) {
            leftForOwnWindow_ = false;
            activate();
        }
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

void Screen::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the desktop showing it again after a minimise
    opening_ = true;
    if (maximised_ && !(windowState() & Qt::WindowMaximized)) {
        // The whole screen, also where no window manager maximises windows.
        if (const QScreen *s = screen())
            setGeometry(s->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    activate();
}

void Screen::closeEvent(QCloseEvent *event)
{
    if (holdsPending() || (exitButtonOnly_ && event->spontaneous()))
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void Screen::reject()
{
    // Escape would lose a pending row.
    if (holdsPending() || exitButtonOnly_)
        return;
    QDialog::reject();
}

void MaintenanceScreen::setUpButtons(Dataset &rows, const ButtonSet &set, const QList<QWidget *> &lists,
                                     const QList<QWidget *> &fields)
{
    rows_ = &rows;
    buttons_ = new MaintenanceButtons(set.edit, set.add, set.del, set.exit, context().interaction(), this);
    buttons_->setLists(lists);
    buttons_->setFields(fields);
    buttons_->setMayEdit(mayEdit());
    buttons_->startEdit = [this] { return startEdit(); };
    buttons_->startAdd = [this] { return startAdd(); };
    buttons_->save = [this] { return typedValuesHold() && save(); };
    buttons_->cancel = [this] { cancel(); };
    buttons_->remove = [this] { remove(); };
    buttons_->isEmpty = [this] { return isEmpty(); };
    buttons_->afterAction = [this] { afterAction(); };
    if (set.exit)
        on(set.exit, &QPushButton::clicked, &QDialog::accept);
}

bool MaintenanceScreen::isEmpty() const
{
    return !rows_ || rows_->isEmpty();
}

bool MaintenanceScreen::startEdit()
{
    rows_->edit();
    return true;
}

void MaintenanceScreen::cancel()
{
    rows_->cancel();
}

bool MaintenanceScreen::typedValuesHold()
{
    for (DateField *field : findChildren<DateField *>())
        if (!field->takeTyped())
            return false; // the field tells why
    for (DbEdit *field : findChildren<DbEdit *>()) {
        if (!field->rejection().isEmpty()) {
            message(field->rejection());
            field->setFocus();
            field->selectAll();
            return false;
        }
    }
    return true;
}

bool MaintenanceScreen::saved(const Outcome &outcome, QWidget *focus)
{
    if (outcome.ok())
        return true;
    if (outcome.discardsPending()) {
        message(outcome.message());
        cancel();
        return true;
    }
    return accepted(outcome, focus);
}

void MaintenanceScreen::runActivation()
{
    if (editing())
        return;
    if (buttons_)
        buttons_->setMayEdit(mayEdit());
    guard([this] { FormActivate(); });
    if (buttons_)
        buttons_->refresh();
}

} // namespace tolva
