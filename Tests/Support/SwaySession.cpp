#include "Support/SwaySession.h"

#include <functional>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include "Support/TrayWatch.h"

namespace avrane::testing {
namespace {

void collectWindows(const QJsonObject& node, bool floating, std::vector<SwayWindow>& out) {
    if (node.contains("pid")) {
        out.push_back({node.value("name").toString(), rectOf(node.value("rect")), floating});
    }
    for (const QJsonValue child : node.value("nodes").toArray()) collectWindows(child.toObject(), floating, out);
    for (const QJsonValue child : node.value("floating_nodes").toArray()) collectWindows(child.toObject(), true, out);
}

}  // namespace

SwayCompositor::SwayCompositor() {
    const QString config = runtimeDirectory_.filePath(QStringLiteral("sway.conf"));
    // No X server, and no pointer to follow: what a test sees depends on nothing else.
    if (!runtimeDirectory_.isValid() ||
        !QFile::setPermissions(runtimeDirectory_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !writeConfiguration(config, QStringLiteral("output HEADLESS-1 resolution %1x%2 position 0 0\n"
                                                   "xwayland disable\nfocus_follows_mouse no\n")
                                        .arg(outputSize.width())
                                        .arg(outputSize.height())
                                        .toUtf8())) {
        process_.fail(QStringLiteral("sway: cannot make a private runtime folder"));
        return;
    }
    QProcessEnvironment environment = childEnvironment({});
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory_.path());
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    // sway refuses to run as root; in a user namespace of its own it is nobody.
    if (!process_.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("sway"), QStringLiteral("-c"), config},
                        environment, QStringLiteral("util-linux and sway")))
        return;
    const QDir runtime(runtimeDirectory_.path());
    process_.waitFor([&] {
        const QStringList wayland = runtime.entryList({QStringLiteral("wayland-?")}, QDir::System);
        const QStringList ipc = runtime.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (wayland.isEmpty() || ipc.isEmpty()) return false;
        waylandSocket_ = wayland.constFirst();
        ipcSocket_ = runtime.filePath(ipc.constFirst());
        return !ask(QStringLiteral("get_outputs")).array().isEmpty();
    }, QStringLiteral("answering on its IPC socket"));
}

SwayCompositor::~SwayCompositor() { process_.stop(); }  // before its runtime folder goes

void SwayCompositor::addTo(QProcessEnvironment& environment) const {
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandSocket_);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory_.path());
    environment.insert(QStringLiteral("SWAYSOCK"), ipcSocket_);
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
}

QJsonDocument SwayCompositor::ask(const QString& type) const {
    if (ipcSocket_.isEmpty()) return {};
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-s"), ipcSocket_, QStringLiteral("-r"), QStringLiteral("-t"), type});
    if (!swaymsg.waitForFinished(5000) || swaymsg.exitCode() != 0) return {};
    return QJsonDocument::fromJson(swaymsg.readAllStandardOutput());
}

std::vector<SwayWindow> SwayCompositor::windows() const {
    std::vector<SwayWindow> found;
    collectWindows(ask(QStringLiteral("get_tree")).object(), false, found);
    return found;
}

std::optional<SwayWindow> SwayCompositor::window(const QString& title) const {
    for (const SwayWindow& window : windows()) {
        if (window.title == title) return window;
    }
    return std::nullopt;
}

QRect SwayCompositor::outputArea() const { return rectOf(ask(QStringLiteral("get_outputs")).array().at(0).toObject().value("rect")); }

QRect SwayCompositor::workspaceArea() const {
    for (const QJsonValue workspace : ask(QStringLiteral("get_workspaces")).array()) {
        if (workspace.toObject().value("focused").toBool()) return rectOf(workspace.toObject().value("rect"));
    }
    return {};
}

QImage SwayCompositor::screenshot() const {
    QProcessEnvironment environment = childEnvironment({this});
    const QString file = runtimeDirectory_.filePath(QStringLiteral("screen.png"));
    QProcess grim;
    grim.setProcessEnvironment(environment);
    grim.start(QStringLiteral("grim"), {file});
    if (!grim.waitForFinished(10000) || grim.exitCode() != 0) return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

Waybar::Waybar(const SwayCompositor& sway, const SessionBus& bus, Edge edge, Style style)
    : sway_(sway), edge_(edge) {
    if (!sway.started() || !bus.started()) {
        process_.fail(QStringLiteral("waybar: no sway or session bus to run on"));
        return;
    }
    const QString config = directory_.filePath(QStringLiteral("config")), css = directory_.filePath(QStringLiteral("style.css"));
    // A light style of one's own: the bar and its text as in Adwaita.
    if (!writeConfiguration(config, QStringLiteral(R"({"position": "%1", "height": %2, "modules-left": [], "modules-center": [],
                                                       "modules-right": ["tray"], "tray": {"icon-size": 22, "spacing": 4}})")
                                        .arg(edge == Edge::top ? QStringLiteral("top") : QStringLiteral("bottom"))
                                        .arg(height)
                                        .toUtf8()) ||
        !writeConfiguration(css, "* { border: none; border-radius: 0; min-height: 0; }\n"
                                 "window#waybar { background-color: #f6f5f4; color: #2e3436; }\n")) {
        process_.fail(QStringLiteral("waybar: cannot write its configuration"));
        return;
    }
    QStringList arguments{QStringLiteral("-c"), config};
    if (style == Style::light) arguments << QStringLiteral("-s") << css;
    QProcessEnvironment environment = childEnvironment({&bus, &sway});
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // waybar started by sway's own exec, inside its user namespace, could not reach the bus.
    if (!process_.start(QStringLiteral("waybar"), arguments, environment, QStringLiteral("waybar"))) return;
    const TrayWatch tray(bus.connection());
    process_.waitFor([&] { return tray.hostRegistered() && sway.workspaceArea() != sway.outputArea(); },
                     QStringLiteral("hosting a tray beside the workspace"));
}

QRect Waybar::area() const {
    const QRect output = sway_.outputArea();
    return edge_ == Edge::top ? QRect(output.left(), output.top(), output.width(), height)
                              : QRect(output.left(), output.bottom() + 1 - height, output.width(), height);
}

}  // namespace avrane::testing
