#include "AvraneBar/Panel/PanelTexts.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace avrane::panel {

using Kind = HeadsetSnapshot::Availability::Kind;

HeaderText headerText(const HeadsetSnapshot& s, const Localization& texts) {
    switch (s.availability.kind()) {
    case Kind::noDongle: {
        if (s.availability.accessDenied()) {
            return {texts.text(Str::dongleNoAccess), texts.text(Str::dongleNoAccessHint), true};
        }
        if (s.availability.inUse()) return {texts.text(Str::dongleInUse), texts.text(Str::dongleInUseHint), true};
        // Until the first attempt the controller says it is looking; later failures carry
        // their own reason, which the panel does not show.
        const bool looking = s.availability.text().find("Looking") != std::string::npos;
        return {texts.text(looking ? Str::lookingForDongle : Str::noDongle), texts.text(Str::noDongleHint), true};
    }
    case Kind::headsetUnreachable:
        return {texts.text(Str::headsetNotResponding), texts.text(Str::headsetNotRespondingHint), true};
    case Kind::connected:
        break;
    }
    HeaderText header;
    header.device = s.model ? QString::fromStdString(s.model->deviceName()) : texts.text(Str::headset);
    if (s.firmware) {
        header.firmware = texts.text(Str::firmware) + u' ' + QString::fromStdString(s.firmware->headset.text()) +
                          QStringLiteral("  \u00B7  ") + texts.text(Str::firmwareDongle) + u' ' +
                          QString::fromStdString(s.firmware->dongle.text());
    } else {
        header.firmware = QString::fromStdString(s.dongleName.value_or(std::string()));
    }
    return header;
}

BatteryLine batteryLine(const HeadsetSnapshot& s, const Localization& texts, TimePoint now) {
    BatteryLine line;
    line.charging = s.batteryCharging.value_or(false);
    if (const auto percent = s.batteryPercent) {
        line.gauge = *percent;
        line.text = (line.charging ? texts.text(Str::charging) + QStringLiteral("  ") : texts.text(Str::battery) + u' ') +
                    QString::number(*percent) + u'%';
        if (const auto changedAt = s.batteryLevelChangedAt; changedAt && now - *changedAt >= std::chrono::seconds(60)) {
            line.text += QStringLiteral("  \u00B7  ") + texts.elapsed(*changedAt);
        }
    } else {
        line.text = line.charging ? texts.text(Str::charging) : texts.text(Str::battery) + u' ' + texts.text(Str::notReported);
    }
    line.tone = batteryTone(s.batteryPercent, line.charging);
    return line;
}

Tone batteryTone(std::optional<std::uint8_t> percent, bool charging) {
    if (!percent || charging) return Tone::secondary;
    if (*percent <= 14) return Tone::red;
    if (*percent <= 29) return Tone::orange;
    return Tone::secondary;
}

Tone gaugeTone(std::uint8_t percent, bool charging) {
    if (charging) return Tone::green;
    if (percent < 15) return Tone::red;
    if (percent < 30) return Tone::orange;
    return Tone::green;
}

double gaugeFillWidth(std::uint8_t percent, double width, double height) {
    if (percent == 0) return 0;
    return std::max(width * percent / 100.0, height);
}

QString balanceText(double uiValue, const Localization& texts) {
    if (uiValue == 0) return texts.text(Str::balanceEven);
    const QString side = texts.text(uiValue < 0 ? Str::balanceTowardGame : Str::balanceTowardChat);
    return side + u' ' + QString::number(std::abs(uiValue), 'f', 1);
}

QString bluetoothStateText(const std::optional<BluetoothStatus>& status, const Localization& texts) {
    using Power = BluetoothStatus::Power;
    using Link = BluetoothStatus::Link;
    if (!status) return texts.text(Str::notReported);
    if (status->power != Power::on) return texts.text(Str::off);
    if (status->link == Link::connected) return texts.text(Str::on) + QStringLiteral(" \u00B7 ") + texts.text(Str::btConnected);
    if (status->link == Link::pairing) return texts.text(Str::btPairing);
    return texts.text(Str::btNotConnected);
}

ToneText computerLinkText(const MacBluetoothLink& link, const Localization& texts) {
    if (link.isConnected) return {texts.text(Str::macConnectedAudioOnly), Tone::green};
    if (link.isPaired) return {texts.text(Str::macPairedNotConnected), Tone::secondary};
    return {texts.text(Str::macNotPaired), Tone::secondary};
}

ToneText micText(bool muted, const Localization& texts) {
    return muted ? ToneText{texts.text(Str::micMuted), Tone::secondary} : ToneText{texts.text(Str::micLive), Tone::green};
}

UpdateRow updateRow(const UpdateChecker::State& state, const Localization& texts) {
    UpdateRow row;
    row.checkEnabled = !std::holds_alternative<UpdateChecker::Checking>(state) &&
                       !std::holds_alternative<UpdateChecker::Downloading>(state);
    if (std::holds_alternative<UpdateChecker::UpToDate>(state)) {
        row.status = {texts.text(Str::upToDate)};
    } else if (const auto* available = std::get_if<UpdateChecker::Available>(&state)) {
        row.status = {texts.updateAvailable(available->release.version), Tone::green};
        row.action = texts.text(Str::downloadAndInstall);
    } else if (std::holds_alternative<UpdateChecker::ReadyToInstall>(state)) {
        row.status = {texts.text(Str::openingInstaller), Tone::green};
    } else if (const auto* failed = std::get_if<UpdateChecker::Failed>(&state)) {
        row.status = {texts.text(Str::couldNotCheck)};
        row.toolTip = failed->message;
    } else if (std::holds_alternative<UpdateChecker::Checking>(state)) {
        row.status = {texts.text(Str::checking)};
    } else if (std::holds_alternative<UpdateChecker::Downloading>(state)) {
        row.status = {texts.text(Str::downloading)};
    } else {
        row.status = {texts.text(Str::notCheckedYet)};
    }
    return row;
}

QString notSavedText(const SaveFailure& failure, const Localization& texts, const QString& home) {
    QString folder = failure.folder;
    if (!home.isEmpty() && (folder == home || folder.startsWith(home + u'/'))) folder = u'~' + folder.mid(home.size());
    QString reason;
    switch (failure.reason) {
    case SaveFailure::Reason::readOnly: reason = texts.text(Str::notSavedReadOnly).arg(folder); break;
    case SaveFailure::Reason::noSpace: reason = texts.text(Str::notSavedNoSpace); break;
    case SaveFailure::Reason::other: reason = folder + QStringLiteral(": ") + failure.detail; break;
    }
    return texts.text(Str::settingNotSaved) + QStringLiteral(": ") + reason;
}

}  // namespace avrane::panel

namespace avrane {

std::ostream& operator<<(std::ostream& out, Tone tone) {
    constexpr const char* names[] = {"secondary", "green", "orange", "red"};
    return out << names[static_cast<int>(tone)];
}

std::ostream& operator<<(std::ostream& out, const ToneText& text) {
    return out << '"' << text.text.toStdString() << "\" " << text.tone;
}

std::ostream& operator<<(std::ostream& out, const BatteryLine& line) {
    out << '"' << line.text.toStdString() << "\" " << line.tone << " gauge ";
    if (line.gauge) out << int(*line.gauge); else out << "hidden";
    return out << (line.charging ? " charging" : "");
}

}  // namespace avrane
