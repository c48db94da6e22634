// Whether a point, or the sweep of the eraser, touches a markup item, and
// which part of it. Tests start from what the appearance actually paints and
// then apply each shape's own rules, so hits agree with the drawing.
#pragma once

#include <optional>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/Geometry.h"

namespace quillet {

// The part of an item a point hits; a miss is an absent result.
enum class HitPart {
    body,   // the item itself
    label,  // an arrow's label or a note's open bubble
};

namespace ItemGeometry {

// expanded: a note shown with its bubble rather than its icon alone.
// The bounds of what the item's appearance paints, strokes included, with
// whole-number edges.
Rect appearanceBounds(const AnnotationItem& item, bool expanded);
// tolerance: page points a point may lie off the item and still hit it.
std::optional<HitPart> hitTest(const AnnotationItem& item, Point p, double tolerance, bool expanded);
// Whether an eraser of the given radius, moved in a straight line from
// `from` to `to`, touches the item anywhere along the way.
bool eraserHits(const AnnotationItem& item, Point from, Point to, double radius, bool expanded);

}  // namespace ItemGeometry

}  // namespace quillet
