// Renders the settings panel into PNG files: English and Korean, light and dark palettes,
// connected, without a dongle, with a dongle this user may not open and with a silent
// headset. With --simulated the connected
// pictures come from the simulated headset through the real controller; otherwise from a
// fixed snapshot. --memory prints the peak resident size with the panel shown, --bare the
// same for an empty window, to compare the two. --screenshot saves a picture of the whole
// X11 screen named by DISPLAY (for scripts/run on a machine without a screen).
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPalette>
#include <QScreen>
#include <QLayout>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneSim/Simulator.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace {

using namespace avrane;
using Availability = HeadsetSnapshot::Availability;

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2B, 0x2D, 0x31));
    p.setColor(QPalette::WindowText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Base, QColor(0x3A, 0x3D, 0x42));
    p.setColor(QPalette::AlternateBase, QColor(0x33, 0x36, 0x3A));
    p.setColor(QPalette::Text, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3D, 0x42));
    p.setColor(QPalette::ButtonText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Highlight, QColor(0x3D, 0x8B, 0xFD));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x3A, 0x3D, 0x42));
    p.setColor(QPalette::ToolTipText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9A));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Mid, QColor(0x50, 0x53, 0x58));
    p.setColor(QPalette::Dark, QColor(0x1E, 0x1F, 0x22));
    p.setColor(QPalette::Light, QColor(0x4A, 0x4D, 0x52));
    return p;
}

HeadsetSnapshot connectedSnapshot() {
    HeadsetSnapshot s;
    s.availability = Availability::connected();
    s.dongleName = "AVRANE H9 / H7";
    s.model = ModelInfo{0, 0, 0x1234, 0, 0};
    s.firmware = FirmwareVersion{{2, 1, 5}, {1, 3, 7}};
    s.batteryPercent = 80;
    s.batteryCharging = false;
    s.batteryLevelChangedAt = std::chrono::system_clock::now() - std::chrono::minutes(12);
    s.volume = HeadphoneVolume{false, 15, 50};
    s.balance = GameChatBalance(45);
    s.sidetone = SidetoneVolume{5, 50};
    s.micMuted = false;
    s.ambient = AmbientSetting{NoiseCancellingMode::ambientSound, 12, true, 60};
    s.bluetooth = BluetoothStatus{BluetoothStatus::Power::on, BluetoothStatus::Link::connected};
    s.bluetoothSoundMode = BluetoothSoundMode::soundQualityPriority;
    s.bluetoothStartupMode = BluetoothStartupMode::lastState;
    s.ncStartupMode = NoiseCancellingStartupMode::modeAtPowerOff;
    s.macBluetooth = MacBluetoothLink{true, true, "AVRANE H9"};
    s.autoPowerOff = AutoPowerOff::after30Minutes;
    s.led = LEDSetting{true};
    return s;
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    // The pictures must not depend on, nor change, the user's settings.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(settings.path()));
    const bool screenshot = std::any_of(argv, argv + argc, [](const char* a) { return std::strcmp(a, "--screenshot") == 0; });
    if (screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        // An off-screen screen tall enough for the whole panel, every card without scrolling.
        QFile screen(settings.filePath(QStringLiteral("screen.json")));
        if (screen.open(QIODevice::WriteOnly)) {
            screen.write(R"({"screens":[{"name":"pictures","x":0,"y":0,"width":1600,"height":1400,)"
                         R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
            screen.close();
        }
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen.fileName()));
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("out"), QStringLiteral("Folder for the PNG files."), QStringLiteral("folder"),
                       QStringLiteral(".")});
    options.addOption({QStringLiteral("simulated"), QStringLiteral("Connected pictures from the simulated headset.")});
    options.addOption({QStringLiteral("memory"), QStringLiteral("Show the panel once and print the peak resident size.")});
    options.addOption({QStringLiteral("bare"), QStringLiteral("Show an empty window and print the peak resident size.")});
    options.addOption({QStringLiteral("screenshot"), QStringLiteral("Save a picture of the X11 screen."), QStringLiteral("file")});
    options.process(app);

    if (options.isSet(QStringLiteral("screenshot"))) {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QString file = options.value(QStringLiteral("screenshot"));
        if (!screen || !screen->grabWindow(0).save(file)) {
            std::cerr << "cannot save a screenshot to " << file.toStdString() << "\n";
            return 1;
        }
        return 0;
    }

    if (options.isSet(QStringLiteral("bare"))) {
        QWidget window;
        window.resize(360, 560);
        window.show();
        settle();
        std::printf("peak resident size, bare window: %ld KiB\n", peakResidentKiB());
        return 0;
    }

    std::unique_ptr<sim::Simulator> simulator;
    if (options.isSet(QStringLiteral("simulated"))) {
        simulator = std::make_unique<sim::Simulator>();
        simulator->start();
        qputenv("AVRANE_PORT", QByteArray::fromStdString(simulator->slavePath()));
    }
    HeadsetController::Options controllerOptions;
    controllerOptions.runOnMainThread = [](std::function<void()> work) {
        QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
    };
    HeadsetController controller(std::move(controllerOptions));
    UpdateChecker checker;
    auto* content = new PanelViewController(controller, checker);
    MenuBarPanel panel(content);

    HeadsetSnapshot connected = connectedSnapshot();
    if (simulator) {
        controller.setOnChange([](const HeadsetSnapshot&) {});
        controller.refresh();
        controller.waitUntilIdle();
        settle();
        connected = controller.snapshot();
        connected.macBluetooth = MacBluetoothLink{true, false, "AVRANE H9"};
    }

    if (options.isSet(QStringLiteral("memory"))) {
        content->render(connected);
        panel.applyStoredWidth();
        panel.show();
        content->updateContentLimits();
        settle();
        std::printf("peak resident size, panel shown: %ld KiB\n", peakResidentKiB());
        return 0;
    }

    const QDir out(options.value(QStringLiteral("out")));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::cerr << "cannot make " << out.path().toStdString() << "\n";
        return 1;
    }
    const struct {
        const char* name;
        HeadsetSnapshot snapshot;
    } situations[] = {
        {"connected", connected},
        {"no-dongle", [] {
             HeadsetSnapshot s;
             s.availability = Availability::noDongle("no dongle found");
             return s;
         }()},
        {"no-access", [] {
             HeadsetSnapshot s;
             s.availability = Availability::noDongle("cannot open /dev/ttyACM0: Permission denied", true);
             return s;
         }()},
        {"unreachable", [] {
             HeadsetSnapshot s;
             s.availability = Availability::headsetUnreachable("no reply to batteryInfo");
             s.dongleName = "AVRANE H9 / H7";
             return s;
         }()},
    };
    int written = 0;
    for (const Language language : {Language::english, Language::korean}) {
        Localization::shared().setLanguage(language);
        for (const bool dark : {false, true}) {
            QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
            for (const auto& situation : situations) {
                content->model().forgetShown();
                content->render(situation.snapshot);
                panel.applyStoredWidth();
                panel.show();
                content->updateContentLimits();
                settle();
                const QString file = out.filePath(QStringLiteral("panel-%1-%2-%3.png")
                                                      .arg(language == Language::korean ? "ko" : "en",
                                                           dark ? "dark" : "light", situation.name));
                if (!panel.grab().save(file)) {
                    std::cerr << "cannot write " << file.toStdString() << "\n";
                    return 1;
                }
                std::cout << file.toStdString() << "\n";
                ++written;
            }
        }
    }
    return written > 0 ? 0 : 1;
}
