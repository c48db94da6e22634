// A tool's style (core/markup/ToolStyle.h) and its colour as Qt draws it.
#pragma once

#include <QColor>

#include "core/markup/ToolStyle.h"

namespace quillet {

// sRGB, components clamped into [0, 1].
QColor toQColor(const RGBA& color);
// The colour's sRGB components (another colour space is converted first).
RGBA fromQColor(const QColor& color);

}  // namespace quillet
