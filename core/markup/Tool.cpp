#include "core/markup/Tool.h"

namespace quillet {

std::string_view rawValue(Tool tool) {
    switch (tool) {
        case Tool::select:
            return "select";
        case Tool::pen:
            return "pen";
        case Tool::highlighter:
            return "highlighter";
        case Tool::text:
            return "text";
        case Tool::note:
            return "note";
        case Tool::arrow:
            return "arrow";
        case Tool::signature:
            return "signature";
        case Tool::eraser:
            return "eraser";
        case Tool::textHighlight:
            return "textHighlight";
        case Tool::underline:
            return "underline";
        case Tool::strikeOut:
            return "strikeOut";
        case Tool::squiggly:
            return "squiggly";
    }
    return "select";
}

std::optional<Tool> toolFromRawValue(std::string_view text) {
    for (Tool tool : allTools)
        if (rawValue(tool) == text) return tool;
    return std::nullopt;
}

Tool toolFor(TextMarkupKind kind) {
    switch (kind) {
        case TextMarkupKind::highlight:
            return Tool::textHighlight;
        case TextMarkupKind::underline:
            return Tool::underline;
        case TextMarkupKind::strikeOut:
            return Tool::strikeOut;
        case TextMarkupKind::squiggly:
            return Tool::squiggly;
    }
    return Tool::textHighlight;
}

std::optional<TextMarkupKind> textMarkupKind(Tool tool) {
    for (TextMarkupKind kind : allTextMarkupKinds)
        if (toolFor(kind) == tool) return kind;
    return std::nullopt;
}

bool hasStyle(Tool tool) {
    return tool != Tool::select && tool != Tool::eraser;
}

bool hasLineWidthControl(Tool tool) {
    return tool == Tool::pen || tool == Tool::highlighter || tool == Tool::arrow || tool == Tool::signature;
}

bool hasTextSizeControl(Tool tool) {
    return tool == Tool::text || tool == Tool::note || tool == Tool::arrow;
}

bool hasBorderSwitch(Tool tool) {
    return tool == Tool::text || tool == Tool::arrow;
}

}  // namespace quillet
