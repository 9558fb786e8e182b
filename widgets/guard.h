#pragma once

#include <QObject>

#include <functional>
#include <type_traits>
#include <utility>

class QWidget;

namespace tolva {

class Interaction;

// Runs a handler so that nothing it throws ends the program: a failure the program knows (a store
// error, a report error, any tolva::Error) shows its own text through the Interaction, a cancelled
// computation shows nothing, anything else shows a general message with what it said. Returns true
// when the handler ran to its end.
bool guard(Interaction &interaction, QWidget *parent, const std::function<void()> &handler);

namespace detail {

template <typename Run, typename F, typename R, typename C, typename... Args>
auto guardedLambda(Run run, F f, R (C::*)(Args...) const)
{
    return [run = std::move(run), f = std::move(f)](Args... args) { run([&] { f(args...); }); };
}

} // namespace detail

// A slot that hands `handler` to `run` (a guard): the handler is a lambda with fixed parameters or a
// member function of `object`. The slot takes the handler's own parameters, so a signal with more
// arguments passes only its first ones, as a plain connection does.
template <typename Run, typename F>
auto guardedSlot(Run run, F handler)
{
    return detail::guardedLambda(std::move(run), std::move(handler), &F::operator());
}

template <typename Run, typename T, typename C, typename R, typename... Args>
auto guardedSlot(Run run, T *object, R (C::*handler)(Args...))
{
    C *receiver = static_cast<C *>(object);
    return [run = std::move(run), receiver, handler](Args... args) { run([&] { (receiver->*handler)(args...); }); };
}

// Connects `signal` of `sender` to `handler` (a lambda, or a member function of `receiver`), run under
// guard() with `receiver` as the parent of its messages: whatever it throws is shown, nothing leaves
// the slot. For windows that are no Screen; a Screen has on().
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, Receiver *receiver, Interaction &interaction,
                                       Handler handler)
{
    const auto run = [&interaction, receiver](const std::function<void()> &h) { guard(interaction, receiver, h); };
    if constexpr (std::is_member_function_pointer_v<Handler>)
        return QObject::connect(sender, signal, receiver, guardedSlot(run, receiver, handler));
    else
        return QObject::connect(sender, signal, receiver, guardedSlot(run, std::move(handler)));
}

} // namespace tolva
