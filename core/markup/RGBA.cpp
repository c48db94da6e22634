#include "core/markup/RGBA.h"

namespace quillet {

namespace {

// Written so that NaN, which fails every comparison, ends up at 0.
double clampUnit(double v) {
    if (!(v > 0)) return 0;
    return v > 1 ? 1 : v;
}

}  // namespace

RGBA::RGBA(double red, double green, double blue, double alpha)
    : r(clampUnit(red)), g(clampUnit(green)), b(clampUnit(blue)), a(clampUnit(alpha)) {}

RGBA RGBA::unclamped(double red, double green, double blue, double alpha) {
    RGBA c;
    c.r = red;
    c.g = green;
    c.b = blue;
    c.a = alpha;
    return c;
}

}  // namespace quillet

size_t std::hash<quillet::RGBA>::operator()(const quillet::RGBA& c) const noexcept {
    // Adding +0.0 turns -0.0 into +0.0: equal colours must hash equally.
    size_t h = 0;
    for (double v : {c.r, c.g, c.b, c.a}) {
        h = h * 1'000'003 ^ std::hash<double>{}(v + 0.0);
    }
    return h;
}
