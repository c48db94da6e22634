#include "core/markup/HitTesting.h"

#include <algorithm>
#include <cmath>

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

namespace {

// Arrows are thin; their shaft stays this easy to hit (half of it, in
// points) whatever the line width.
constexpr double kMinArrowHalfWidth = 2;
// The eraser is sampled every half radius, but never more finely than this.
constexpr double kMinEraserStep = 0.5;
// A sweep is sampled at most this many times, so that absurd coordinates
// cannot stall the editor; real sweeps across a page need a few thousand.
constexpr double kMaxEraserSamples = 100'000;

// Closed on every side: a point on an edge of the grown bounds is inside.
bool withinGrown(const Rect& r, Point p, double grow) {
    if (r.isNull()) return false;
    return p.x >= r.minX() - grow && p.x <= r.maxX() + grow && p.y >= r.minY() - grow &&
           p.y <= r.maxY() + grow;
}

bool closedOverlap(double aMin, double aMax, double bMin, double bMax) {
    return aMin <= bMax && bMin <= aMax;
}

// Nonzero winding: a point is inside the triangle when it lies on the same
// side of all three edges (or on an edge).
bool triangleContains(Point a, Point b, Point c, Point p) {
    auto side = [p](Point u, Point v) { return (v.x - u.x) * (p.y - u.y) - (v.y - u.y) * (p.x - u.x); };
    const double s1 = side(a, b), s2 = side(b, c), s3 = side(c, a);
    const bool anyNegative = s1 < 0 || s2 < 0 || s3 < 0;
    const bool anyPositive = s1 > 0 || s2 > 0 || s3 > 0;
    return !(anyNegative && anyPositive);
}

bool strokeHit(const Stroke& stroke, Point p, double r) {
    if (stroke.empty()) return false;
    if (stroke.size() == 1) return distance(p, stroke.front()) <= r;
    for (size_t i = 1; i < stroke.size(); ++i)
        if (ItemGeometry::distanceToSegment(p, stroke[i - 1], stroke[i]) <= r) return true;
    return false;
}

std::optional<HitPart> inkHit(const AnnotationItem& item, const InkShape& ink, Point p, double tolerance) {
    const double r = tolerance + item.lineWidth * 0.5;
    if (ink.kind == InkKind::signature) {
        if (withinGrown(ItemGeometry::inkBounds(ink.strokes), p, r)) return HitPart::body;
        return std::nullopt;
    }
    for (const Stroke& stroke : ink.strokes)
        if (strokeHit(stroke, p, r)) return HitPart::body;
    return std::nullopt;
}

std::optional<HitPart> arrowHit(const AnnotationItem& item, const ArrowShape& arrow, Point p,
                                double tolerance) {
    if (arrow.label &&
        ItemGeometry::placeLabel(*arrow.label, arrow.from, arrow.to, item.rotation).contains(p, tolerance))
        return HitPart::label;
    const double reach = tolerance + std::max(item.lineWidth * 0.5, kMinArrowHalfWidth);
    if (ItemGeometry::distanceToSegment(p, arrow.from, arrow.to) <= reach) return HitPart::body;
    const auto head = ItemGeometry::arrowHead(arrow.from, arrow.to, item.lineWidth);
    if (head && triangleContains(head->tip, head->left, head->right, p)) return HitPart::body;
    return std::nullopt;
}

std::optional<HitPart> noteHit(const AnnotationItem& item, const NoteShape& note, Point p, double tolerance,
                               bool expanded) {
    if (withinGrown(ItemGeometry::noteIconFrame(note.anchor, item.rotation), p, tolerance))
        return HitPart::body;
    if (expanded && ItemGeometry::placeBubble(note.spec, note.bubble, item.rotation).contains(p, tolerance))
        return HitPart::label;
    return std::nullopt;
}

// The shape rules, for a point already known to lie near the painted area.
std::optional<HitPart> shapeHit(const AnnotationItem& item, Point p, double tolerance, bool expanded) {
    if (const InkShape* ink = item.shape.ink()) return inkHit(item, *ink, p, tolerance);
    if (const TextShape* text = item.shape.text()) {
        if (ItemGeometry::placeText(text->spec, text->origin, item.rotation).contains(p, tolerance))
            return HitPart::body;
        return std::nullopt;
    }
    if (const ArrowShape* arrow = item.shape.arrow()) return arrowHit(item, *arrow, p, tolerance);
    if (const NoteShape* note = item.shape.note()) return noteHit(item, *note, p, tolerance, expanded);
    if (const TextMarkupShape* markup = item.shape.markup()) {
        for (const Quad& q : markup->quads)
            if (q.contains(p, tolerance)) return HitPart::body;
    }
    return std::nullopt;
}

// Where a hit can be: what is painted, and for markup over text the whole
// of its quads (an underline is hit on its words, not on its line alone).
Rect reach(const AnnotationItem& item, bool expanded) {
    const Rect painted = ItemGeometry::appearanceBounds(item, expanded);
    const TextMarkupShape* markup = item.shape.markup();
    return markup ? painted.united(boundsOf(markup->quads)) : painted;
}

std::optional<HitPart> hitWithin(const AnnotationItem& item, const Rect& painted, Point p, double tolerance,
                                 bool expanded) {
    if (!withinGrown(painted, p, tolerance)) return std::nullopt;
    return shapeHit(item, p, tolerance, expanded);
}

}  // namespace

namespace ItemGeometry {

Rect appearanceBounds(const AnnotationItem& item, bool expanded) {
    return ItemAppearanceBuilder::build(item, expanded).bounds;
}

std::optional<HitPart> hitTest(const AnnotationItem& item, Point p, double tolerance, bool expanded) {
    return hitWithin(item, reach(item, expanded), p, tolerance, expanded);
}

bool eraserHits(const AnnotationItem& item, Point from, Point to, double radius, bool expanded) {
    const Rect painted = reach(item, expanded);
    if (!std::isfinite(radius) || !std::isfinite(length(to - from))) return false;
    // Every sample lies on the segment: a sweep whose box stays clear of the
    // grown bounds cannot hit, and needs no sampling.
    if (!closedOverlap(std::min(from.x, to.x), std::max(from.x, to.x), painted.minX() - radius,
                       painted.maxX() + radius) ||
        !closedOverlap(std::min(from.y, to.y), std::max(from.y, to.y), painted.minY() - radius,
                       painted.maxY() + radius))
        return false;
    const double step = std::max(radius * 0.5, kMinEraserStep);
    const double samples = std::clamp(std::ceil(length(to - from) / step), 1.0, kMaxEraserSamples);
    const int n = static_cast<int>(samples);
    for (int i = 0; i <= n; ++i) {
        const Point p = from + (to - from) * (static_cast<double>(i) / n);
        if (hitWithin(item, painted, p, radius, expanded)) return true;
    }
    return false;
}

}  // namespace ItemGeometry

}  // namespace quillet
