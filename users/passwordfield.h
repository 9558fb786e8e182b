#pragma once

#include <QLineEdit>

namespace tolva::users {

// A password field: each character shows as "*", and it takes at most `length` characters.
inline void starEcho(QLineEdit *field, int length)
{
    field->setEchoMode(QLineEdit::Password);
    field->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    field->setMaxLength(length);
}

} // namespace tolva::users
