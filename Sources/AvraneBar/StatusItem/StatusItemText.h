#pragma once

#include <optional>

#include <QString>

#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Localization/Localization.h"

namespace avrane {

// The tray item's two texts. The title is what a menu bar would show beside the icon (Linux
// trays draw it into the icon): " 80%", " 80%⚡", " 80% · 12", " 12", or empty for the icon
// alone. The tool tip names the headset and its battery, and the volume when the title shows
// it (a small icon has room for one number only), or says why there is nothing.
namespace status {

struct Flags {
    bool showsBattery = true;
    bool showsVolume = false;
};

// The two flags as stored.
Flags storedFlags(const UserDefaults& defaults = UserDefaults::standard());

QString title(const HeadsetSnapshot& snapshot, Flags flags);
QString toolTip(const HeadsetSnapshot& snapshot, const Localization& texts, Flags flags = {});

}  // namespace status

// What the tray item shows, and when its title has to be redrawn: only when it changed, or
// after a preference change. Main thread only.
class StatusItemModel {
public:
    struct Output {
        std::optional<QString> title;  // nothing: the title drawn last still holds
        QString toolTip;

        bool operator==(const Output&) const = default;
    };

    explicit StatusItemModel(const Localization& texts = Localization::shared(),
                             UserDefaults defaults = UserDefaults::standard())
        : texts_(texts), defaults_(std::move(defaults)) {}

    Output render(const HeadsetSnapshot& snapshot);
    // After a change of language: the tool tip in the new language (the title has no words).
    std::optional<Output> relabel();
    // After a preference changed: the title again, whatever it was.
    std::optional<Output> preferencesChanged();

    const std::optional<HeadsetSnapshot>& latest() const { return latest_; }
    const std::optional<QString>& renderedTitle() const { return renderedTitle_; }

private:
    const Localization& texts_;
    UserDefaults defaults_;
    std::optional<QString> renderedTitle_;
    std::optional<HeadsetSnapshot> latest_;
};

}  // namespace avrane
