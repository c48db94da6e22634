// Collects the pointer samples of one freehand stroke and turns them into
// the stroke's stored points.
#pragma once

#include <vector>

#include "core/pdf/Geometry.h"

namespace quillet {

class StrokeBuilder {
  public:
    // minDistance: the smallest distance between consecutive accepted points.
    explicit StrokeBuilder(double minDistance = 0) : minDistance_(minDistance) {}

    const std::vector<Point>& points() const { return points_; }
    double minDistance() const { return minDistance_; }

    // Drops non-finite points and points closer than minDistance to the
    // last accepted one; the first finite point is always taken.
    void add(Point p);

    // The stroke to store: simplified with the given tolerance (strokes of
    // up to 2 points are kept whole), every coordinate rounded to 2
    // decimals. The builder is left as it is.
    std::vector<Point> finish(double tolerance) const;

    // Ramer–Douglas–Peucker line simplification, without recursion so that
    // a stroke of any length cannot exhaust the stack. Keeps the end points
    // and every point farther than tolerance from the chord of its span.
    static std::vector<Point> simplify(const std::vector<Point>& points, double tolerance);

  private:
    std::vector<Point> points_;
    double minDistance_;
};

}  // namespace quillet
