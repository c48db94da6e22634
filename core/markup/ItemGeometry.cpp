#include "core/markup/ItemGeometry.h"

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

// Kept between a new bubble and the page edge.
constexpr double kPageMargin = 4;
// An icon and its bubble this close need no connecting line.
constexpr double kMinConnectorLength = 12;
// Below this an arrow has no direction to put a head on.
constexpr double kMinArrowLength = 0.01;
// A label goes beside the tail when |dy| × 0.6 ≤ |dx|, that is for arrows
// up to about 59° from the reading direction; steeper ones get it above or
// below.
constexpr double kSideLabelSlope = 0.6;
// Without a fixed width a bubble may grow to this many font sizes.
constexpr double kBubbleFitWidthInFontSizes = 24;
constexpr double kMinScaledLineWidth = 0.25;
constexpr double kMaxScaledLineWidth = 60;

AffineTransform turn(int64_t rotation) {
    return AffineTransform::rotationDegrees(static_cast<double>(rotation));
}
AffineTransform turnBack(int64_t rotation) {
    return AffineTransform::rotationDegrees(-static_cast<double>(rotation));
}

// translate(0, −h) then R(θ) then translate(corner): a box of height h whose
// top-left corner (before turning) is at corner.
AffineTransform hangingBox(double h, Point corner, int64_t rotation) {
    return AffineTransform::translation(0, -h).then(turn(rotation)).thenTranslate(corner.x, corner.y);
}

template <typename F>
void forEachPoint(Shape& shape, F&& f) {
    if (InkShape* ink = shape.ink()) {
        for (Stroke& stroke : ink->strokes)
            for (Point& p : stroke) f(p);
    } else if (TextShape* text = shape.text()) {
        f(text->origin);
    } else if (ArrowShape* arrow = shape.arrow()) {
        f(arrow->from);
        f(arrow->to);
    } else if (NoteShape* note = shape.note()) {
        f(note->anchor);
        f(note->bubble);
    } else if (TextMarkupShape* markup = shape.markup()) {
        for (Quad& q : markup->quads)
            for (Point* p : {&q.upperLeft, &q.upperRight, &q.lowerLeft, &q.lowerRight}) f(*p);
    }
}

// The two ends of the connector along one axis.
std::pair<double, double> connectorEnds(double aMin, double aMax, double bMin, double bMax) {
    if (aMax < bMin) return {aMax, bMin};
    if (bMax < aMin) return {aMin, bMax};
    const double mid = (std::max(aMin, bMin) + std::min(aMax, bMax)) / 2;
    return {mid, mid};
}

}  // namespace

Rect PlacedBox::frame() const {
    return Rect{0, 0, size.width, size.height}.applying(transform);
}

bool PlacedBox::contains(Point p, double tolerance) const {
    const auto inverse = transform.inverted();
    if (!inverse) return false;
    const Point q = inverse->apply(p);
    return q.x >= -tolerance && q.x <= size.width + tolerance && q.y >= -tolerance &&
           q.y <= size.height + tolerance;
}

