#pragma once

#include <array>
#include <optional>

#include <QString>
#include <QStringView>

namespace avrane {

// The user's choice of interface language, stored as its raw text.
enum class Language {
    system,   // follow the desktop's preferred language
    korean,
    english,
};

// In the order the language menu lists them.
inline constexpr std::array<Language, 3> allLanguages{Language::system, Language::korean, Language::english};

// "system", "korean", "english".
QString rawValue(Language language);
// Exactly one of the raw texts, or nothing.
std::optional<Language> languageFromRaw(QStringView raw);

}  // namespace avrane
