#include "Support/X11Display.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

#include <xcb/xcb.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace avrane::testing {

namespace {

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPointer<Reply> owned(Reply* reply) {
    return ReplyPointer<Reply>(reply, &std::free);
}

}  // namespace

QString unusedDisplayName() {
    // An X server takes its number with a lock file and a socket of that number.
    for (int number = 7700;; ++number) {
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) &&
            !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
            return QStringLiteral(":%1").arg(number);
        }
    }
}

X11Display::X11Display(const QString& name) : name_(name) {
    int screenNumber = 0;
    connection_ = xcb_connect(name.toLocal8Bit().constData(), &screenNumber);
    if (xcb_connection_has_error(connection_)) return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (; screens.rem > 0 && screenNumber > 0; --screenNumber) xcb_screen_next(&screens);
    if (screens.rem > 0) root_ = screens.data->root;
}

X11Display::~X11Display() { xcb_disconnect(connection_); }

bool X11Display::connected() const { return !xcb_connection_has_error(connection_) && root_ != 0; }

std::uint32_t X11Display::atom(const char* name) const {
    const auto reply = owned(xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

static QByteArray property(xcb_connection_t* connection, WindowId window, xcb_atom_t name) {
    const auto reply = owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
}

QString X11Display::title(WindowId window) const {
    const QByteArray name = property(connection_, window, atom("_NET_WM_NAME"));
    return name.isEmpty() ? QString::fromLatin1(property(connection_, window, XCB_ATOM_WM_NAME)) : QString::fromUtf8(name);
}

// Every window below the root, each with its depth (1 for top-level ones), parents first.
static std::vector<std::pair<WindowId, int>> allWindows(xcb_connection_t* connection, WindowId root) {
    std::vector<std::pair<WindowId, int>> found;
    std::deque<std::pair<WindowId, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [parent, depth] = pending.front();
        pending.pop_front();
        const auto tree = owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr));
        if (!tree) continue;  // destroyed meanwhile
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            found.emplace_back(children[i], depth + 1);
            pending.emplace_back(children[i], depth + 1);
        }
    }
    return found;
}

std::optional<WindowState> X11Display::state(WindowId window) const {
    const auto geometry = owned(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    const auto origin = owned(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
    const auto attributes = owned(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr));
    if (!geometry || !origin || !attributes) return std::nullopt;
    const QRect inside(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    QRect frame = inside;
    // left, right, top, bottom
    if (const QByteArray extents = property(connection_, window, atom("_NET_FRAME_EXTENTS")); extents.size() >= 16) {
        std::uint32_t e[4];
        memcpy(e, extents.constData(), sizeof e);
        frame.adjust(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
    }
    return WindowState{window, inside, attributes->map_state == XCB_MAP_STATE_VIEWABLE, frame};
}

std::optional<WindowState> X11Display::window(const QString& wanted) const {
    std::optional<WindowState> found;
    for (const auto& [window, depth] : allWindows(connection_, root_)) {
        if (title(window) != wanted) continue;
        found = state(window);
        if (found && found->viewable) break;
    }
    return found;
}

std::vector<WindowState> X11Display::embeddedWindows(const QString& program) const {
    const xcb_atom_t xembedInfo = atom("_XEMBED_INFO");
    std::vector<WindowState> found;
    for (const auto& [window, depth] : allWindows(connection_, root_)) {
        if (depth < 2 || property(connection_, window, xembedInfo).isEmpty()) continue;
        // WM_CLASS is "instance\0class\0".
        if (!program.isEmpty() && QString::fromLatin1(property(connection_, window, XCB_ATOM_WM_CLASS).split('\0').value(0)) != program)
            continue;
        if (const auto windowState = state(window)) found.push_back(*windowState);
    }
    return found;
}

std::optional<WindowId> X11Display::selectionOwner(const char* selection) const {
    const auto reply = owned(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, atom(selection)), nullptr));
    if (!reply || reply->owner == XCB_NONE) return std::nullopt;
    return reply->owner;
}

std::optional<WindowId> X11Display::inputFocus() const {
    const auto reply = owned(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (!reply || reply->focus == XCB_NONE || reply->focus == XCB_INPUT_FOCUS_POINTER_ROOT) return std::nullopt;
    return reply->focus;
}

void X11Display::setInputFocus(WindowId window) const {
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    inputFocus();  // a round trip: the server has applied it when this returns
}

void X11Display::moveWindow(WindowId window, QPoint to) const {
    const std::uint32_t position[] = {std::uint32_t(to.x()), std::uint32_t(to.y())};
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
    inputFocus();  // a round trip: the server has applied it when this returns
}

void X11Display::closeWindow(WindowId window) const {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    inputFocus();  // a round trip: the server has sent it when this returns
}

QString X11Display::windowClass(WindowId window) const {
    // "instance\0class\0".
    return QString::fromLatin1(property(connection_, window, XCB_ATOM_WM_CLASS).split('\0').value(1));
}

QString X11Display::windowType(WindowId window) const {
    const QByteArray types = property(connection_, window, atom("_NET_WM_WINDOW_TYPE"));
    if (types.size() < 4) return {};
    xcb_atom_t first = 0;
    std::memcpy(&first, types.constData(), sizeof first);
    const auto name = owned(xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, first), nullptr));
    if (!name) return {};
    return QString::fromLatin1(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
}

QImage X11Display::screenshot() const {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    const auto image = owned(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, ~0u),
        nullptr));
    // Xvfb's 24-bit screens keep a pixel in 32 bits, the byte order of this machine: Qt's RGB32.
    if (!image || image->depth != 24 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
        xcb_get_image_data_length(image.get()) != screen->width_in_pixels * screen->height_in_pixels * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), screen->width_in_pixels, screen->height_in_pixels, QImage::Format_RGB32)
        .copy();
}

std::optional<QRect> X11Display::workArea() const {
    const QByteArray area = property(connection_, root_, atom("_NET_WORKAREA"));
    if (area.size() < 16) return std::nullopt;
    std::uint32_t numbers[4];
    memcpy(numbers, area.constData(), sizeof numbers);
    return QRect(int(numbers[0]), int(numbers[1]), int(numbers[2]), int(numbers[3]));
}

::testing::AssertionResult X11Display::xdotool(const QStringList& arguments) const {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (program.isEmpty()) return ::testing::AssertionFailure() << "xdotool not found (Debian package xdotool)";
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name_);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return ::testing::AssertionFailure() << "xdotool " << arguments.join(QLatin1Char(' ')).toStdString()
                                             << " failed: " << process.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult X11Display::click(QPoint position, int button) const {
    // From the bottom right corner, so that the target sees the pointer come in: weston's X11
    // output ignores motion inside its window until the pointer has entered it.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    return xdotool({QStringLiteral("mousemove"), QString::number(screen->width_in_pixels - 1),
                    QString::number(screen->height_in_pixels - 1), QStringLiteral("mousemove"),
                    QString::number(position.x()), QString::number(position.y()), QStringLiteral("click"),
                    QString::number(button)});
}

::testing::AssertionResult X11Display::pressKey(const QString& key) const {
    return xdotool({QStringLiteral("key"), key});
}

::testing::AssertionResult X11Display::movePointer(QPoint position) const {
    return xdotool({QStringLiteral("mousemove"), QString::number(position.x()), QString::number(position.y())});
}

}  // namespace avrane::testing
