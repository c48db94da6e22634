// The core's geometry and colours as Qt draws them, and back.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include "core/markup/Path.h"
#include "core/markup/RGBA.h"
#include "core/pdf/Geometry.h"

namespace quillet {

inline QPointF toQPointF(Point point) {
    return {point.x, point.y};
}

inline QRectF toQRectF(const Rect& rect) {
    return {rect.minX(), rect.minY(), rect.maxX() - rect.minX(), rect.maxY() - rect.minY()};
}

// The same elements, coordinates unchanged.
QPainterPath toQPainterPath(const Path& path);

// sRGB, components clamped into [0, 1] (a component that is not a number is 0).
QColor toQColor(const RGBA& color);
// The colour's sRGB components (another colour space is converted first).
RGBA fromQColor(const QColor& color);

}  // namespace quillet
