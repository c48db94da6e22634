// How markup over text is drawn, quad by quad and in each quad's own frame,
// so that it follows text on turned pages: a highlight fills the quad and
// multiplies over the page (the text stays legible at any opacity); the
// lines sit where readers put them, as fractions of the quad's height from
// its lower edge.
#pragma once

#include <vector>

#include "core/markup/DrawCommand.h"
#include "core/markup/RGBA.h"
#include "core/markup/Shape.h"

namespace quillet::TextMarkupAppearance {

// Line width as a fraction of the quad's height, never thinner than
// minLineWidth points.
inline constexpr double lineWidthFraction = 1.0 / 14;
inline constexpr double minLineWidth = 0.5;
// Where each line runs: the underline in the descenders, the strike-out
// through the middle of lower-case letters.
inline constexpr double underlinePosition = 1.0 / 12;
inline constexpr double strikeOutPosition = 0.4;
// The squiggle runs between these heights, one wave per this much of the
// height along the line.
inline constexpr double squiggleLow = 0.03;
inline constexpr double squiggleHigh = 0.16;
inline constexpr double squiggleWavelength = 0.25;
// A squiggle never has more than this many turns per quad.
inline constexpr int maxSquiggleTurns = 4000;

std::vector<DrawCommand> commands(const TextMarkupShape& markup, const RGBA& color);

}  // namespace quillet::TextMarkupAppearance
