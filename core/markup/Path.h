// An immutable outline made of straight and curved segments. Copies share
// one element list, so a path can be handed to any thread and cached freely.
// Paths are built with PathBuilder and read element by element (to draw them
// on screen or write them into a content stream).
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "core/pdf/Geometry.h"

namespace quillet {

struct PathElement {
    enum class Kind { moveTo, lineTo, quadTo, cubicTo, close };

    Kind kind = Kind::moveTo;
    // moveTo/lineTo: points[0] is the end point. quadTo: points[0] is the
    // control point, points[1] the end. cubicTo: points[0], points[1] are the
    // controls, points[2] the end. close: no points.
    std::array<Point, 3> points{};

    // How many of `points` the kind uses.
    int pointCount() const;
    // The point the element ends on (undefined for close).
    Point endPoint() const;
    bool operator==(const PathElement& other) const;
};

class Path {
  public:
    Path();  // empty

    const std::vector<PathElement>& elements() const& { return *elements_; }
    // The list lives as long as its path: reading it off a temporary would
    // dangle, so that does not compile.
    const std::vector<PathElement>& elements() const&& = delete;
    bool isEmpty() const { return elements_->empty(); }

    // The bounds of what a stroke of zero width would cover: curve extrema,
    // not control points. A move that no segment follows adds nothing.
    // The null rectangle for a path with nothing drawn.
    Rect boundingBox() const;
    // The bounds of every stored point, control points included.
    Rect controlPointBounds() const;

    Path transformed(const AffineTransform& t) const;

    bool operator==(const Path& other) const;
    // True when both are copies of one built path (not merely equal).
    bool sharesStorageWith(const Path& other) const { return elements_ == other.elements_; }

  private:
    friend class PathBuilder;
    explicit Path(std::shared_ptr<const std::vector<PathElement>> elements);

    std::shared_ptr<const std::vector<PathElement>> elements_;
};

class PathBuilder {
  public:
    void moveTo(Point p);
    // Every subpath in the built path begins with an explicit moveTo, so
    // readers need no implicit current point: a segment before any move
    // starts at (0, 0), a segment after close at the closed subpath's start.
    void lineTo(Point p);
    void quadTo(Point control, Point end);
    void cubicTo(Point control1, Point control2, Point end);
    void close();

    void addRect(const Rect& r);
    // Appends every element of `path`, transformed.
    void addPath(const Path& path, const AffineTransform& t = {});

    bool isEmpty() const { return elements_.empty(); }
    Path build() const;

  private:
    void ensureStarted();

    std::vector<PathElement> elements_;
    bool open_ = false;  // a subpath has begun and is not closed
    Point start_{};      // where the current subpath began
};

}  // namespace quillet
