// The six colours of a note, derived from the item's colour. All are opaque:
// the item's alpha is ignored so a note's icon stays readable.
#pragma once

#include "core/markup/RGBA.h"

namespace quillet {

struct NotePalette {
    RGBA iconFill;
    RGBA iconStroke;
    RGBA iconLines;
    RGBA bubbleFill;
    RGBA bubbleBorder;
    RGBA text;

    explicit NotePalette(const RGBA& color);

    bool operator==(const NotePalette&) const = default;
};

}  // namespace quillet
