// The kinds of markup laid over a page's own text, stored by their raw texts.
// Each is a standard annotation subtype, so every viewer lists and shows it.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quillet {

enum class TextMarkupKind {
    highlight,  // "highlight": the text's quads filled, multiplied over the page
    underline,  // "underline": a line under each quad
    strikeOut,  // "strikeOut": a line through each quad
    squiggly,   // "squiggly": a wavy line under each quad
};

inline constexpr std::array<TextMarkupKind, 4> allTextMarkupKinds{
    TextMarkupKind::highlight, TextMarkupKind::underline, TextMarkupKind::strikeOut,
    TextMarkupKind::squiggly};

std::string_view rawValue(TextMarkupKind kind);
// Absent for any text other than the four raw values (case-sensitive).
std::optional<TextMarkupKind> textMarkupKindFromRawValue(std::string_view text);
// The annotation's /Subtype: "Highlight", "Underline", "StrikeOut", "Squiggly".
std::string_view pdfSubtype(TextMarkupKind kind);

}  // namespace quillet
