#pragma once

#include "widgets/context.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

namespace tolva {

// The input methods of this desktop, reached over D-Bus: Fcitx 5 (the input methods of its
// current group) or else IBus (its installed engines, keyboard layouts left out). A field given
// an input method switches the framework to it when the field receives the focus. With neither
// framework running the list is empty and nothing switches; every call has a short timeout, so
// a missing or hanging bus never holds the program up.
class DesktopInputMethods : public QObject, public InputMethods {
    Q_OBJECT
public:
    // `session` is the bus where Fcitx 5 is looked for; IBus has its own bus, found by its
    // address file or IBUS_ADDRESS.
    explicit DesktopInputMethods(const QDBusConnection &session = QDBusConnection::sessionBus(),
                                 QObject *parent = nullptr);

    QStringList installed() const override;
    void assign(QWidget *field, const QString &name) override;
    // Switches the running framework to the input method shown as `name`; false when there is
    // none of that name (or no framework).
    bool switchTo(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Framework { None, Fcitx5, IBus };
    struct Method {
        QString label; // what the list shows and srf stores
        QString id;    // what the framework switches to
    };
    QList<Method> methods() const;
    QList<Method> fcitx5Methods() const;
    QList<Method> ibusMethods() const;
    QDBusConnection ibusBus() const;

    QDBusConnection session_;
    mutable Framework framework_ = Framework::None;
    mutable QList<Method> known_; // as last listed; a switch asks the framework again only for a name not in it
};

} // namespace tolva
