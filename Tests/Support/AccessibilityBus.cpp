#include "Support/AccessibilityBus.h"

#include <atomic>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace avrane::testing {
namespace {

const QString registry = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

// An object reference on the wire: (so).
struct ObjectReference {
    QString service;
    QDBusObjectPath path;
};
using ObjectReferences = QList<ObjectReference>;
// A relation: (ua(so)).
struct Relation {
    quint32 type = 0;
    ObjectReferences targets;
};
using Relations = QList<Relation>;

const QDBusArgument& operator>>(const QDBusArgument& in, ObjectReference& reference) {
    in.beginStructure();
    in >> reference.service >> reference.path;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const ObjectReference& reference) {
    out.beginStructure();
    out << reference.service << reference.path;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Relation& relation) {
    in.beginStructure();
    in >> relation.type >> relation.targets;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const Relation& relation) {
    out.beginStructure();
    out << relation.type << relation.targets;
    out.endStructure();
    return out;
}

constexpr quint32 labelForRelation = 1;  // ATSPI_RELATION_LABEL_FOR

}  // namespace
}  // namespace avrane::testing

Q_DECLARE_METATYPE(avrane::testing::ObjectReference)
Q_DECLARE_METATYPE(avrane::testing::Relation)

namespace avrane::testing {
namespace {

QDBusMessage call(const QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 5000);
}

QVariant property(const QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& name) {
    return busProperty(bus, service, path, interface, name).value_or(QVariant());
}

template <class T>
T demarshalled(const QDBusMessage& reply) {
    T value{};
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        reply.arguments().front().value<QDBusArgument>() >> value;
    }
    return value;
}

}  // namespace

const AccessibleNode* AccessibleNode::find(const QString& wantedRole, const QString& wantedName) const {
    if (role == wantedRole && name == wantedName) return this;
    for (const AccessibleNode& child : children) {
        if (const AccessibleNode* found = child.find(wantedRole, wantedName)) return found;
    }
    return nullptr;
}

