// What an item looks like: its drawing commands in painting order and the
// whole-number rectangle they cover.
#pragma once

#include <vector>

#include "core/markup/DrawCommand.h"
#include "core/pdf/Geometry.h"

namespace quillet {

struct ItemAppearance {
    std::vector<DrawCommand> commands;  // painted in order, later on top
    // Whole-number edges; (0, 0, 0, 0) when nothing is painted.
    Rect bounds;

    // The commands with their bounds computed by boundsOf.
    static ItemAppearance fromCommands(std::vector<DrawCommand> commands);
    // The union of every command's paintedBounds, made integral (minimum
    // edges rounded down, maximum edges up); (0, 0, 0, 0) when empty.
    static Rect boundsOf(const std::vector<DrawCommand>& commands);

    bool isEmpty() const { return commands.empty(); }

    bool operator==(const ItemAppearance&) const = default;
};

}  // namespace quillet
