// The editor's tools, in toolbar order, with the controls each one offers.
// Stored by raw value ("pen", "highlighter", ...) as the keys of the saved
// tool styles.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quillet {

enum class Tool { select, pen, highlighter, text, note, arrow, signature, eraser };

inline constexpr std::array<Tool, 8> allTools{Tool::select, Tool::pen,   Tool::highlighter, Tool::text,
                                              Tool::note,   Tool::arrow, Tool::signature,   Tool::eraser};

std::string_view rawValue(Tool tool);
// Absent for any text other than the eight raw values (case-sensitive).
std::optional<Tool> toolFromRawValue(std::string_view text);

// Select and eraser work on what is there and have no style of their own.
bool hasStyle(Tool tool);
bool hasLineWidthControl(Tool tool);
bool hasTextSizeControl(Tool tool);
bool hasBorderSwitch(Tool tool);

}  // namespace quillet
