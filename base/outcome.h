#pragma once

#include <QString>

namespace tolva {

// What a rule answers: done, or refused with the message a person is shown. A refusal may name the
// field it is about (so a screen can put the focus there) and may say that the pending row is to
// be discarded rather than kept (a duplicate that cannot be mended by typing).
class Outcome {
public:
    enum class Pending { Keep, Discard };

    Outcome() = default;
    static Outcome done() { return Outcome(); }
    static Outcome refused(const QString &message, const QString &field = QString(),
                           Pending pending = Pending::Keep)
    {
        Outcome o;
        o.refused_ = true;
        o.message_ = message;
        o.field_ = field;
        o.pending_ = pending;
        return o;
    }

    bool ok() const { return !refused_; }
    explicit operator bool() const { return ok(); }
    const QString &message() const { return message_; }
    const QString &field() const { return field_; }
    bool discardsPending() const { return pending_ == Pending::Discard; }

private:
    bool refused_ = false;
    QString message_;
    QString field_;
    Pending pending_ = Pending::Keep;
};

} // namespace tolva
