#include "core/markup/InkKind.h"

namespace quillet {

std::string_view rawValue(InkKind kind) {
    switch (kind) {
        case InkKind::pen:
            return "pen";
        case InkKind::highlighter:
            return "highlighter";
        case InkKind::signature:
            return "signature";
    }
    return "pen";
}

std::optional<InkKind> inkKindFromRawValue(std::string_view text) {
    for (InkKind kind : {InkKind::pen, InkKind::highlighter, InkKind::signature}) {
        if (rawValue(kind) == text) return kind;
    }
    return std::nullopt;
}

}  // namespace quillet
