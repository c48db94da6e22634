#include "app/ui/LanguageChoice.h"

#include <QLocale>

namespace quillet::LanguageChoice {

std::optional<Language> supportedLanguage(const QString& tag) {
    // The language subtag ends at the first region, script or encoding mark.
    qsizetype end = 0;
    while (end < tag.size() && tag.at(end).isLetter()) {
        ++end;
    }
    return languageFromCode(tag.left(end).toLower());
}

std::optional<Language> firstSupported(const QStringList& preferredTags) {
    for (const QString& tag : preferredTags) {
        if (const auto language = supportedLanguage(tag)) {
            return language;
        }
    }
    return std::nullopt;
}

QStringList systemPreferredLanguages() {
    return QLocale::system().uiLanguages();
}

std::optional<Language> storedOverride(const QSettings& store) {
    const QStringList entries = store.value(overrideKey).toStringList();
    if (entries.isEmpty()) {
        return std::nullopt;
    }
    return languageFromCode(entries.first());
}

Language languageAtLaunch(const QSettings& store, const QStringList& systemLanguages) {
    if (const auto chosen = storedOverride(store)) {
        return *chosen;
    }
    return firstSupported(systemLanguages).value_or(Language::en);
}

Selection select(QSettings& store, const QString& code, const QStringList& systemLanguages,
                 Language current) {
    Selection selection;
    if (code.isEmpty()) {
        store.remove(overrideKey);
        selection.resulting = firstSupported(systemLanguages).value_or(Language::en);
    } else if (const auto language = languageFromCode(code)) {
        store.setValue(overrideKey, QStringList{code});
        selection.resulting = *language;
    } else {
        return selection;
    }
    store.sync();
    selection.accepted = true;
    selection.needsRestart = selection.resulting != current;
    return selection;
}

QString checkedCode(const QSettings& store) {
    const auto chosen = storedOverride(store);
    return chosen ? languageCode(*chosen) : QString();
}

}  // namespace quillet::LanguageChoice
