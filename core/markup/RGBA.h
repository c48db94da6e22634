// A colour of markup: sRGB components and opacity, each in 0...1.
#pragma once

#include <cstddef>
#include <functional>

namespace quillet {

struct RGBA {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    RGBA() = default;
    // Clamps each component into [0, 1]; NaN becomes 0.
    RGBA(double red, double green, double blue, double alpha);

    // The components exactly as given. Stored tool styles are read back this
    // way, so that a colour written by another version is not altered.
    static RGBA unclamped(double red, double green, double blue, double alpha);

    static RGBA defaultInk() { return {0.1, 0.1, 0.12, 1.0}; }
    static RGBA white() { return {1, 1, 1, 1}; }

    // r, g, b kept; all four clamped as at construction.
    RGBA withAlpha(double alpha) const { return {r, g, b, alpha}; }

    bool operator==(const RGBA&) const = default;
};

}  // namespace quillet

template <>
struct std::hash<quillet::RGBA> {
    size_t operator()(const quillet::RGBA& c) const noexcept;
};