std::vector<const AccessibleNode*> AccessibleNode::all(const QString& wantedRole) const {
    std::vector<const AccessibleNode*> found;
    if (role == wantedRole) found.push_back(this);
    for (const AccessibleNode& child : children) {
        const auto below = child.all(wantedRole);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

AccessibilityBus::AccessibilityBus(const SessionBus& session) {
    qDBusRegisterMetaType<ObjectReference>();
    qDBusRegisterMetaType<ObjectReferences>();
    qDBusRegisterMetaType<Relation>();
    qDBusRegisterMetaType<Relations>();
    static std::atomic<int> count{0};
    connectionName_ = QStringLiteral("avrane-test-accessibility-%1").arg(++count);
    QProcessEnvironment environment = childEnvironment({&session});
    // Its bus's socket goes in a runtime folder of its own.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    if (!process_.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                        {QStringLiteral("--launch-immediately"), QStringLiteral("--a11y=1")}, environment,
                        QStringLiteral("at-spi2-core")))
        return;
    const QDBusConnection bus = session.connection();
    const QString launcher = QStringLiteral("org.a11y.Bus");
    if (!process_.waitFor([&] { return bus.interface()->isServiceRegistered(launcher).value(); },
                          QStringLiteral("org.a11y.Bus on the session bus")))
        return;
    const QDBusMessage reply = call(bus, launcher, QStringLiteral("/org/a11y/bus"), launcher, QStringLiteral("GetAddress"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        process_.fail(QStringLiteral("no accessibility bus address: ") + reply.errorMessage());
        return;
    }
    address_ = reply.arguments().front().toString();
    const QDBusConnection accessibilityBus = QDBusConnection::connectToBus(address_, connectionName_);
    if (!accessibilityBus.isConnected()) process_.fail(QStringLiteral("cannot connect to ") + address_);
}

AccessibilityBus::~AccessibilityBus() {
    QDBusConnection::disconnectFromBus(connectionName_);
    process_.stop();  // it takes its bus and the registry along
}

void AccessibilityBus::addTo(QProcessEnvironment& environment) const {
    // Qt 6.4 finds the bus through the launcher on the session bus; given AT_SPI_BUS_ADDRESS
    // instead, it connects but never registers with the registry.
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
}

std::optional<AccessibleNode> AccessibilityBus::application(const QString& name) const {
    const QDBusConnection bus(connectionName_);
    const auto applications =
        demarshalled<ObjectReferences>(call(bus, registry, rootPath, accessible, QStringLiteral("GetChildren")));
    for (const ObjectReference& app : applications) {
        if (property(bus, app.service, app.path.path(), accessible, QStringLiteral("Name")).toString() == name) {
            return read(app.service, app.path.path(), 0);
        }
    }
    return std::nullopt;
}

AccessibleNode AccessibilityBus::read(const QString& service, const QString& path, int depth) const {
    const QDBusConnection bus(connectionName_);
    AccessibleNode node;
    node.service = service;
    node.path = path;
    node.role = call(bus, service, path, accessible, QStringLiteral("GetRoleName")).arguments().value(0).toString();
    node.name = property(bus, service, path, accessible, QStringLiteral("Name")).toString();
    node.states = states(node);
    const QStringList interfaces =
        call(bus, service, path, accessible, QStringLiteral("GetInterfaces")).arguments().value(0).toStringList();
    const QString value = QStringLiteral("org.a11y.atspi.Value");
    if (interfaces.contains(value)) {
        node.value = property(bus, service, path, value, QStringLiteral("CurrentValue")).toDouble();
        node.minimum = property(bus, service, path, value, QStringLiteral("MinimumValue")).toDouble();
        node.maximum = property(bus, service, path, value, QStringLiteral("MaximumValue")).toDouble();
        node.step = property(bus, service, path, value, QStringLiteral("MinimumIncrement")).toDouble();
    }
    const QString text = QStringLiteral("org.a11y.atspi.Text");
    if (interfaces.contains(text)) {
        node.text = call(bus, service, path, text, QStringLiteral("GetText"), {0, -1}).arguments().value(0).toString();
    }
    for (const Relation& relation :
         demarshalled<Relations>(call(bus, service, path, accessible, QStringLiteral("GetRelationSet")))) {
        if (relation.type != labelForRelation) continue;
        for (const ObjectReference& target : relation.targets) {
            node.labelFor << property(bus, target.service, target.path.path(), accessible, QStringLiteral("Name")).toString();
        }
    }
    // Deep enough for the panel; a loop in a broken tree ends here.
    if (depth > 40) return node;
    for (const ObjectReference& child :
         demarshalled<ObjectReferences>(call(bus, service, path, accessible, QStringLiteral("GetChildren")))) {
        node.children.push_back(read(child.service, child.path.path(), depth + 1));
    }
    return node;
}

std::uint64_t AccessibilityBus::states(const AccessibleNode& node) const {
    const QDBusConnection bus(connectionName_);
    const auto words = demarshalled<QList<quint32>>(call(bus, node.service, node.path, accessible, QStringLiteral("GetState")));
    std::uint64_t states = 0;
    for (int i = 0; i < words.size() && i < 2; ++i) states |= std::uint64_t(words[i]) << (32 * i);
    return states;
}

QRect AccessibilityBus::extents(const AccessibleNode& node) const {
    constexpr quint32 screenCoordinates = 0;
    return demarshalled<QRect>(call(QDBusConnection(connectionName_), node.service, node.path,
                                    QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"),
                                    {QVariant::fromValue(screenCoordinates)}));
}

bool AccessibilityBus::doAction(const AccessibleNode& node, const QString& name) const {
    const QDBusConnection bus(connectionName_);
    const QString action = QStringLiteral("org.a11y.atspi.Action");
    const int count = property(bus, node.service, node.path, action, QStringLiteral("NActions")).toInt();
    for (int i = 0; i < count; ++i) {
        if (call(bus, node.service, node.path, action, QStringLiteral("GetName"), {i}).arguments().value(0).toString() != name)
            continue;
        return call(bus, node.service, node.path, action, QStringLiteral("DoAction"), {i}).arguments().value(0).toBool();
    }
    return false;
}

bool AccessibilityBus::setValue(const AccessibleNode& node, double value) const {
    const QDBusMessage reply = call(QDBusConnection(connectionName_), node.service, node.path, properties, QStringLiteral("Set"),
                                    {QStringLiteral("org.a11y.atspi.Value"), QStringLiteral("CurrentValue"),
                                     QVariant::fromValue(QDBusVariant(value))});
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace avrane::testing
