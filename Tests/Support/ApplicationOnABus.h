#pragma once

// avrane-bar as the tests and figures run it: on private desktop parts, on a serial device of
// their choosing, with its settings in a folder of their own and its log on. Header only; needs
// what DesktopSession needs.

#include <string>

#include <QTemporaryDir>

#include "Support/DesktopSession.h"

namespace avrane::testing {

// On the desktop `parts`; the runtime folder is `home` unless the environment has one.
inline QProcessEnvironment applicationEnvironment(std::initializer_list<const DesktopPart*> parts,
                                                  const QTemporaryDir& home, const std::string& port) {
    QProcessEnvironment environment = childEnvironment(parts);
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    if (!environment.contains("XDG_RUNTIME_DIR")) environment.insert("XDG_RUNTIME_DIR", home.path());
    environment.insert("AVRANE_PORT", QString::fromStdString(port));
    environment.insert("AVRANE_BAR_LOG", "1");
    return environment;
}

// Off screen, on a private session bus: as the service's tests and figures run it.
inline QProcessEnvironment applicationEnvironment(const SessionBus& bus, const QTemporaryDir& home,
                                                  const std::string& port) {
    QProcessEnvironment environment = applicationEnvironment({&bus}, home, port);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", home.path());
    return environment;
}

// Starts `program` (avrane-bar) and waits until it shows the headset: its name on the bus
// came before.
inline ::testing::AssertionResult startConnected(ChildProcess& app, const QString& program,
                                                 const QProcessEnvironment& environment) {
    app.start(program, {}, environment);
    if (!app.started()) return app.started();
    if (!app.waitFor([&] { return app.errorOutput().contains("Z  connected"); }, "the headset")) return app.started();
    return ::testing::AssertionSuccess();
}

}  // namespace avrane::testing
