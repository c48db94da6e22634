#include "app/platform/QtConversions.h"

#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

float unit(double value) {
    return std::isfinite(value) ? static_cast<float>(std::clamp(value, 0.0, 1.0)) : 0.0f;
}

}  // namespace

QPainterPath toQPainterPath(const Path& path) {
    QPainterPath out;
    const std::vector<PathElement>& elements = path.elements();
    out.reserve(static_cast<int>(elements.size()));
    for (const PathElement& e : elements) {
        switch (e.kind) {
            case PathElement::Kind::moveTo:
                out.moveTo(toQPointF(e.points[0]));
                break;
            case PathElement::Kind::lineTo:
                out.lineTo(toQPointF(e.points[0]));
                break;
            case PathElement::Kind::quadTo:
                out.quadTo(toQPointF(e.points[0]), toQPointF(e.points[1]));
                break;
            case PathElement::Kind::cubicTo:
                out.cubicTo(toQPointF(e.points[0]), toQPointF(e.points[1]), toQPointF(e.points[2]));
                break;
            case PathElement::Kind::close:
                out.closeSubpath();
                break;
        }
    }
    return out;
}

QColor toQColor(const RGBA& color) {
    return QColor::fromRgbF(unit(color.r), unit(color.g), unit(color.b), unit(color.a));
}

RGBA fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

}  // namespace quillet
