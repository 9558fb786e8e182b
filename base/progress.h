#pragma once

#include <QString>

#include <functional>

namespace tolva {

// How a long computation reports how far it got: step `done` of `total`, about `what` (a customer
// name, a file). Returning false asks the computation to stop; it then throws Cancelled and leaves
// the tables as they were before it started.
using Progress = std::function<bool(int done, int total, const QString &what)>;

// Thrown by a computation whose Progress asked it to stop.
struct Cancelled {};

// Calls the progress callback when there is one; throws Cancelled when it asks to stop.
inline void reportProgress(const Progress &progress, int done, int total, const QString &what = QString())
{
    if (progress && !progress(done, total, what))
        throw Cancelled{};
}

} // namespace tolva
