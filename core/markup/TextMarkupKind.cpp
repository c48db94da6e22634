#include "core/markup/TextMarkupKind.h"

namespace quillet {

std::string_view rawValue(TextMarkupKind kind) {
    switch (kind) {
        case TextMarkupKind::highlight:
            return "highlight";
        case TextMarkupKind::underline:
            return "underline";
        case TextMarkupKind::strikeOut:
            return "strikeOut";
        case TextMarkupKind::squiggly:
            return "squiggly";
    }
    return "highlight";
}

std::optional<TextMarkupKind> textMarkupKindFromRawValue(std::string_view text) {
    for (TextMarkupKind kind : allTextMarkupKinds)
        if (rawValue(kind) == text) return kind;
    return std::nullopt;
}

std::string_view pdfSubtype(TextMarkupKind kind) {
    switch (kind) {
        case TextMarkupKind::highlight:
            return "Highlight";
        case TextMarkupKind::underline:
            return "Underline";
        case TextMarkupKind::strikeOut:
            return "StrikeOut";
        case TextMarkupKind::squiggly:
            return "Squiggly";
    }
    return "Highlight";
}

}  // namespace quillet
