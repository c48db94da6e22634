#include "core/markup/TextMarkupAppearance.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/markup/Path.h"

namespace quillet::TextMarkupAppearance {

namespace {

// A point of the quad's frame: `along` points from the lower-left corner
// toward the lower-right, `up` of them toward the upper edge.
struct QuadFrame {
    Point origin;
    Point along;  // unit vector along the line
    Point up;     // unit vector from the lower edge toward the upper
    double width = 0;
    double height = 0;

    Point at(double x, double y) const { return origin + along * x + up * y; }
};

std::optional<QuadFrame> frameOf(const Quad& q) {
    const Point a = q.lowerRight - q.lowerLeft;
    const Point u = q.upperLeft - q.lowerLeft;
    const double w = length(a), h = length(u);
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return std::nullopt;
    return QuadFrame{q.lowerLeft, a / w, u / h, w, h};
}

Path quadPath(const Quad& q) {
    PathBuilder b;
    b.moveTo(q.lowerLeft);
    b.lineTo(q.lowerRight);
    b.lineTo(q.upperRight);
    b.lineTo(q.upperLeft);
    b.close();
    return b.build();
}

double lineWidth(const QuadFrame& f) {
    return std::max(minLineWidth, f.height * lineWidthFraction);
}

Path straightLine(const QuadFrame& f, double position) {
    PathBuilder b;
    b.moveTo(f.at(0, f.height * position));
    b.lineTo(f.at(f.width, f.height * position));
    return b.build();
}

Path squiggle(const QuadFrame& f) {
    const double step = f.height * squiggleWavelength / 2;
    const int turns = std::clamp(static_cast<int>(std::ceil(f.width / step)), 1, maxSquiggleTurns);
    const double dx = f.width / turns;
    PathBuilder b;
    b.moveTo(f.at(0, f.height * squiggleLow));
    for (int i = 1; i <= turns; ++i)
        b.lineTo(f.at(dx * i, f.height * (i % 2 == 1 ? squiggleHigh : squiggleLow)));
    return b.build();
}

}  // namespace

std::vector<DrawCommand> commands(const TextMarkupShape& markup, const RGBA& color) {
    std::vector<DrawCommand> out;
    for (const Quad& q : markup.quads) {
        const std::optional<QuadFrame> f = frameOf(q);
        if (!f) continue;
        switch (markup.kind) {
            case TextMarkupKind::highlight:
                out.push_back({quadPath(q), Paint::fill(), color, true});
                break;
            case TextMarkupKind::underline:
                out.push_back(
                    {straightLine(*f, underlinePosition), Paint::stroke(lineWidth(*f)), color, false});
                break;
            case TextMarkupKind::strikeOut:
                out.push_back(
                    {straightLine(*f, strikeOutPosition), Paint::stroke(lineWidth(*f)), color, false});
                break;
            case TextMarkupKind::squiggly:
                out.push_back({squiggle(*f), Paint::stroke(lineWidth(*f)), color, false});
                break;
        }
    }
    return out;
}

}  // namespace quillet::TextMarkupAppearance
