// The smoothed outline of freehand strokes: quadratic curves through the
// midpoints between recorded points, so the line has no corners.
#pragma once

#include <vector>

#include "core/markup/Path.h"
#include "core/markup/Shape.h"

namespace quillet::StrokePath {

// One subpath per stroke; strokes without points are skipped. One point
// gives a zero-length line (a dot under a round cap), two points a line.
Path path(const std::vector<Stroke>& strokes);

}  // namespace quillet::StrokePath
