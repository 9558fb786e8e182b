#pragma once

namespace tolva {

class Context;
class Tsbmain;

// Gives the main menu the screens that exist, each under its item.
void addScreens(Tsbmain &menu, Context &context);

} // namespace tolva
