#include "core/markup/Path.h"

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

using Kind = PathElement::Kind;

// The parameters in (0, 1) at which one coordinate of a quadratic Bézier
// curve p0, p1, p2 has a stationary point.
int quadExtrema(double p0, double p1, double p2, double out[1]) {
    const double denom = p0 - 2 * p1 + p2;
    if (denom == 0) return 0;
    const double t = (p0 - p1) / denom;
    if (!(t > 0 && t < 1)) return 0;
    out[0] = t;
    return 1;
}

// The same for a cubic p0..p3: the roots of its derivative, a quadratic.
int cubicExtrema(double p0, double p1, double p2, double p3, double out[2]) {
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    double roots[2];
    int n = 0;
    const double scale = std::max({std::fabs(a), std::fabs(b), std::fabs(c)});
    if (scale == 0) return 0;
    if (std::fabs(a) <= 1e-12 * scale) {
        if (b != 0) roots[n++] = -c / b;
    } else {
        const double disc = b * b - 4 * a * c;
        if (disc >= 0) {
            const double sq = std::sqrt(disc);
            roots[n++] = (-b + sq) / (2 * a);
            roots[n++] = (-b - sq) / (2 * a);
        }
    }
    int kept = 0;
    for (int i = 0; i < n; ++i)
        if (roots[i] > 0 && roots[i] < 1) out[kept++] = roots[i];
    return kept;
}

Point quadAt(Point p0, Point p1, Point p2, double t) {
    const double u = 1 - t;
    return p0 * (u * u) + p1 * (2 * u * t) + p2 * (t * t);
}

Point cubicAt(Point p0, Point p1, Point p2, Point p3, double t) {
    const double u = 1 - t;
    return p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
}

Rect quadBounds(Point p0, Point p1, Point p2) {
    Rect r = Rect::spanning(p0, p2);
    double ts[1];
    for (int axis = 0; axis < 2; ++axis) {
        const int n = axis == 0 ? quadExtrema(p0.x, p1.x, p2.x, ts) : quadExtrema(p0.y, p1.y, p2.y, ts);
        for (int i = 0; i < n; ++i) r = r.unitedWith(quadAt(p0, p1, p2, ts[i]));
    }
    return r;
}

Rect cubicBounds(Point p0, Point p1, Point p2, Point p3) {
    Rect r = Rect::spanning(p0, p3);
    double ts[2];
    for (int axis = 0; axis < 2; ++axis) {
        const int n =
            axis == 0 ? cubicExtrema(p0.x, p1.x, p2.x, p3.x, ts) : cubicExtrema(p0.y, p1.y, p2.y, p3.y, ts);
        for (int i = 0; i < n; ++i) r = r.unitedWith(cubicAt(p0, p1, p2, p3, ts[i]));
    }
    return r;
}

}  // namespace

int PathElement::pointCount() const {
    switch (kind) {
        case Kind::moveTo:
        case Kind::lineTo:
            return 1;
        case Kind::quadTo:
            return 2;
        case Kind::cubicTo:
            return 3;
        case Kind::close:
            return 0;
    }
    return 0;
}

Point PathElement::endPoint() const {
    const int n = pointCount();
    return n == 0 ? Point{} : points[static_cast<size_t>(n - 1)];
}

bool PathElement::operator==(const PathElement& other) const {
    if (kind != other.kind) return false;
    for (int i = 0; i < pointCount(); ++i)
        if (points[static_cast<size_t>(i)] != other.points[static_cast<size_t>(i)]) return false;
    return true;
}

Path::Path() : elements_(std::make_shared<const std::vector<PathElement>>()) {}

Path::Path(std::shared_ptr<const std::vector<PathElement>> elements) : elements_(std::move(elements)) {}

Rect Path::boundingBox() const {
    Rect r = Rect::null();
    Point current{};
    for (const PathElement& e : *elements_) {
        const auto& p = e.points;
        switch (e.kind) {
            case Kind::moveTo:
                current = p[0];
                continue;
            case Kind::lineTo:
                r = r.united(Rect::spanning(current, p[0]));
                break;
            case Kind::quadTo:
                r = r.united(quadBounds(current, p[0], p[1]));
                break;
            case Kind::cubicTo:
                r = r.united(cubicBounds(current, p[0], p[1], p[2]));
                break;
            case Kind::close:
                continue;  // back to the subpath's start, already counted
        }
        current = e.endPoint();
    }
    return r;
}

Rect Path::controlPointBounds() const {
    Rect r = Rect::null();
    for (const PathElement& e : *elements_)
        for (int i = 0; i < e.pointCount(); ++i) r = r.unitedWith(e.points[static_cast<size_t>(i)]);
    return r;
}

Path Path::transformed(const AffineTransform& t) const {
    if (t.isIdentity()) return *this;
    PathBuilder b;
    b.addPath(*this, t);
    return b.build();
}

bool Path::operator==(const Path& other) const {
    return elements_ == other.elements_ || *elements_ == *other.elements_;
}

void PathBuilder::moveTo(Point p) {
    elements_.push_back({Kind::moveTo, {p, {}, {}}});
    open_ = true;
    start_ = p;
}

void PathBuilder::ensureStarted() {
    if (!open_) moveTo(start_);
}

void PathBuilder::lineTo(Point p) {
    ensureStarted();
    elements_.push_back({Kind::lineTo, {p, {}, {}}});
}

void PathBuilder::quadTo(Point control, Point end) {
    ensureStarted();
    elements_.push_back({Kind::quadTo, {control, end, {}}});
}

void PathBuilder::cubicTo(Point control1, Point control2, Point end) {
    ensureStarted();
    elements_.push_back({Kind::cubicTo, {control1, control2, end}});
}

void PathBuilder::close() {
    if (!open_) return;
    elements_.push_back({Kind::close, {}});
    open_ = false;
}

void PathBuilder::addRect(const Rect& r) {
    if (r.isNull()) return;
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    close();
}

void PathBuilder::addPath(const Path& path, const AffineTransform& t) {
    for (const PathElement& e : path.elements()) {
        const auto& p = e.points;
        switch (e.kind) {
            case Kind::moveTo:
                moveTo(t.apply(p[0]));
                break;
            case Kind::lineTo:
                lineTo(t.apply(p[0]));
                break;
            case Kind::quadTo:
                quadTo(t.apply(p[0]), t.apply(p[1]));
                break;
            case Kind::cubicTo:
                cubicTo(t.apply(p[0]), t.apply(p[1]), t.apply(p[2]));
                break;
            case Kind::close:
                close();
                break;
        }
    }
}

Path PathBuilder::build() const {
    return Path(std::make_shared<const std::vector<PathElement>>(elements_));
}

}  // namespace quillet
