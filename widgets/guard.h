#pragma once

#include <functional>

class QWidget;

namespace tolva {

class Interaction;

// Runs a handler so that nothing it throws ends the program: a failure the program knows (a store
// error, a report error, any tolva::Error) shows its own text through the Interaction, a cancelled
// computation shows nothing, anything else shows a general message with what it said. Returns true
// when the handler ran to its end.
bool guard(Interaction &interaction, QWidget *parent, const std::function<void()> &handler);

} // namespace tolva
