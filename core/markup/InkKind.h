// The kinds of freehand ink, stored by their raw texts.
#pragma once

#include <optional>
#include <string_view>

namespace quillet {

enum class InkKind {
    pen,          // "pen": opaque freehand stroke
    highlighter,  // "highlighter": translucent, drawn with multiply blending
    signature,    // "signature": a placed hand-drawn signature
};

std::string_view rawValue(InkKind kind);
// Absent for any text other than the three raw values (case-sensitive).
std::optional<InkKind> inkKindFromRawValue(std::string_view text);

}  // namespace quillet
