// The interface language of this run and the English/Russian string pair that
// every user-visible text of the application is written as.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace quillet {

enum class Language { en, ru };

// "en" or "ru"; anything else (also regional forms such as "ru_RU") is absent.
std::optional<Language> languageFromCode(QStringView code);
QString languageCode(Language language);

// The language is fixed once per process: the shell fixes it at start-up, and
// the first text picked before that fixes it at English, so one run never shows
// a mix of both languages.
class InterfaceLanguage {
  public:
    // False when the language of this run was already fixed (to any value).
    static bool fix(Language language);
    static Language current();
};

// One user-visible text. Both fields are UTF-8 and live for the whole run
// (string literals), so tables of these can be constexpr.
struct LocalizedString {
    const char* en;
    const char* ru;

    QString in(Language language) const;
    // The text in the interface language of this run.
    QString text() const;
};

}  // namespace quillet
