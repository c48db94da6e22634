// Four corners of a run of text on the page, named as the text reads: the
// upper edge runs from upperLeft to upperRight along the line, the lower edge
// (the side the descenders hang toward) from lowerLeft to lowerRight. On a
// page whose text is turned, the corners turn with it, so "lower" is always
// where an underline goes.
#pragma once

#include <optional>
#include <vector>

#include "core/pdf/Geometry.h"

namespace quillet {

struct Quad {
    Point upperLeft;
    Point upperRight;
    Point lowerLeft;
    Point lowerRight;

    // An axis-aligned rectangle read the upright way: its top edge up.
    static Quad fromRect(const Rect& r);
    // From the eight numbers of /QuadPoints, in the order upper-left,
    // upper-right, lower-left, lower-right.
    static Quad fromNumbers(const double (&v)[8]);

    // The quad over a run of characters (their boxes in page space, in
    // reading order): the union of the boxes in display space, where y
    // grows downward, its corners named by the way the run reads on screen
    // (first to last character: across, down or up the screen; a lone
    // character reads across) and mapped back to page space. So the quad
    // turns with the text, whether the page or the text itself is turned.
    // Absent without boxes or for a singular transform.
    static std::optional<Quad> covering(const std::vector<Rect>& pageBoxes,
                                        const AffineTransform& pageToDisplay);

    Rect bounds() const;
    // Distance from the lower to the upper edge, at the left end.
    double height() const { return distance(lowerLeft, upperLeft); }
    // Whether p lies in the quad grown by tolerance on every side. The quad
    // is taken as the parallelogram of its lower edge and left side.
    bool contains(Point p, double tolerance) const;
    Quad translated(double dx, double dy) const;

    bool operator==(const Quad&) const = default;
};

// The union of the quads' bounds; null for none.
Rect boundsOf(const std::vector<Quad>& quads);

}  // namespace quillet
