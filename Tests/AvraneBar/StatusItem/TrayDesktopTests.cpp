#include <gmock/gmock.h>

#include <QDir>
#include <QFileInfo>

#include "AvraneBar/StatusItem/PlasmaPanelColours.h"
#include "AvraneBar/StatusItem/TrayIconInk.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

// Plasma's folders, made afresh for each case: a user's configuration and data, and the
// system's data with Breeze's style and colour schemes as Debian installs them.
class PlasmaFolders : public ::testing::Test {
protected:
    void SetUp() override {
        const QString root = testing::freshFilePath(QString());
        folders.config = {root + "/config", root + "/etc"};
        folders.data = {root + "/share", root + "/usr"};
        for (const QString& folder : folders.config + folders.data) QDir().mkpath(folder);
        put(folders.data[1], "plasma/desktoptheme/breeze-dark/colors",
            "[Colors:Button]\nBackgroundNormal=1,2,3\n[Colors:Window]\nBackgroundNormal=49,54,59\nForegroundNormal=252,252,252\n");
        put(folders.data[1], "color-schemes/BreezeDark.colors",
            "[Colors:Header]\nBackgroundNormal=49,54,59\n[Colors:Window]\nBackgroundNormal=42,46,50\nForegroundNormal=252,252,252\n");
    }
    static void put(const QString& folder, const QString& relative, const QByteArray& text) {
        const QString path = folder + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        testing::writeFile(path, text);
    }

    plasma::Folders folders;
};

TEST_F(PlasmaFolders, panelColoursFollowTheStyleThenTheColourScheme) {
    const BarColours breezeLight{{239, 240, 241}, Rgb{35, 38, 41}};
    const BarColours darkStyle{{49, 54, 59}, Rgb{252, 252, 252}};
    const BarColours darkScheme{{42, 46, 50}, Rgb{252, 252, 252}};
    EXPECT_EQ(plasma::panelColours(folders), breezeLight) << "nothing configured";

    // The scheme named in kdeglobals, then the colours written there (System Settings writes
    // both); the system's kdeglobals where the user's says nothing.
    put(folders.config[1], "kdeglobals", "[General]\nColorScheme=BreezeDark\n");
    EXPECT_EQ(plasma::panelColours(folders), darkScheme);
    put(folders.config[0], "kdeglobals", "# mine\n[Colors:Window]\nBackgroundNormal[$e]=10,20,30\n");
    EXPECT_EQ(plasma::panelColours(folders), (BarColours{{10, 20, 30}, std::nullopt}));

    // A style with colours of its own wins over the scheme.
    put(folders.config[0], "plasmarc", "[Theme]\nname=breeze-dark\n");
    EXPECT_EQ(plasma::panelColours(folders), darkStyle);

    // Names that are paths, and colours that are none, are passed over.
    put(folders.config[0], "plasmarc", "[Theme]\nname=../breeze-dark\n");
    put(folders.config[0], "kdeglobals", "[Colors:Window]\nBackgroundNormal=300,0,0\n[General]\nColorScheme=../../x\n");
    EXPECT_EQ(plasma::panelColours(folders), breezeLight);
}

}  // namespace
}  // namespace avrane
