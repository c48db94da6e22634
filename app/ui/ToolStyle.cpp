#include "app/ui/ToolStyle.h"

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {
float unit(double v) { return std::isfinite(v) ? static_cast<float>(std::clamp(v, 0.0, 1.0)) : 0.0f; }
}  // namespace

QColor toQColor(const RGBA& color) {
    return QColor::fromRgbF(unit(color.r), unit(color.g), unit(color.b), unit(color.a));
}

RGBA fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

}  // namespace quillet
