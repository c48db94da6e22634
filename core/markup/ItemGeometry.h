// Where the parts of a markup item lie on the page: text boxes, arrow labels
// and heads, note icons and bubbles (also on rotated pages), item bounds,
// moving and scaling. Drawing, hit testing and the editor all use these same
// functions, so what is drawn and what is hit agree. Nothing is cached.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/TextLayout.h"
#include "core/pdf/Geometry.h"

namespace quillet {

// A laid-out text box on the page. Box space has its origin at the box's
// bottom-left corner; the box covers (0, 0) to (width, height) there.
struct PlacedBox {
    AffineTransform transform;  // box space → page space
    Size size;                  // the layout's boxSize
    TextLayoutResult layout;

    // The box's rectangle on the page (axis-aligned bounds when rotated).
    Rect frame() const;
    // Whether p lies in the box grown by tolerance on every side.
    bool contains(Point p, double tolerance) const;
};

// Where an arrow's label sits relative to the arrow's tail.
enum class ArrowLabelSide { left, right, above, below };

// The head triangle of an arrow; the shaft stops at shaftEnd, inside it.
struct ArrowHead {
    Point tip;
    Point left;
    Point right;
    Point shaftEnd;
};

struct Segment {
    Point start;
    Point end;
};

namespace ItemGeometry {

constexpr double noteIconSize = 20;
constexpr double noteBubbleGap = 6;

// rotation: degrees, the page's display rotation the item was made under;
// boxes are turned by it about their top-left corner.
PlacedBox placeText(const TextSpec& spec, Point origin, int64_t rotation);
ArrowLabelSide labelSide(Point from, Point to, int64_t rotation);
// The label hangs at the tail, on the side away from the head.
PlacedBox placeLabel(const TextSpec& spec, Point from, Point to, int64_t rotation);
// anchor is the icon's top-left corner in the rotated reading frame.
AffineTransform noteIconTransform(Point anchor, int64_t rotation);
Rect noteIconFrame(Point anchor, int64_t rotation);
PlacedBox placeBubble(const TextSpec& spec, Point bubble, int64_t rotation);
// The top-left corner of a new note's bubble: beside the icon where it fits,
// kept 4 points inside the page.
Point defaultBubblePoint(const TextSpec& spec, Point anchor, int64_t rotation, const Rect& page);
// The line between a note's icon and bubble; absent when they are 12 points
// or closer.
std::optional<Segment> connector(const Rect& iconFrame, const Rect& bubbleFrame);
// The null rectangle when there is no point at all.
Rect inkBounds(const std::vector<Stroke>& strokes);
// expanded: a note shown with its bubble rather than its icon alone.
Rect bounds(const AnnotationItem& item, bool expanded);
// Absent for an arrow of (almost) no length.
std::optional<ArrowHead> arrowHead(Point from, Point to, double lineWidth);
double distanceToSegment(Point p, Point a, Point b);
// Every point moved and rounded to 2 decimals; nothing else changes. Text
// markup moves too (a copy pasted elsewhere), though the editor never drags
// it off its text.
AnnotationItem translated(const AnnotationItem& item, double dx, double dy);
// Ink only, and only for a finite factor above zero: points scaled about
// center, the line width scaled within [0.25, 60]. Anything else comes back
// unchanged.
AnnotationItem scaled(const AnnotationItem& item, double factor, Point center);

}  // namespace ItemGeometry

}  // namespace quillet
