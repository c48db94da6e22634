// The editor's tools, in toolbar order, with the controls each one offers.
// Stored by raw value ("pen", "highlighter", ...) as the keys of the saved
// tool styles.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "core/markup/TextMarkupKind.h"

namespace quillet {

// The order of the first eight is stored (as tags) and stays; later tools
// come after them.
enum class Tool {
    select,
    pen,
    highlighter,
    text,
    note,
    arrow,
    signature,
    eraser,
    // Markup over the page's text, one per kind: the first is a tool of the
    // toolbar, the others make their kind from a text selection. Each keeps
    // a style of its own.
    textHighlight,
    underline,
    strikeOut,
    squiggly,
};

inline constexpr std::array<Tool, 12> allTools{
    Tool::select,    Tool::pen,    Tool::highlighter,   Tool::text,      Tool::note,      Tool::arrow,
    Tool::signature, Tool::eraser, Tool::textHighlight, Tool::underline, Tool::strikeOut, Tool::squiggly};
// The tools a user picks in the toolbar and the Tools menu, in their order:
// the first eight as ever, then the text highlighter.
inline constexpr std::array<Tool, 9> toolbarTools{Tool::select,    Tool::pen,    Tool::highlighter,
                                                  Tool::text,      Tool::note,   Tool::arrow,
                                                  Tool::signature, Tool::eraser, Tool::textHighlight};

std::string_view rawValue(Tool tool);
// Absent for any text other than the tools' raw values (case-sensitive).
std::optional<Tool> toolFromRawValue(std::string_view text);

// The tool that keeps the style of a kind of text markup, and the kind a
// tool makes (absent for tools that do not mark text).
Tool toolFor(TextMarkupKind kind);
std::optional<TextMarkupKind> textMarkupKind(Tool tool);

// Select and eraser work on what is there and have no style of their own.
bool hasStyle(Tool tool);
bool hasLineWidthControl(Tool tool);
bool hasTextSizeControl(Tool tool);
bool hasBorderSwitch(Tool tool);

}  // namespace quillet
