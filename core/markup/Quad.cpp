#include "core/markup/Quad.h"

#include <cmath>

namespace quillet {

Quad Quad::fromRect(const Rect& rect) {
    const Rect r = rect.standardized();
    return {{r.minX(), r.maxY()}, {r.maxX(), r.maxY()}, {r.minX(), r.minY()}, {r.maxX(), r.minY()}};
}

Quad Quad::fromNumbers(const double (&v)[8]) {
    return {{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}, {v[6], v[7]}};
}

namespace {

// The four corners of a display-space rectangle as the text in it reads:
// `along` is the reading direction on screen, one of the four axes.
Quad orientedCorners(const Rect& r, Point along) {
    const Point tl{r.minX(), r.minY()}, tr{r.maxX(), r.minY()}, bl{r.minX(), r.maxY()},
        br{r.maxX(), r.maxY()};
    if (std::fabs(along.x) >= std::fabs(along.y)) {
        // Across the screen; reversed text stands on its head.
        return along.x >= 0 ? Quad{tl, tr, bl, br} : Quad{br, bl, tr, tl};
    }
    // Down the screen the glyphs' tops face right; up the screen, left.
    return along.y > 0 ? Quad{tr, br, tl, bl} : Quad{bl, tl, br, tr};
}

}  // namespace

std::optional<Quad> Quad::covering(const std::vector<Rect>& pageBoxes, const AffineTransform& pageToDisplay) {
    const std::optional<AffineTransform> back = pageToDisplay.inverted();
    if (!back) return std::nullopt;
    Rect shown = Rect::null();
    for (const Rect& box : pageBoxes) shown = shown.united(box.applying(pageToDisplay));
    if (shown.isNull()) return std::nullopt;
    // The reading direction from the first character to the last; a lone
    // character is taken to read across the screen.
    Point along{1, 0};
    if (pageBoxes.size() >= 2) {
        const Rect first = pageBoxes.front().applying(pageToDisplay);
        const Rect last = pageBoxes.back().applying(pageToDisplay);
        const Point d{last.midX() - first.midX(), last.midY() - first.midY()};
        if (length(d) > 0) along = d;
    }
    const Quad q = orientedCorners(shown, along);
    return Quad{back->apply(q.upperLeft), back->apply(q.upperRight), back->apply(q.lowerLeft),
                back->apply(q.lowerRight)};
}

Rect Quad::bounds() const {
    return Rect::spanning(upperLeft, upperRight).unitedWith(lowerLeft).unitedWith(lowerRight);
}

bool Quad::contains(Point p, double tolerance) const {
    // Coordinates along the line (u) and across it (v), each as a fraction of
    // the quad's own length and height, grown by the tolerance in points.
    const Point along = lowerRight - lowerLeft;
    const Point up = upperLeft - lowerLeft;
    const double w = length(along), h = length(up);
    if (!(w > 0) || !(h > 0)) return distance(p, lowerLeft) <= tolerance;
    const Point q = p - lowerLeft;
    const double u = dot(q, along) / w, v = dot(q, up) / h;
    return u >= -tolerance && u <= w + tolerance && v >= -tolerance && v <= h + tolerance;
}

Quad Quad::translated(double dx, double dy) const {
    const Point d{dx, dy};
    return {upperLeft + d, upperRight + d, lowerLeft + d, lowerRight + d};
}

Rect boundsOf(const std::vector<Quad>& quads) {
    Rect r = Rect::null();
    for (const Quad& q : quads) r = r.united(q.bounds());
    return r;
}

}  // namespace quillet
