#include "inputmethods.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QStandardPaths>
#include <QWidget>

namespace tolva {

namespace {

const QString FcitxService = QStringLiteral("org.fcitx.Fcitx5");
const QString FcitxPath = QStringLiteral("/controller");
const QString FcitxInterface = QStringLiteral("org.fcitx.Fcitx.Controller1");
const QString IBusService = QStringLiteral("org.freedesktop.IBus");
const QString IBusPath = QStringLiteral("/org/freedesktop/IBus");
constexpr int Timeout = 500; // ms: a framework that does not answer by then counts as absent

QDBusMessage call(const QDBusConnection &bus, const QString &service, const QString &path, const QString &interface,
                  const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false); // never start a framework the person does not run
    return bus.call(message, QDBus::Block, Timeout);
}

bool answered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

bool running(const QDBusConnection &bus, const QString &service)
{
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = call(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {service});
    return answered(reply) && reply.arguments().first().toBool();
}

// IBus writes the address of its bus into a file named for the machine and the display.
QString ibusAddress()
{
    const QByteArray fromEnvironment = qgetenv("IBUS_ADDRESS");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    QString machine;
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            machine = QString::fromLatin1(file.readAll()).trimmed();
            break;
        }
    }
    if (machine.isEmpty())
        return QString();
    QString display;
    const QString wayland = QString::fromLocal8Bit(qgetenv("WAYLAND_DISPLAY"));
    if (!wayland.isEmpty()) {
        display = QStringLiteral("unix-") + wayland;
    } else {
        QString x = QString::fromLocal8Bit(qgetenv("DISPLAY"));
        const int colon = x.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return QString();
        const QString host = x.left(colon).isEmpty() ? QStringLiteral("unix") : x.left(colon);
        display = host + QLatin1Char('-') + x.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
    }
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile file(config + QStringLiteral("/ibus/bus/") + machine + QLatin1Char('-') + display);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!file.atEnd()) {
        const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("IBUS_ADDRESS=")))
            return line.mid(13);
    }
    return QString();
}

} // namespace

DesktopInputMethods::DesktopInputMethods(const QDBusConnection &session, QObject *parent)
    : QObject(parent), session_(session)
{
}

QDBusConnection DesktopInputMethods::ibusBus() const
{
    const QString address = ibusAddress();
    if (address.isEmpty())
        return QDBusConnection(QString());
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("tolva-ibus"));
    if (!bus.isConnected())
        QDBusConnection::disconnectFromBus(QStringLiteral("tolva-ibus")); // try again next time
    return bus;
}

QList<DesktopInputMethods::Method> DesktopInputMethods::fcitx5Methods() const
{
    QList<Method> out;
    if (!running(session_, FcitxService))
        return out;
    const QDBusMessage group = call(session_, FcitxService, FcitxPath, FcitxInterface,
                                    QStringLiteral("CurrentInputMethodGroup"));
    if (!answered(group))
        return out;
    const QDBusMessage info = call(session_, FcitxService, FcitxPath, FcitxInterface,
                                   QStringLiteral("InputMethodGroupInfo"), {group.arguments().first()});
    const QDBusMessage available = call(session_, FcitxService, FcitxPath, FcitxInterface,
                                        QStringLiteral("AvailableInputMethods"));
    if (info.type() != QDBusMessage::ReplyMessage || info.arguments().size() < 2)
        return out;

    // The names people know the input methods by: (unique name, name, native name, icon, label,
    // language, configurable).
    QHash<QString, QString> names;
    if (answered(available)) {
        const QDBusArgument list = available.arguments().first().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString unique, name, native, icon, label, language;
            bool configurable = false;
            list.beginStructure();
            list >> unique >> name >> native >> icon >> label >> language >> configurable;
            list.endStructure();
            names.insert(unique, name);
        }
        list.endArray();
    }
    // The group's entries, in the person's order: (input method, layout).
    const QDBusArgument entries = info.arguments().at(1).value<QDBusArgument>();
    entries.beginArray();
    while (!entries.atEnd()) {
        QString id, layout;
        entries.beginStructure();
        entries >> id >> layout;
        entries.endStructure();
        out << Method{names.value(id, id), id};
    }
    entries.endArray();
    return out;
}

QList<DesktopInputMethods::Method> DesktopInputMethods::ibusMethods() const
{
    QList<Method> out;
    const QDBusConnection bus = ibusBus();
    if (!bus.isConnected())
        return out;
    const QDBusMessage reply = call(bus, IBusService, IBusPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {IBusService, QStringLiteral("Engines")});
    if (!answered(reply))
        return out;
    // Each engine is a serialised description: (type name, attachments, name, long name, ...).
    const QDBusArgument engines =
        reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>();
    engines.beginArray();
    while (!engines.atEnd()) {
        QDBusVariant item;
        engines >> item;
        const QDBusArgument desc = item.variant().value<QDBusArgument>();
        QString type, name, longName;
        QVariantMap attachments;
        desc.beginStructure();
        desc >> type >> attachments >> name >> longName;
        desc.endStructure();
        // Keyboard layouts are engines too; they are no input methods to choose.
        if (!name.startsWith(QStringLiteral("xkb:")))
            out << Method{longName.isEmpty() ? name : longName, name};
    }
    engines.endArray();
    return out;
}

QList<DesktopInputMethods::Method> DesktopInputMethods::methods() const
{
    QList<Method> found = fcitx5Methods();
    if (!found.isEmpty()) {
        framework_ = Framework::Fcitx5;
    } else {
        found = ibusMethods();
        framework_ = found.isEmpty() ? Framework::None : Framework::IBus;
    }
    known_ = found;
    return found;
}

QStringList DesktopInputMethods::installed() const
{
    QStringList out;
    for (const Method &m : methods())
        out << m.label;
    return out;
}

void DesktopInputMethods::assign(QWidget *field, const QString &name)
{
    InputMethods::assign(field, name);
    if (!field->property("inputMethodWatched").toBool()) {
        field->setProperty("inputMethodWatched", true);
        field->installEventFilter(this);
    }
}

bool DesktopInputMethods::switchTo(const QString &name)
{
    if (name.trimmed().isEmpty() || name == none())
        return false;
    auto listed = [&] {
        for (const Method &m : known_)
            if (m.label.trimmed() == name.trimmed())
                return true;
        return false;
    };
    if (!listed())
        methods();
    for (const Method &m : known_) {
        if (m.label.trimmed() != name.trimmed())
            continue;
        // Sent without waiting for the answer: the focus change goes on at once.
        QDBusMessage message;
        QDBusConnection bus = session_;
        if (framework_ == Framework::Fcitx5) {
            message = QDBusMessage::createMethodCall(FcitxService, FcitxPath, FcitxInterface, QStringLiteral("SetCurrentIM"));
        } else {
            bus = ibusBus();
            message = QDBusMessage::createMethodCall(IBusService, IBusPath, IBusService, QStringLiteral("SetGlobalEngine"));
        }
        message.setArguments({m.id});
        message.setAutoStartService(false);
        return bus.send(message);
    }
    return false;
}

bool DesktopInputMethods::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        const QString name = watched->property("inputMethod").toString();
        if (!name.isEmpty())
            switchTo(name);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tolva
