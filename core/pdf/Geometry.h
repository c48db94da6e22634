// Plane geometry of page space: points, sizes, rectangles and affine
// transforms. Page space has its origin at the bottom left, y up, in points.
#pragma once

#include <cstdint>
#include <optional>

namespace quillet {

struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
};

inline Point operator+(Point p, Point q) {
    return {p.x + q.x, p.y + q.y};
}
inline Point operator-(Point p, Point q) {
    return {p.x - q.x, p.y - q.y};
}
inline Point operator*(Point p, double s) {
    return {p.x * s, p.y * s};
}
inline Point operator/(Point p, double s) {
    return {p.x / s, p.y / s};
}
inline double dot(Point p, Point q) {
    return p.x * q.x + p.y * q.y;
}
double length(Point v);
double distance(Point p, Point q);

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
};

struct AffineTransform;

// An axis-aligned rectangle. A negative width or height describes the same
// area as its standardized form; the min/max accessors account for that.
// The null rectangle (infinite origin, zero size) stands for "no area at
// all": it is the identity of unite and the result of an empty intersection.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const Rect&) const = default;

    static Rect null();
    // The rectangle spanned by two corners, in any order.
    static Rect spanning(Point a, Point b);
    static Rect fromOriginSize(Point origin, Size size) {
        return {origin.x, origin.y, size.width, size.height};
    }

    bool isNull() const;
    // Null, or zero width or height.
    bool isEmpty() const;

    double minX() const;
    double maxX() const;
    double minY() const;
    double maxY() const;
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }

    Rect standardized() const;
    Rect united(const Rect& other) const;
    Rect unitedWith(Point p) const;
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const;
    // Grows (negative d) or shrinks (positive d) every side; a rectangle
    // that shrinks past zero becomes null.
    Rect insetBy(double dx, double dy) const;
    // The smallest rectangle with whole-number corners that holds this one.
    Rect integral() const;
    Rect offsetBy(double dx, double dy) const;
    // Points on the min edges are inside, points on the max edges are not.
    bool contains(Point p) const;
    bool contains(const Rect& other) const;
    Rect applying(const AffineTransform& t) const;
};

// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct AffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    bool operator==(const AffineTransform&) const = default;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static AffineTransform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Counter-clockwise for positive angles.
    static AffineTransform rotation(double radians);
    // Quarter turns are exact (no 6e-17 residue of cos 90°), so that
    // rotated boxes on rotated pages keep their exact sizes.
    static AffineTransform rotationDegrees(double degrees);

    bool isIdentity() const { return *this == AffineTransform{}; }

    // This transform applied first, then `next`.
    AffineTransform then(const AffineTransform& next) const;
    AffineTransform thenTranslate(double dx, double dy) const { return then(translation(dx, dy)); }
    AffineTransform thenScale(double sx, double sy) const { return then(scaling(sx, sy)); }
    AffineTransform thenRotate(double radians) const { return then(rotation(radians)); }

    // Absent when the transform is singular or not finite.
    std::optional<AffineTransform> inverted() const;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // A direction: the translation is left out.
    Point applyToVector(Point v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
    // The axis-aligned bounding rectangle of the transformed rectangle.
    Rect apply(const Rect& r) const { return r.applying(*this); }
};

// Round to 2 decimals, halves away from zero: the precision of every stored
// coordinate and width.
double roundTo2(double v);
Point roundTo2(Point p);

}  // namespace quillet
