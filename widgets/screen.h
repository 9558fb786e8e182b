#pragma once

#include "maintenance.h"
#include "base/outcome.h"

#include <QDialog>

#include <functional>

class QAbstractButton;
class QStatusBar;

namespace tolva {

class Context;

// The frame of every data screen. It runs the activation steps once when the window is shown and
// once each time it becomes active again after another window of the program (a modal child, the
// preview), mirrors the main menu's status texts, keeps a window with a pending row from being
// closed or escaped, and runs handlers under guard() so that no failure ends the program. Alt with
// a letter that no button of the window takes (its button hidden or disabled) does nothing at all.
class Screen : public QDialog {
    Q_OBJECT
public:
    explicit Screen(Context &context, QWidget *parent = nullptr);
    Context &context() const { return context_; }

    // The activation steps, as showing the window or its becoming active again runs them.
    void activate();
    // The screen's own activation work: reopen its result sets, input methods, focus.
    virtual void FormActivate() {}

protected:
    enum class Closing { Free, ExitButtonOnly };
    // `statusBar` (may be null) gets the three status panels; a maximised window fills the screen;
    // ExitButtonOnly: no title-bar close and no Escape, the window is left by its exit button.
    void setUpFrame(QStatusBar *statusBar, bool maximised, Closing closing = Closing::Free);

    // Runs a handler; a failure is shown as a message and false returned.
    bool guard(const std::function<void()> &handler);
    void message(const QString &text);
    bool confirm(const QString &text);
    bool mayEdit() const;
    bool mayChangeSettings() const;
    // Shows a refusal (and puts the focus on `focus`); true when the outcome is done.
    bool accepted(const Outcome &outcome, QWidget *focus = nullptr);

    // Enter in each field moves the focus to the next control; Enter in the last one clicks `last`
    // when given (the chain then ends on the window's main button).
    static void enterChain(const QList<QWidget *> &fields, QAbstractButton *last = nullptr);

    // True while the window may not be closed (a pending row).
    virtual bool holdsPending() const { return false; }
    // What activation runs; frames built on this one wrap FormActivate in their own steps.
    virtual void runActivation();

    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    Context &context_;
    bool maximised_ = false;
    bool exitButtonOnly_ = false;
    bool activating_ = false;
    bool leftForOwnWindow_ = false;
};

// The frame of a record-maintenance screen: the four buttons whose captions are their state
// (MaintenanceButtons), wired to the steps the screen overrides. Activation is skipped while a row
// is pending; otherwise it shows or hides the changing buttons by the user's right, runs
// FormActivate and puts the buttons in line with the result set.
class MaintenanceScreen : public Screen {
    Q_OBJECT
public:
    using Screen::Screen;
    MaintenanceButtons &buttons() const { return *buttons_; }
    bool editing() const { return buttons_ && buttons_->mode() != MaintenanceButtons::Mode::Idle; }
    bool adding() const { return buttons_ && buttons_->mode() == MaintenanceButtons::Mode::Adding; }

protected:
    struct ButtonSet {
        QPushButton *edit, *add, *del, *exit;
    };
    // `lists` are disabled while a row is pending; `fields` are writable only then. The exit
    // button closes the window.
    void setUpButtons(const ButtonSet &set, const QList<QWidget *> &lists, const QList<QWidget *> &fields = {});

    // The steps of the buttons. startEdit/startAdd return false to refuse to start; save returns
    // false to keep the row pending (a refusal), true when the row is saved or discarded.
    virtual bool startEdit() { return true; }
    virtual bool startAdd() { return true; }
    virtual bool save() = 0;
    virtual void cancel() {}
    virtual void remove() {}
    virtual bool isEmpty() const = 0;
    // Runs after every action and activation: enabled states that depend on the screen.
    virtual void afterAction() {}

    // A save step's answer from a rule: done → true; a refusal that discards the pending row →
    // message, cancel step, true; any other refusal → message, focus, false (the row stays).
    bool saved(const Outcome &outcome, QWidget *focus = nullptr);

    bool holdsPending() const override { return editing(); }
    void runActivation() override;

private:
    // A field whose text could not be written into the row (not a number, out of range), or a date
    // typed that is no date, refuses the save with its reason and takes the focus; the typed text
    // stays.
    bool typedValuesHold();
    MaintenanceButtons *buttons_ = nullptr;
};

} // namespace tolva
