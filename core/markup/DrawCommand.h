// One step of drawing an item: a path in page space, how to paint it, its
// colour and whether it blends by multiplying. The on-page renderer and the
// PDF appearance stream replay the same commands, so both look alike.
#pragma once

#include "core/markup/Paint.h"
#include "core/markup/Path.h"
#include "core/markup/RGBA.h"
#include "core/pdf/Geometry.h"

namespace quillet {

struct DrawCommand {
    Path path;  // page space; shared, never changed
    Paint paint;
    RGBA color;
    bool multiply = false;  // draw with the multiply blend mode

    // What the command covers: the drawn curve's box, for a stroke grown on
    // every side by width / 2 + 1 (room for caps and antialiasing). Null
    // when the path draws nothing.
    Rect paintedBounds() const;

    bool operator==(const DrawCommand&) const = default;
};

}  // namespace quillet
