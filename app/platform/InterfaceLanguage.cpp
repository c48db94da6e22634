#include "app/platform/InterfaceLanguage.h"

#include <atomic>

namespace quillet {

namespace {

constexpr int unfixed = -1;
std::atomic<int> fixedLanguage{unfixed};

}  // namespace

std::optional<Language> languageFromCode(QStringView code) {
    if (code == u"en") {
        return Language::en;
    }
    if (code == u"ru") {
        return Language::ru;
    }
    return std::nullopt;
}

QString languageCode(Language language) {
    return language == Language::ru ? QStringLiteral("ru") : QStringLiteral("en");
}

bool InterfaceLanguage::fix(Language language) {
    int expected = unfixed;
    return fixedLanguage.compare_exchange_strong(expected, static_cast<int>(language));
}

Language InterfaceLanguage::current() {
    int expected = unfixed;
    fixedLanguage.compare_exchange_strong(expected, static_cast<int>(Language::en));
    return static_cast<Language>(fixedLanguage.load());
}

QString LocalizedString::in(Language language) const {
    return QString::fromUtf8(language == Language::ru ? ru : en);
}

QString LocalizedString::text() const {
    return in(InterfaceLanguage::current());
}

}  // namespace quillet