namespace ItemGeometry {

PlacedBox placeText(const TextSpec& spec, Point origin, int64_t rotation) {
    TextLayoutResult layout = TextLayout::layout(spec);
    const Size size = layout.boxSize;
    return {hangingBox(size.height, origin, rotation), size, std::move(layout)};
}

ArrowLabelSide labelSide(Point from, Point to, int64_t rotation) {
    const Point d = turnBack(rotation).applyToVector(to - from);
    if (std::fabs(d.y) * kSideLabelSlope <= std::fabs(d.x))
        return d.x < 0 ? ArrowLabelSide::right : ArrowLabelSide::left;
    return d.y >= 0 ? ArrowLabelSide::below : ArrowLabelSide::above;
}

PlacedBox placeLabel(const TextSpec& spec, Point from, Point to, int64_t rotation) {
    const Size size = TextLayout::layout(spec).boxSize;
    const double w = size.width;
    const double h = size.height;
    Point offset;
    switch (labelSide(from, to, rotation)) {
        case ArrowLabelSide::left:
            offset = {-w, h / 2};
            break;
        case ArrowLabelSide::right:
            offset = {0, h / 2};
            break;
        case ArrowLabelSide::above:
            offset = {-w / 2, h};
            break;
        case ArrowLabelSide::below:
            offset = {-w / 2, 0};
            break;
    }
    return placeText(spec, from + turn(rotation).applyToVector(offset), rotation);
}

AffineTransform noteIconTransform(Point anchor, int64_t rotation) {
    return hangingBox(noteIconSize, anchor, rotation);
}

Rect noteIconFrame(Point anchor, int64_t rotation) {
    return Rect{0, 0, noteIconSize, noteIconSize}.applying(noteIconTransform(anchor, rotation));
}

PlacedBox placeBubble(const TextSpec& spec, Point bubble, int64_t rotation) {
    return placeText(spec, bubble, rotation);
}

Point defaultBubblePoint(const TextSpec& spec, Point anchor, int64_t rotation, const Rect& page) {
    // Everything in the reading frame: the page as the user sees it.
    const AffineTransform back = turnBack(rotation);
    const Rect P = page.applying(back);
    const Rect I = noteIconFrame(anchor, rotation).applying(back);
    const TextLayoutResult layout = TextLayout::layout(spec);
    const double w = layout.boxSize.width;
    const double h = layout.boxSize.height;
    // A bubble without fixed width grows as the user types: fit its widest.
    const double W = spec.fixedWidth ? w
                                     : 2 * layout.padding + kBubbleFitWidthInFontSizes *
                                                                TextLayout::effectiveFontSize(spec.fontSize);

    const double rightX = I.maxX() + noteBubbleGap;
    const double leftX = I.minX() - noteBubbleGap - w;
    double x = rightX;
    if (rightX + W <= P.maxX() - kPageMargin) {
        // fits on the right
    } else if (I.minX() - noteBubbleGap - W >= P.minX() + kPageMargin) {
        x = leftX;
    } else {
        x = (I.minX() - P.minX()) <= (P.maxX() - I.maxX()) ? rightX : leftX;
        x = std::max(P.minX() + kPageMargin, std::min(x, P.maxX() - kPageMargin - w));
    }

    double y = I.maxY();
    if (y - h < P.minY() + kPageMargin) y = P.minY() + kPageMargin + h;
    y = std::min(y, P.maxY() - kPageMargin);
    return turn(rotation).apply(Point{x, y});
}

std::optional<Segment> connector(const Rect& iconFrame, const Rect& bubbleFrame) {
    const Rect& A = iconFrame;
    const Rect& B = bubbleFrame;
    if (A.isNull() || B.isNull()) return std::nullopt;
    const auto [xA, xB] = connectorEnds(A.minX(), A.maxX(), B.minX(), B.maxX());
    const auto [yA, yB] = connectorEnds(A.minY(), A.maxY(), B.minY(), B.maxY());
    const Segment s{{xA, yA}, {xB, yB}};
    if (distance(s.start, s.end) <= kMinConnectorLength) return std::nullopt;
    return s;
}

Rect inkBounds(const std::vector<Stroke>& strokes) {
    Rect r = Rect::null();
    for (const Stroke& stroke : strokes)
        for (Point p : stroke) r = r.unitedWith(p);
    return r;
}

Rect bounds(const AnnotationItem& item, bool expanded) {
    const Shape& shape = item.shape;
    if (const InkShape* ink = shape.ink()) {
        const Rect r = inkBounds(ink->strokes);
        if (r.isNull()) return r;
        return r.insetBy(-item.lineWidth / 2, -item.lineWidth / 2);
    }
    if (const TextShape* text = shape.text())
        return placeText(text->spec, text->origin, item.rotation).frame();
    if (const ArrowShape* arrow = shape.arrow()) {
        const Rect r = Rect::spanning(arrow->from, arrow->to);
        if (!arrow->label) return r;
        return r.united(placeLabel(*arrow->label, arrow->from, arrow->to, item.rotation).frame());
    }
    if (const TextMarkupShape* markup = shape.markup()) return boundsOf(markup->quads);
    const NoteShape* note = shape.note();
    const Rect icon = noteIconFrame(note->anchor, item.rotation);
    if (!expanded) return icon;
    return icon.united(placeBubble(note->spec, note->bubble, item.rotation).frame());
}

std::optional<ArrowHead> arrowHead(Point from, Point to, double lineWidth) {
    const double L = distance(from, to);
    if (!(L > kMinArrowLength)) return std::nullopt;
    const Point u = (to - from) / L;
    const double length = std::min(L * 0.7, std::max(lineWidth * 3.2 + 6, 8.0));
    const Point base = to - u * length;
    const double half = length * 0.48;
    const Point n{-u.y, u.x};
    return ArrowHead{to, base + n * half, base - n * half, base + u * (length * 0.35)};
}

double distanceToSegment(Point p, Point a, Point b) {
    const Point d = b - a;
    const double L = dot(d, d);
    if (L < 1e-9) return distance(p, a);
    const double t = std::clamp(dot(p - a, d) / L, 0.0, 1.0);
    return distance(p, a + d * t);
}

AnnotationItem translated(const AnnotationItem& item, double dx, double dy) {
    AnnotationItem moved = item;
    forEachPoint(moved.shape, [dx, dy](Point& p) { p = roundTo2(Point{p.x + dx, p.y + dy}); });
    return moved;
}

AnnotationItem scaled(const AnnotationItem& item, double factor, Point center) {
    if (!item.shape.ink() || !std::isfinite(factor) || factor <= 0) return item;
    AnnotationItem out = item;
    forEachPoint(out.shape, [&](Point& p) { p = roundTo2(center + (p - center) * factor); });
    const double w = item.lineWidth * factor;
    // Written as "not above" so that a width that is not a number ends thin
    // rather than poisoning the item.
    out.lineWidth =
        !(w > kMinScaledLineWidth) ? kMinScaledLineWidth : roundTo2(std::min(w, kMaxScaledLineWidth));
    return out;
}

}  // namespace ItemGeometry

}  // namespace quillet
