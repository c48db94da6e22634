// The core's paths as Qt paints them.
#pragma once

#include <QPainterPath>

#include "core/markup/Path.h"

namespace quillet {

// The same elements, coordinates unchanged.
QPainterPath toQPainterPath(const Path& path);

}  // namespace quillet
