#include "AvraneBar/Localization/Localization.h"

#include <QLocale>

#include "AvraneBar/Notifications/NotificationCenter.h"

namespace avrane {

namespace {

// "ko", "ko-KR", "ko_KR": the primary language subtag is Korean. A bare prefix test would
// also take Konkani ("kok-IN") for Korean.
bool isKoreanTag(QStringView tag) {
    if (!tag.startsWith(u"ko", Qt::CaseInsensitive)) return false;
    return tag.size() == 2 || tag[2] == u'-' || tag[2] == u'_';
}

QString wholeNumber(long long value) {
    return QString::number(value);
}

}  // namespace

QStringList systemPreferredLanguages() {
    return QLocale::system().uiLanguages();
}

Localization& Localization::shared() {
    static Localization instance;
    return instance;
}

Localization::Localization(Options options)
    : options_(std::move(options)),
      language_(languageFromRaw(options_.defaults.text(languageKey).value_or(QString()))
                    .value_or(Language::system)) {}

bool Localization::setLanguage(Language language) {
    if (language == language_) return true;
    if (!options_.defaults.setText(languageKey, rawValue(language))) {
        options_.trace.notSaved(options_.defaults, languageKey, rawValue(language));
        return false;
    }
    language_ = language;
    NotificationCenter::defaultCenter().post(didChange);
    return true;
}

bool Localization::isKorean() const {
    switch (language_) {
    case Language::korean: return true;
    case Language::english: return false;
    case Language::system: break;
    }
    const QStringList preferred = options_.preferredLanguages();
    return !preferred.isEmpty() && isKoreanTag(preferred.front());
}

QString Localization::text(Str key) const {
    return isKorean() ? ko(key) : en(key);
}

QString Localization::updateAvailable(QStringView version) const {
    if (isKorean()) return QStringLiteral("새 버전 %1 이(가) 있습니다").arg(version);
    return QStringLiteral("Version %1 is available").arg(version);
}

QString Localization::elapsed(TimePoint since) const {
    // Whole milliseconds on both sides: exact at the minute boundaries, and no pair of
    // times can overflow the subtraction.
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto ago = duration_cast<milliseconds>(options_.clock().time_since_epoch()) -
                     duration_cast<milliseconds>(since.time_since_epoch());
    // Truncated toward zero, so anything in the future counts as just now.
    const long long minutes = ago.count() / 60'000;
    if (minutes < 1) return text(Str::justNow);
    if (minutes < 60) {
        return (isKorean() ? QStringLiteral("%1분 전") : QStringLiteral("%1 min ago")).arg(wholeNumber(minutes));
    }
    const long long hours = minutes / 60;
    return (isKorean() ? QStringLiteral("%1시간 전") : QStringLiteral("%1 h ago")).arg(wholeNumber(hours));
}

QString Localization::minutes(std::uint8_t minutes) const {
    if (minutes == 0) return text(Str::autoPowerOffOff);
    return (isKorean() ? QStringLiteral("%1분") : QStringLiteral("%1 min")).arg(wholeNumber(minutes));
}

QString Localization::menuLabel(Language language) const {
    switch (language) {
    case Language::system: return isKorean() ? QStringLiteral("시스템 설정") : QStringLiteral("System");
    case Language::korean: return QStringLiteral("한국어");
    case Language::english: return QStringLiteral("English");
    }
    return {};
}

QString localizedUpdateAvailable(QStringView version) {
    return Localization::shared().updateAvailable(version);
}

QString localizedElapsed(Localization::TimePoint since) {
    return Localization::shared().elapsed(since);
}

QString localizedMinutes(std::uint8_t minutes) {
    return Localization::shared().minutes(minutes);
}

}  // namespace avrane
