#pragma once

#include "guard.h"
#include "maintenance.h"
#include "base/outcome.h"

#include <QDialog>

#include <functional>

class QAbstractButton;
class QStatusBar;

namespace tolva {

class Context;
class Dataset;

// The frame of every screen. It runs the activation steps once when the window is shown and, unless
// the screen activates once per opening, once each time it becomes active again after another
// window of the program (a modal child, the preview), mirrors the main menu's status texts, keeps a
// window with a pending row from being closed or escaped, and runs the handlers connected with on()
// under guard() so that no failure ends the program. Alt with a letter that no button of the window
// takes (its button hidden or disabled) does nothing at all.
class Screen : public QDialog {
    Q_OBJECT
public:
    explicit Screen(Context &context, QWidget *parent = nullptr);
    Context &context() const { return context_; }

    // The activation steps, as showing the window or its becoming active again runs them.
    void activate();
    // The screen's own activation work: reopen its result sets, input methods, focus.
    virtual void FormActivate() {}

    enum class Closing { Free, ExitButtonOnly };
    // EveryTime: shown, and active again after another window of the program. OncePerOpening: only
    // when shown, so that a message, a question or a child window in between keeps what the person
    // typed or chose (a list's row, the count of tries) as it was.
    enum class Activation { EveryTime, OncePerOpening };

protected:
    // `statusBar` (may be null) gets the three status panels; a maximised window fills the screen;
    // ExitButtonOnly: no title-bar close and no Escape, the window is left by its exit button.
    void setUpFrame(QStatusBar *statusBar, bool maximised, Closing closing = Closing::Free,
                    Activation activation = Activation::EveryTime);

    // Connects a control's signal to a handler of this screen (one of its member functions, or a
    // lambda with fixed parameters), run under guard(): whatever the handler throws is shown and
    // nothing leaves the slot. The handler takes the signal's first arguments, or none.
    template <typename Sender, typename Signal, typename Handler>
    QMetaObject::Connection on(Sender *sender, Signal signal, Handler handler)
    {
        const auto run = [this](const std::function<void()> &h) { guard(h); };
        if constexpr (std::is_member_function_pointer_v<Handler>)
            return connect(sender, signal, this, guardedSlot(run, this, handler));
        else
            return connect(sender, signal, this, guardedSlot(run, std::move(handler)));
    }

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
    bool oncePerOpening_ = false;
    bool opening_ = false; // shown, not yet activated
    bool activating_ = false;
    bool leftForOwnWindow_ = false;
};

// The frame of a record-maintenance screen: the four buttons whose captions are their state
// (MaintenanceButtons) over the screen's main result set, wired to the steps the screen overrides.
// Activation is skipped while a row is pending; otherwise it shows or hides the changing buttons by
// the user's right, runs FormActivate and puts the buttons in line with the result set.
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
    // `rows` is the result set the buttons work on: with no rows "编辑(&E)" is disabled. `lists` are
    // disabled while a row is pending; `fields` are writable only then. The exit button closes the
    // window.
    void setUpButtons(Dataset &rows, const ButtonSet &set, const QList<QWidget *> &lists,
                      const QList<QWidget *> &fields = {});
    bool isEmpty() const;

    // The steps of the buttons. startEdit/startAdd return false to refuse to start; save returns
    // false to keep the row pending (a refusal), true when the row is saved or discarded. Unless the
    // screen says otherwise, editing puts the current row into edit and cancelling drops the
    // pending row.
    virtual bool startEdit();
    virtual bool startAdd() { return true; }
    virtual bool save() = 0;
    virtual void cancel();
    virtual void remove() {}
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
    Dataset *rows_ = nullptr;
};

} // namespace tolva
