#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <QString>
#include <QStringList>
#include <QStringView>

#include "AvraneBar/Localization/Language.h"
#include "AvraneBar/Localization/Str.h"
#include "AvraneBar/Preferences/SettingsTrace.h"
#include "AvraneDefaults/UserDefaults.h"

namespace avrane {

// The desktop's preferred languages, most preferred first ("ko-KR", "en-GB", ...).
QStringList systemPreferredLanguages();

struct LocalizationOptions {
    using TimePoint = std::chrono::system_clock::time_point;

    UserDefaults defaults = UserDefaults::standard();
    std::function<QStringList()> preferredLanguages = systemPreferredLanguages;
    // "Now", for texts that say how long ago something was.
    std::function<TimePoint()> clock = [] { return std::chrono::system_clock::now(); };
    SettingsTrace trace = {};
};

// The interface language: the user's choice, kept in the user defaults under "language",
// and the texts in the language in effect. Used on the main thread only.
class Localization {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    using Options = LocalizationOptions;

    // Posted on the default NotificationCenter when the choice really changes.
    static inline const QString didChange = QStringLiteral("avrane.localization.didChange");
    static inline const QString languageKey = QStringLiteral("language");

    // The application's instance, reading the standard user defaults on first use.
    static Localization& shared();

    // Reads the stored choice; anything but "korean" or "english" means `system`. Nothing is
    // written until the choice changes.
    explicit Localization(Options options = {});

    Language language() const { return language_; }
    // Stores the choice and announces it, unless it is the current one. A choice that cannot
    // be saved is traced and dropped (the answer is false): the language in effect is always
    // the stored one.
    bool setLanguage(Language language);

    // Korean for that choice, or for `system` when the most preferred language of the
    // desktop is Korean; English otherwise. Worked out afresh each time, so a change of
    // the desktop's language shows at the next relabel.
    bool isKorean() const;

    QString text(Str key) const;

    // "Version 1.4.0 is available" / "새 버전 1.4.0 이(가) 있습니다".
    QString updateAvailable(QStringView version) const;
    // "just now" under a minute (or for a time still to come), then "N min ago" up to an
    // hour, then "N h ago".
    QString elapsed(TimePoint since) const;
    // "Off" for 0, else "N min" / "N분".
    QString minutes(std::uint8_t minutes) const;
    // The language menu's item for `language`: the two languages are always written in
    // their own script; only "System" follows the interface language.
    QString menuLabel(Language language) const;

private:
    Options options_;
    Language language_;
};

// The helpers on the shared instance.
QString localizedUpdateAvailable(QStringView version);
QString localizedElapsed(Localization::TimePoint since);
QString localizedMinutes(std::uint8_t minutes);

}  // namespace avrane
