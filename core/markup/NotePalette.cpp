#include "core/markup/NotePalette.h"

namespace quillet {

namespace {

// Above this luminance the icon's text lines are drawn dark, below it white.
constexpr double kLightLuminance = 0.55;

}  // namespace

// The RGBA constructor clamps every component into [0, 1].
NotePalette::NotePalette(const RGBA& color) {
    const RGBA c(color.r, color.g, color.b, 1);
    iconFill = c;
    iconStroke = RGBA(0.6 * c.r, 0.6 * c.g, 0.6 * c.b, 1);
    const double luminance = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
    iconLines = luminance > kLightLuminance ? RGBA(0.3 * c.r, 0.3 * c.g, 0.3 * c.b, 1) : RGBA::white();
    bubbleFill = RGBA(1 - 0.14 * (1 - c.r), 1 - 0.14 * (1 - c.g), 1 - 0.14 * (1 - c.b), 1);
    bubbleBorder = RGBA(0.8 * c.r, 0.8 * c.g, 0.8 * c.b, 1);
    text = RGBA(0.1, 0.1, 0.12, 1);
}

}  // namespace quillet
