#include "core/pdf/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace quillet {

double length(Point v) {
    return std::hypot(v.x, v.y);
}

double distance(Point p, Point q) {
    return length(p - q);
}

Rect Rect::null() {
    const double inf = std::numeric_limits<double>::infinity();
    return {inf, inf, 0, 0};
}

Rect Rect::spanning(Point a, Point b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x), std::fabs(a.y - b.y)};
}

bool Rect::isNull() const {
    return std::isinf(x) || std::isinf(y);
}

bool Rect::isEmpty() const {
    return isNull() || width == 0 || height == 0;
}

double Rect::minX() const {
    return width < 0 ? x + width : x;
}
double Rect::maxX() const {
    return width < 0 ? x : x + width;
}
double Rect::minY() const {
    return height < 0 ? y + height : y;
}
double Rect::maxY() const {
    return height < 0 ? y : y + height;
}

Rect Rect::standardized() const {
    if (isNull()) return null();
    return {minX(), minY(), std::fabs(width), std::fabs(height)};
}

Rect Rect::united(const Rect& other) const {
    if (isNull()) return other.standardized();
    if (other.isNull()) return standardized();
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    return {x0, y0, std::max(maxX(), other.maxX()) - x0, std::max(maxY(), other.maxY()) - y0};
}

Rect Rect::unitedWith(Point p) const {
    return united(Rect{p.x, p.y, 0, 0});
}

Rect Rect::intersection(const Rect& other) const {
    if (isNull() || other.isNull()) return null();
    const double x0 = std::max(minX(), other.minX());
    const double y0 = std::max(minY(), other.minY());
    const double x1 = std::min(maxX(), other.maxX());
    const double y1 = std::min(maxY(), other.maxY());
    if (x1 < x0 || y1 < y0) return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const {
    return !intersection(other).isNull();
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull()) return null();
    const Rect s = standardized();
    const Rect r{s.x + dx, s.y + dy, s.width - 2 * dx, s.height - 2 * dy};
    if (r.width < 0 || r.height < 0) return null();
    return r;
}

Rect Rect::integral() const {
    if (isNull()) return null();
    const double x0 = std::floor(minX());
    const double y0 = std::floor(minY());
    return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull()) return null();
    return {x + dx, y + dy, width, height};
}

bool Rect::contains(Point p) const {
    if (isNull()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    if (isNull() || other.isNull()) return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

Rect Rect::applying(const AffineTransform& t) const {
    if (isNull()) return null();
    const Point corners[] = {{minX(), minY()}, {maxX(), minY()}, {minX(), maxY()}, {maxX(), maxY()}};
    Rect out = null();
    for (Point p : corners) out = out.unitedWith(t.apply(p));
    return out;
}

AffineTransform AffineTransform::rotation(double radians) {
    const double cs = std::cos(radians);
    const double sn = std::sin(radians);
    return {cs, sn, -sn, cs, 0, 0};
}

AffineTransform AffineTransform::rotationDegrees(double degrees) {
    const double turns = degrees / 90;
    if (std::isfinite(turns) && turns == std::floor(turns)) {
        static constexpr double cosines[] = {1, 0, -1, 0};
        static constexpr double sines[] = {0, 1, 0, -1};
        const auto q = static_cast<int>(std::fmod(std::fmod(turns, 4) + 4, 4));
        return {cosines[q], sines[q], -sines[q], cosines[q], 0, 0};
    }
    return rotation(degrees * std::numbers::pi / 180);
}

AffineTransform AffineTransform::then(const AffineTransform& n) const {
    return {a * n.a + b * n.c, a * n.b + b * n.d,          c * n.a + d * n.c,
            c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

std::optional<AffineTransform> AffineTransform::inverted() const {
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    const AffineTransform inv{
        d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    if (!std::isfinite(inv.tx) || !std::isfinite(inv.ty)) return std::nullopt;
    return inv;
}

double roundTo2(double v) {
    return std::round(v * 100) / 100;
}

Point roundTo2(Point p) {
    return {roundTo2(p.x), roundTo2(p.y)};
}

}  // namespace quillet
