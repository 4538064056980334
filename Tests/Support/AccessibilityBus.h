#pragma once

// Assistive technology's view of the programs of a private session: at-spi2-core's bus
// launcher (Debian package at-spi2-core), which starts the accessibility bus and its
// registry, and a client that reads what a screen reader would through that registry.
//
//   SessionBus bus;
//   AccessibilityBus accessibility(bus);
//   app.start(path, {}, childEnvironment({&bus, &accessibility, &display}));
//   const auto tree = accessibility.application("io.github.avranebar.AvraneBar");

#include <cstdint>
#include <optional>
#include <vector>

#include <QDBusConnection>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include "Support/DesktopSession.h"

namespace avrane::testing {

// AT-SPI states by their number in the protocol.
enum class AccessibleState : std::uint8_t {
    checked = 4,
    focusable = 11,
    focused = 12,
    showing = 25,
};

// One object as the registry gives it, with its subtree.
struct AccessibleNode {
    QString service, path;  // where it answers on the accessibility bus
    QString role;           // the role's name: "slider", "combo box", "check box", "panel" ...
    QString name;
    std::uint64_t states = 0;
    // The Value interface, when the object has one.
    std::optional<double> value, minimum, maximum, step;
    // The Text interface's whole text, when the object has one.
    std::optional<QString> text;
    QStringList labelFor;  // names of the objects it labels
    std::vector<AccessibleNode> children;

    bool is(AccessibleState state) const { return (states >> int(state)) & 1u; }
    // Depth first, this node included.
    const AccessibleNode* find(const QString& role, const QString& name) const;
    std::vector<const AccessibleNode*> all(const QString& role) const;
};

class AccessibilityBus : public DesktopPart {
public:
    explicit AccessibilityBus(const SessionBus& session);
    ~AccessibilityBus() override;
    // QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1; the programs find the bus through the session bus.
    void addTo(QProcessEnvironment& environment) const override;

    // The program of that name as registered, read whole; nothing while it is not there.
    std::optional<AccessibleNode> application(const QString& name) const;
    // The states of one object now.
    std::uint64_t states(const AccessibleNode& node) const;
    // Sets a Value object's value, as an assistive technology would.
    bool setValue(const AccessibleNode& node, double value) const;
    // Runs one of its actions by name ("Toggle", "Press" ...), as an assistive technology would.
    bool doAction(const AccessibleNode& node, const QString& name) const;
    // Where it is on the screen now.
    QRect extents(const AccessibleNode& node) const;

private:
    AccessibleNode read(const QString& service, const QString& path, int depth) const;

    QTemporaryDir runtime_;
    QString address_, connectionName_;
};

}  // namespace avrane::testing
