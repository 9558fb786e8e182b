#pragma once

#include <QDate>
#include <QHash>
#include <QStringList>

#include <functional>
#include <initializer_list>

class QTextStream;

namespace tolva {

// Why a command-line mode stops: the reason is printed and the program exits with 1.
struct CommandFailure {
    QString reason;
};

// True when the program was started with one of `options` ("--backup", "--statement", ...).
bool startedWith(int argc, char *argv[], std::initializer_list<const char *> options);

// The arguments of a command-line mode, read once: each one must be an option the mode knows,
// those in `valued` followed by their value, those in `flags` alone. An unknown argument (a
// mistyped "--form" would otherwise be ignored and the wrong statement written) or an option
// without its value is a CommandFailure naming it, followed by `usage`.
class CommandLine {
public:
    CommandLine(const QStringList &args, const QStringList &valued, const QStringList &flags, const QString &usage);

    bool has(const QString &option) const { return given_.contains(option); }
    // The value given after the option; empty when the option is not given.
    QString value(const QString &option) const { return values_.value(option); }
    // A date given as yyyy-mm-dd; invalid when the option is not given, a CommandFailure when the
    // text is no such date.
    QDate date(const QString &option) const;

private:
    QStringList given_;
    QHash<QString, QString> values_;
};

// Runs a mode: what it returns is the exit code; a CommandFailure or any other error of the
// program is written to `err` and gives 1.
int runCommand(QTextStream &err, const std::function<int()> &mode);

} // namespace tolva
