// The text content of a text box, an arrow label or a note.
#pragma once

#include <optional>
#include <string>

namespace quillet {

struct TextSpec {
    std::string text;      // UTF-8, may hold line breaks
    double fontSize = 12;  // points
    // Absent: the box grows with its text. Present: the layout width in
    // points; lines wrap at it.
    std::optional<double> fixedWidth;
    bool boxed = false;  // drawn with a filled, bordered frame

    bool operator==(const TextSpec&) const = default;
};

}  // namespace quillet
