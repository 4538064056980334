#include "AvraneBar/Localization/Str.h"

namespace avrane {

namespace {

struct StrRow {
    Str key;
    std::string_view name;
    std::string_view en;
    std::string_view ko;
};

// In key order. Three texts (thisMac, showInDock, dockHint) name parts of the desktop, so
// they follow the platform the program is built for.
constexpr StrRow rows[] = {
    {Str::headset, "headset", "Headset", "헤드셋"},
    {Str::noDongle, "noDongle", "No AVRANE dongle", "AVRANE 동글을 찾을 수 없습니다"},
    {Str::noDongleHint, "noDongleHint", "Plug the USB transceiver in and set its switch to PC.", "USB 송신기를 연결하고 스위치를 PC로 맞춰주세요."},
    {Str::headsetNotResponding, "headsetNotResponding", "Headset not responding", "헤드셋이 응답하지 않습니다"},
    {Str::headsetNotRespondingHint, "headsetNotRespondingHint", "Turn the headset on, or bring it closer.", "헤드셋을 켜거나 가까이 가져와 주세요."},
    {Str::lookingForDongle, "lookingForDongle", "Looking for dongle…", "동글을 찾고 있습니다…"},
    {Str::battery, "battery", "Battery", "배터리"},
    {Str::firmware, "firmware", "Firmware", "펌웨어"},
    {Str::firmwareHeadset, "firmwareHeadset", "headset", "헤드셋"},
    {Str::firmwareDongle, "firmwareDongle", "dongle", "동글"},
    {Str::volume, "volume", "Volume", "볼륨"},
    {Str::gameChatBalance, "gameChatBalance", "Game / Chat Balance", "게임 / 채팅 밸런스"},
    {Str::balanceGame, "balanceGame", "Game", "게임"},
    {Str::balanceChat, "balanceChat", "Chat", "채팅"},
    {Str::balanceCentre, "balanceCentre", "Centre", "가운데"},
    {Str::sidetone, "sidetone", "Sidetone", "사이드톤"},
    {Str::microphone, "microphone", "Microphone", "마이크"},
    {Str::micMuted, "micMuted", "Muted", "음소거"},
    {Str::micLive, "micLive", "Live", "켜짐"},
    {Str::micHint, "micHint", "Flip the boom mic up to mute, down to unmute. The headset does not accept a software mute.", "붐 마이크를 물리적으로 위로 올리면 음소거, 아래로 내리면 켜집니다. 헤드셋이 소프트웨어 음소거를 받지 않습니다."},
    {Str::noiseCancelling, "noiseCancelling", "Noise Cancelling", "노이즈 캔슬링"},
    {Str::ancOff, "ancOff", "Off", "끄기"},
    {Str::ancNoiseCancelling, "ancNoiseCancelling", "Noise Cancelling", "노이즈 캔슬링"},
    {Str::ancAmbientSound, "ancAmbientSound", "Ambient Sound", "외부음 취입"},
    {Str::ambientLevel, "ambientLevel", "Ambient Level", "외부음 레벨"},
    {Str::focusOnVoice, "focusOnVoice", "Focus on Voice", "음성 집중"},
    {Str::autoPowerOff, "autoPowerOff", "Auto Power Off", "자동 전원 꺼짐"},
    {Str::autoPowerOffOff, "autoPowerOffOff", "Off", "사용 안 함"},
    {Str::indicatorLight, "indicatorLight", "Indicator Light", "인디케이터 LED"},
    {Str::on, "on", "On", "켜짐"},
    {Str::off, "off", "Off", "꺼짐"},
    {Str::language, "language", "Language", "언어"},
    {Str::quit, "quit", "Quit", "종료"},
    {Str::notReported, "notReported", "not reported", "정보 없음"},
    {Str::headsetModelName, "headsetModelName", "AVRANE H9", "AVRANE H9"},
    {Str::soundCard, "soundCard", "Sound", "소리"},
    {Str::microphoneCard, "microphoneCard", "Microphone", "마이크"},
    {Str::noiseCancellingCard, "noiseCancellingCard", "Noise Cancelling", "노이즈 캔슬링"},
    {Str::powerCard, "powerCard", "Power & Indicator", "전원과 표시"},
    {Str::menuBarCard, "menuBarCard", "Menu Bar", "메뉴바"},
    {Str::mode, "mode", "Mode", "모드"},
    {Str::showBatteryPercentage, "showBatteryPercentage", "Show battery percentage", "배터리 퍼센트 표시"},
    {Str::resetWindowSize, "resetWindowSize", "Reset window size", "창 크기 초기화"},
    {Str::quitExplanation, "quitExplanation", "Quitting stops battery and status updates in the menu bar. The headset keeps its settings.", "종료하면 메뉴바의 배터리와 상태 표시가 멈춥니다. 헤드셋 설정은 그대로 유지됩니다."},
    {Str::quitConfirm, "quitConfirm", "Quit AVRANE Bar", "AVRANE Bar 종료"},
    {Str::cancel, "cancel", "Cancel", "취소"},
    {Str::charging, "charging", "Charging", "충전 중"},
    {Str::ledHint, "ledHint", "The light on the earcup. Off lets the headset turn it dark by itself — Zur calls this AUTO LED OFF.", "하우징의 표시등입니다. 끄면 헤드셋이 표시등을 스스로 꺼둡니다. Zur에서는 AUTO LED OFF 항목입니다."},
    {Str::balanceTowardGame, "balanceTowardGame", "Game", "게임"},
    {Str::balanceTowardChat, "balanceTowardChat", "Chat", "채팅"},
    {Str::balanceEven, "balanceEven", "Even", "균등"},
    {Str::showVolume, "showVolume", "Show volume", "볼륨 표시"},
#ifdef __APPLE__
    {Str::showInDock, "showInDock", "Show in Dock", "Dock에 표시"},
#else
    {Str::showInDock, "showInDock", "Show in taskbar", "작업 표시줄에 표시"},
#endif
#ifdef __APPLE__
    {Str::dockHint, "dockHint", "With the Dock icon on, the app also appears in Cmd-Tab.", "Dock 아이콘을 켜면 Cmd-Tab에도 함께 나타납니다."},
#else
    {Str::dockHint, "dockHint", "With the taskbar entry on, the app also appears in Alt-Tab.", "작업 표시줄 항목을 켜면 Alt-Tab에도 함께 나타납니다."},
#endif
    {Str::justNow, "justNow", "just now", "방금"},
    {Str::bluetooth, "bluetooth", "Bluetooth", "Bluetooth"},
    {Str::linkPreference, "linkPreference", "Link preference", "접속 모드"},
    {Str::whenPoweredOn, "whenPoweredOn", "When powered on", "전원 켤 때"},
    {Str::status, "status", "Status", "상태"},
    {Str::soundQualityPriority, "soundQualityPriority", "Sound quality", "음질 우선"},
    {Str::connectionPriority, "connectionPriority", "Connection", "연결 우선"},
    {Str::ancWhenPoweredOn, "ancWhenPoweredOn", "ANC when powered on", "전원 켤 때 ANC"},
    {Str::lastState, "lastState", "Last state", "마지막 상태"},
    {Str::btNotConnected, "btNotConnected", "Not connected", "연결 안 됨"},
    {Str::btPairing, "btPairing", "Pairing", "페어링 중"},
    {Str::btConnected, "btConnected", "Connected", "연결됨"},
#ifdef __APPLE__
    {Str::thisMac, "thisMac", "This Mac", "이 Mac"},
#else
    {Str::thisMac, "thisMac", "This computer", "이 컴퓨터"},
#endif
    {Str::macConnectedAudioOnly, "macConnectedAudioOnly", "Connected (audio only)", "연결됨 (오디오 전용)"},
    {Str::macPairedNotConnected, "macPairedNotConnected", "Paired, not connected", "페어링됨, 연결 안 됨"},
    {Str::macNotPaired, "macNotPaired", "Not paired", "페어링 안 됨"},
    {Str::macLinkHint, "macLinkHint", "Bluetooth carries audio only. Settings need the USB transceiver.", "Bluetooth로는 오디오만 오갑니다. 설정은 USB 송신기가 필요합니다."},
    {Str::updates, "updates", "Updates", "업데이트"},
    {Str::checkAutomatically, "checkAutomatically", "Check automatically", "자동으로 확인"},
    {Str::intervalNever, "intervalNever", "Never", "확인 안 함"},
    {Str::intervalHourly, "intervalHourly", "Every hour", "1시간마다"},
    {Str::intervalSixHourly, "intervalSixHourly", "Every 6 hours", "6시간마다"},
    {Str::intervalDaily, "intervalDaily", "Every day", "하루마다"},
    {Str::intervalWeekly, "intervalWeekly", "Every week", "일주일마다"},
    {Str::checkForUpdates, "checkForUpdates", "Check for Updates", "업데이트 확인"},
    {Str::checking, "checking", "Checking…", "확인 중…"},
    {Str::upToDate, "upToDate", "Up to date", "최신 버전입니다"},
    {Str::downloadAndInstall, "downloadAndInstall", "Download and Install", "내려받아 설치"},
    {Str::downloading, "downloading", "Downloading…", "내려받는 중…"},
    {Str::openingInstaller, "openingInstaller", "Opening the installer…", "설치 프로그램을 엽니다…"},
    {Str::couldNotCheck, "couldNotCheck", "Could not check", "확인하지 못했습니다"},
    {Str::notCheckedYet, "notCheckedYet", "Not checked yet", "아직 확인하지 않았습니다"},
    {Str::version, "version", "Version", "버전"},
    {Str::dongleNoAccess, "dongleNoAccess", "Cannot open the AVRANE dongle", "AVRANE 동글을 열 수 없습니다"},
    {Str::dongleNoAccessHint, "dongleNoAccessHint", "Install the udev rule (or the AvraneBar package) and plug the dongle in again, or join the dialout group.", "udev 규칙(또는 AvraneBar 패키지)을 설치하고 동글을 다시 꽂거나, 사용자를 dialout 그룹에 추가해 주세요."},
    {Str::startAtLogin, "startAtLogin", "Start at login", "로그인할 때 시작"},
    {Str::lowBatteryAlerts, "lowBatteryAlerts", "Low battery alerts", "배터리 부족 알림"},
    {Str::applicationName, "applicationName", "AvraneBar", "AvraneBar"},
    // The alerts' titles follow the model name, their bodies the percent ("AVRANE H9 battery
    // low", "14% left. ...").
    {Str::batteryLowTitle, "batteryLowTitle", "battery low", "배터리 부족"},
    {Str::batteryLowBody, "batteryLowBody", "left. Charge the headset soon.", "남았습니다. 헤드셋을 곧 충전해 주세요."},
    {Str::batteryCriticalTitle, "batteryCriticalTitle", "battery almost empty", "배터리 거의 없음"},
    {Str::batteryCriticalBody, "batteryCriticalBody", "left. Charge the headset now: it turns itself off when empty.", "남았습니다. 배터리가 다 되면 헤드셋이 꺼지니 지금 충전해 주세요."},
    // Light and dark name the icon's colour: a light icon for a dark bar.
    {Str::trayIconColour, "trayIconColour", "Tray icon colour", "트레이 아이콘 색"},
    {Str::trayIconColourAutomatic, "trayIconColourAutomatic", "Automatic", "자동"},
    {Str::trayIconColourLight, "trayIconColourLight", "Light", "밝은 색"},
    {Str::trayIconColourDark, "trayIconColourDark", "Dark", "어두운 색"},
    {Str::noTrayGnome, "noTrayGnome", "This desktop shows no tray icons. To have AvraneBar in the top bar, install the AppIndicator extension (package gnome-shell-extension-appindicator).", "이 데스크톱은 트레이 아이콘을 표시하지 않습니다. 상단 표시줄에서 AvraneBar를 보려면 AppIndicator 확장(gnome-shell-extension-appindicator 패키지)을 설치하세요."},
    {Str::noTray, "noTray", "No system tray is running: AvraneBar stays a window until one is back.", "실행 중인 시스템 트레이가 없습니다. 트레이가 돌아올 때까지 AvraneBar는 창으로 남습니다."},
    {Str::keepsRunningTitle, "keepsRunningTitle", "AvraneBar keeps running", "AvraneBar가 계속 실행됩니다"},
    {Str::keepsRunningBody, "keepsRunningBody", "It stays on for the low battery alerts. Start AvraneBar again to open its window; Quit is there.", "배터리 부족 알림을 위해 켜져 있습니다. 창을 열려면 AvraneBar를 다시 시작하세요. 종료는 창에 있습니다."},
    // "Setting not saved: ~/.config/avrane cannot be written"; %1 is a folder.
    {Str::settingNotSaved, "settingNotSaved", "Setting not saved", "설정을 저장하지 못했습니다"},
    {Str::notSavedReadOnly, "notSavedReadOnly", "%1 cannot be written", "%1에 쓸 수 없습니다"},
    {Str::notSavedNoSpace, "notSavedNoSpace", "the disk is full", "디스크가 가득 찼습니다"},
    {Str::dongleInUse, "dongleInUse", "Dongle in use by another program", "다른 프로그램이 동글을 사용 중입니다"},
    {Str::dongleInUseHint, "dongleInUseHint", "Quit the program that holds it (another AvraneBar, avranectl, a serial terminal); AvraneBar then connects by itself.", "동글을 쓰고 있는 프로그램(다른 AvraneBar, avranectl, 시리얼 터미널)을 종료하면 AvraneBar가 스스로 연결합니다."},
};

static_assert(std::size(rows) == strCount);
// Lookups index the table by key, so each row must sit at its key's position.
constexpr bool rowsInKeyOrder() {
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        if (static_cast<std::size_t>(rows[i].key) != i) return false;
    }
    return true;
}
static_assert(rowsInKeyOrder());

const StrRow& row(Str key) {
    return rows[static_cast<std::size_t>(key)];
}

}  // namespace

const std::array<Str, strCount>& allStrs() {
    static const auto keys = [] {
        std::array<Str, strCount> all{};
        for (std::size_t i = 0; i < strCount; ++i) all[i] = rows[i].key;
        return all;
    }();
    return keys;
}

std::string_view caseName(Str key) {
    return row(key).name;
}

QString en(Str key) {
    const auto text = row(key).en;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ko(Str key) {
    const auto text = row(key).ko;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace avrane
