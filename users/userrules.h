#pragma once

#include "base/outcome.h"
#include "base/rights.h"

#include <QString>

#include <optional>

namespace tolva {

class Dataset;
class Store;

// The rules of the users table sbpass, without widgets. Names and passwords are bound as values,
// so any character in them, a quote included, is just a character.
namespace users {

inline QString administration() { return Rights::administration(); }
inline QString dataEntry() { return Rights::dataEntry(); }
inline QString query() { return Rights::query(); }

// Input limits of the user windows, in characters.
constexpr int NameLength = 8;
constexpr int PasswordLength = 10;

// The right of the first user with this name and password (both compared exactly); none when
// nobody matches.
std::optional<QString> check(Store &store, const QString &name, const QString &password);

// Gives every user named `name` the new password, stored as typed. Refused when both texts are
// blank, or when they differ in any character (a trailing blank included).
Outcome changePassword(Store &store, const QString &name, const QString &password, const QString &confirmation);

// User names are unique, compared without the blanks around them, so that the login, the change
// of user and the backup window find a user by his name alone. Refuses a name that another user
// already has; `own` is the name of the user being renamed (empty for a new one).
Outcome nameFree(Store &store, const QString &name, const QString &own = QString());

// Appends a user to `users` (a live "select * from sbpass"): name, right and password must all be
// non-blank (refused otherwise, with the pending row to be discarded) and the name free (refused,
// the pending row kept for another name); the password is stored as typed.
Outcome add(Dataset &users, const QString &name, const QString &right, const QString &password);

// Writes one field ("namea", "popedoma" or "passa") of the current user of `users` and posts it at
// once. The first row is the administrator's: its name and right stay as they are (refused, the
// typed change to be put back). A name that another user has is refused and nothing is written
// (the typed name may stay in its field, to be mended).
Outcome change(Dataset &users, const QString &field, const QString &value);

// Whether the current user of `users` may be deleted: never the first row, and only when there is
// a row. The deletion itself is a plain remove() on the result set after the confirmation.
Outcome removable(const Dataset &users);

// The steps of leaving the user administration, in one transaction: the first row's right becomes
// "管理" when it is anything else, and rows without a name or a right go. True when the first
// row's right had to be put back.
bool leave(Store &store);

// Remembers the list position of the name chosen at the login or the change of user in srf.a4 of
// `srf` (a live "select * from srf"), at once, even when the password then proves wrong. Nobody's
// right is asked: nobody is logged in yet. Without a row there is nothing to store.
void rememberNamePosition(Dataset &srf, int index);

// The login's statements on the current-user result set: below two users the password alone,
// otherwise the chosen name and the password. True when a user was found; the result set then
// stays on that user's row, otherwise it holds no row.
bool logIn(Dataset &currentUser, const QString &chosenName, const QString &password);

} // namespace users
} // namespace tolva
