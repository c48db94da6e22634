// Which language the interface speaks, and what choosing another one from the
// Language menu does. The application's own override ("AppleLanguages", one
// entry) wins over the user's preferred UI languages; among those the first
// that asks for a supported localization ("en", then "ru") is taken, and
// English when none does.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <optional>

#include "app/platform/InterfaceLanguage.h"

namespace quillet::LanguageChoice {

inline constexpr char overrideKey[] = "AppleLanguages";

// The supported localization a language tag asks for: "ru", "ru-RU" and
// "ru_RU.UTF-8" all ask for Russian; "de-DE" for none.
std::optional<Language> supportedLanguage(const QString& tag);
// The first of `preferredTags` that asks for a supported localization.
std::optional<Language> firstSupported(const QStringList& preferredTags);

// The user's preferred UI languages as the desktop reports them (LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG), most preferred first.
QStringList systemPreferredLanguages();

// The application's override, when its first entry is a supported language.
std::optional<Language> storedOverride(const QSettings& store);

// The interface language at launch: the override, else the system's choice,
// else English.
Language languageAtLaunch(const QSettings& store, const QStringList& systemLanguages);

// The language menu's codes: "" (system default), "en", "ru".
struct Selection {
    bool accepted = false;  // false for an unknown code: nothing was changed
    Language resulting = Language::en;
    bool needsRestart = false;  // the resulting language differs from this run's
};

// Stores the choice of `code` (removing the override for the system default)
// and says whether the interface must restart to show it.
Selection select(QSettings& store, const QString& code, const QStringList& systemLanguages, Language current);

// The code whose menu item carries the check mark: the override's, or "" with
// no override.
QString checkedCode(const QSettings& store);

}  // namespace quillet::LanguageChoice
