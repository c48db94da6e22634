#include "core/markup/StrokeBuilder.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace quillet {

namespace {

// Below this squared chord length the chord counts as a single point (a
// closed stroke), and distances are measured from its start.
constexpr double kDegenerateChord = 1e-9;

double distanceToChord(Point p, Point s, Point e) {
    Point d = e - s;
    double l = dot(d, d);
    if (l < kDegenerateChord) return distance(p, s);
    double t = dot(p - s, d) / l;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return distance(p, s + d * t);
}

}  // namespace

void StrokeBuilder::add(Point p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    if (!points_.empty() && distance(points_.back(), p) < minDistance_) return;
    points_.push_back(p);
}

std::vector<Point> StrokeBuilder::finish(double tolerance) const {
    std::vector<Point> result = points_.size() <= 2 ? points_ : simplify(points_, tolerance);
    for (Point& p : result) p = roundTo2(p);
    return result;
}

std::vector<Point> StrokeBuilder::simplify(const std::vector<Point>& points, double tolerance) {
    const size_t n = points.size();
    // A NaN tolerance is treated like 0: nothing can be judged close enough.
    if (n < 3 || !(tolerance > 0)) return points;

    std::vector<bool> kept(n, false);
    kept[0] = kept[n - 1] = true;
    std::vector<std::pair<size_t, size_t>> spans{{0, n - 1}};
    while (!spans.empty()) {
        auto [s, e] = spans.back();
        spans.pop_back();
        if (e <= s + 1) continue;
        size_t farthest = s + 1;
        double farthestDistance = -1;
        for (size_t i = s + 1; i < e; ++i) {
            double d = distanceToChord(points[i], points[s], points[e]);
            if (d > farthestDistance) {
                farthest = i;
                farthestDistance = d;
            }
        }
        if (farthestDistance > tolerance) {
            kept[farthest] = true;
            spans.emplace_back(s, farthest);
            spans.emplace_back(farthest, e);
        }
    }

    std::vector<Point> result;
    for (size_t i = 0; i < n; ++i) {
        if (kept[i]) result.push_back(points[i]);
    }
    return result;
}

}  // namespace quillet
