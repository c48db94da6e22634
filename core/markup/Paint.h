// How a drawing command paints its path: stroked with a width, or filled.
#pragma once

namespace quillet {

struct Paint {
    enum class Kind { stroke, fill };

    Kind kind = Kind::fill;
    // The line width in points; used by stroke only (0 for fill).
    double width = 0;

    static Paint stroke(double width) { return {Kind::stroke, width}; }
    // Fills with the nonzero winding rule.
    static Paint fill() { return {Kind::fill, 0}; }

    bool isStroke() const { return kind == Kind::stroke; }
    bool isFill() const { return kind == Kind::fill; }

    bool operator==(const Paint&) const = default;
};

}  // namespace quillet
