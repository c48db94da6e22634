#include "app/document/DocumentLoaderError.h"

namespace quillet {

namespace {

constexpr LocalizedString unreadableText{"The document could not be opened", "Не удалось открыть документ"};
constexpr LocalizedString unreadableExplanation{"The file is damaged or is not a PDF.",
                                                "Файл повреждён или не является PDF."};

}  // namespace

DocumentLoaderError::DocumentLoaderError(Code code, std::string detail)
    : code_(code), detail_(std::move(detail)), text_(unreadableText.en)
{
}

std::string DocumentLoaderError::text() const
{
    return text_;
}

QString DocumentLoaderError::localizedText(Language language) const
{
    return unreadableText.in(language);
}

QString DocumentLoaderError::localizedExplanation(Language language) const
{
    return unreadableExplanation.in(language);
}

}  // namespace quillet
