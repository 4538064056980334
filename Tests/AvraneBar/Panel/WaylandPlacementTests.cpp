#include <gmock/gmock.h>

#include "AvraneBar/Panel/SwayIpc.h"
#include "AvraneBar/Panel/WaylandSession.h"

inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.width() << 'x' << r.height() << " at " << r.x() << ',' << r.y();
}

namespace avrane {
namespace {

using wayland::Environment;

TEST(WaylandSession, xwaylandWhereOnlyX11WindowsArePlaced) {
    const Environment gnome{"wayland", "GNOME", "wayland-0", ":0", ""};
    const struct {
        const char* name;
        Environment environment;
        std::optional<QByteArray> platform;
    } rows[] = {
        {"GNOME on Wayland", gnome, "xcb;wayland"},
        {"Ubuntu's GNOME", {"wayland", "ubuntu:GNOME", "wayland-0", ":0", ""}, "xcb;wayland"},
        {"sway: asked over its socket instead", {"wayland", "sway", "wayland-1", ":0", ""}, std::nullopt},
        {"GNOME without XWayland", {"wayland", "GNOME", "wayland-0", "", ""}, std::nullopt},
        {"GNOME on X11", {"x11", "GNOME", "", ":0", ""}, std::nullopt},
        {"the user's QT_QPA_PLATFORM", {"wayland", "GNOME", "wayland-0", ":0", "wayland"}, std::nullopt},
        {"the user's -platform", {"wayland", "GNOME", "wayland-0", ":0", "", true}, std::nullopt},
        {"a name that only contains GNOME", {"wayland", "GNOME-Flashback-X", "wayland-0", ":0", ""}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(wayland::platformForPanelPlacement(row.environment), row.platform);
    }
}

QByteArray header(const char* magic, std::uint32_t length, std::uint32_t type) {
    QByteArray bytes(magic);
    bytes.append(reinterpret_cast<const char*>(&length), 4).append(reinterpret_cast<const char*>(&type), 4);
    return bytes;
}

TEST(SwayIpc, messagesWholeInOrderFromAnySplit) {
    const QByteArray stream = sway::encode(sway::MessageType::getOutputs, "[]") +
                              sway::encode(sway::MessageType::windowEvent, R"({"change":"new"})");
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        sway::MessageReader reader;
        std::vector<sway::Message> read;
        for (const QByteArray& part : {stream.left(cut), stream.mid(cut)}) {
            reader.feed(part);
            while (const auto message = reader.next()) read.push_back(*message);
        }
        EXPECT_THAT(read, ::testing::ElementsAre(sway::Message{3, "[]"}, sway::Message{0x80000003, R"({"change":"new"})"}));
        EXPECT_FALSE(reader.failed());
    }
}

TEST(SwayIpc, aForeignOrHugeHeaderEndsTheStream) {
    for (const QByteArray& bad : {header("i3-ipX", 2, 0) + "[]", header("i3-ipc", sway::MessageReader::maximumPayload + 1, 0)}) {
        sway::MessageReader reader;
        reader.feed(bad);
        EXPECT_EQ(reader.next(), std::nullopt);
        EXPECT_TRUE(reader.failed());
        reader.feed(sway::encode(sway::MessageType::runCommand, "[]"));
        EXPECT_EQ(reader.next(), std::nullopt) << "nothing after it";
    }
}

TEST(SwayIpc, theFocusedOutputAndWhatItsBarsLeave) {
    const QByteArray outputs = R"([{"name":"HDMI-A-1","rect":{"x":0,"y":0,"width":1920,"height":1080}},
                                   {"name":"eDP-1","rect":{"x":1920,"y":0,"width":1280,"height":800}}])";
    const QByteArray workspaces = R"([{"name":"1","output":"HDMI-A-1","focused":false,"rect":{"x":0,"y":30,"width":1920,"height":1050}},
                                      {"name":"2","output":"eDP-1","focused":true,"rect":{"x":1920,"y":0,"width":1280,"height":770}}])";
    const auto areas = sway::focusedAreas(outputs, workspaces);
    ASSERT_TRUE(areas);
    EXPECT_EQ(areas->screen, QRect(1920, 0, 1280, 800));
    EXPECT_EQ(areas->visible, QRect(1920, 0, 1280, 770));
    EXPECT_EQ(sway::focusedAreas(outputs, R"([{"output":"eDP-1","focused":false}])"), std::nullopt);
    EXPECT_EQ(sway::focusedAreas("not json", workspaces), std::nullopt);

    const QByteArray event = R"({"change":"new","container":{"id":17,"pid":4242,"app_id":"x"}})";
    EXPECT_EQ(sway::newWindowOf(event, 4242), 17);
    EXPECT_EQ(sway::newWindowOf(event, 4243), std::nullopt) << "another program's";
    EXPECT_EQ(sway::newWindowOf(R"({"change":"focus","container":{"id":17,"pid":4242}})", 4242), std::nullopt);
}

}  // namespace
}  // namespace avrane
