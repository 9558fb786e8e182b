#pragma once

#include <QString>

#include <stdexcept>

namespace tolva {

// Every failure the program reports to a person derives from this: text() is what the person
// reads. Handlers let these through to the screen frame's guard, which shows them.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()) {}
    virtual QString text() const { return QString::fromStdString(what()); }
};

} // namespace tolva
