#include "AvraneBar/Localization/Language.h"

namespace avrane {

QString rawValue(Language language) {
    switch (language) {
    case Language::system: return QStringLiteral("system");
    case Language::korean: return QStringLiteral("korean");
    case Language::english: return QStringLiteral("english");
    }
    return {};
}

std::optional<Language> languageFromRaw(QStringView raw) {
    for (const auto language : allLanguages) {
        if (raw == rawValue(language)) return language;
    }
    return std::nullopt;
}

}  // namespace avrane
