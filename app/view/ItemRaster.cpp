#include "app/view/ItemRaster.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <array>
#include <cmath>

#include "app/platform/QtConversions.h"

namespace quillet::ItemRaster {
namespace {

// Cells per pixel side, and the gamma Splash puts on the covered share.
constexpr int kCells = 4;
constexpr double kGamma = 1.5;

const std::array<uint8_t, kCells * kCells + 1>& gammaTable() {
    static const std::array<uint8_t, kCells* kCells + 1> table = [] {
        std::array<uint8_t, kCells * kCells + 1> t{};
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<uint8_t>(std::lround(std::pow(double(i) / (kCells * kCells), kGamma) * 255));
        return t;
    }();
    return table;
}

// An edge in cell space, top to bottom; `winding` says which way it ran.
struct Edge {
    double x0, y0, x1, y1;
    int winding;
};

// A run of touched cells on one cell row; `winding` counts only where the
// edge crosses the row's top line, as Splash counts it.
struct Span {
    int x0, x1;
    int winding;
};

// Splash's curve flattening: halve a cubic until both control points lie
// within one device pixel of its chord's midpoint (at most 1024 pieces).
// Glyph curves come out as visible polygons at small sizes, and our outline
// must be the same polygon to cover the same cells.
constexpr double kFlatness = 1;
constexpr int kMaxCurvePieces = 1024;

void flattenCubic(QPointF p0, QPointF p1, QPointF p2, QPointF p3, int pieces, QPolygonF& out) {
    const QPointF mid = (p0 + p3) * 0.5;
    const QPointF d1 = p1 - mid, d2 = p2 - mid;
    const bool flat = QPointF::dotProduct(d1, d1) <= kFlatness * kFlatness &&
                      QPointF::dotProduct(d2, d2) <= kFlatness * kFlatness;
    if (pieces >= kMaxCurvePieces || flat) {
        out.append(p3);
        return;
    }
    const QPointF l1 = (p0 + p1) * 0.5, h = (p1 + p2) * 0.5, r2 = (p2 + p3) * 0.5;
    const QPointF l2 = (l1 + h) * 0.5, r1 = (h + r2) * 0.5, m = (l2 + r1) * 0.5;
    flattenCubic(p0, l1, l2, m, pieces * 2, out);
    flattenCubic(m, r1, r2, p3, pieces * 2, out);
}

std::vector<QPolygonF> polygonsOf(const QPainterPath& path) {
    std::vector<QPolygonF> polygons;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || polygons.empty()) {
            polygons.emplace_back();
            polygons.back().append(QPointF(e.x, e.y));
        } else if (e.isLineTo()) {
            polygons.back().append(QPointF(e.x, e.y));
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF start = polygons.back().last();
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            flattenCubic(start, QPointF(e.x, e.y), QPointF(c2.x, c2.y), QPointF(end.x, end.y), 1,
                         polygons.back());
            i += 2;
        }
    }
    return polygons;
}

std::vector<Edge> edgesOf(const QPainterPath& devicePath) {
    std::vector<Edge> edges;
    for (const QPolygonF& polygon : polygonsOf(devicePath)) {
        if (polygon.size() < 2) continue;
        const qsizetype n = polygon.size();
        for (qsizetype i = 0; i < n; ++i) {
            const QPointF p = polygon[i] * kCells;
            const QPointF q = polygon[(i + 1) % n] * kCells;  // closes the subpath
            if (p == q) continue;
            if (p.y() <= q.y())
                edges.push_back({p.x(), p.y(), q.x(), q.y(), -1});
            else
                edges.push_back({q.x(), q.y(), p.x(), p.y(), 1});
        }
    }
    return edges;
}

// The spans of every cell row from `top` on (rows.size() rows).
void addSpans(const Edge& e, int top, std::vector<std::vector<Span>>& rows) {
    const int last = top + static_cast<int>(rows.size()) - 1;
    auto add = [&](int y, int a, int b) {
        const int winding = (e.y0 <= y && y < e.y1) ? e.winding : 0;
        rows[static_cast<size_t>(y - top)].push_back({std::min(a, b), std::max(a, b), winding});
    };
    const int y0 = std::max(top, static_cast<int>(std::floor(e.y0)));
    const int y1 = std::min(last, static_cast<int>(std::floor(e.y1)));
    if (e.y0 == e.y1) {
        if (y0 <= last && y0 >= top)
            add(y0, static_cast<int>(std::floor(e.x0)), static_cast<int>(std::floor(e.x1)));
        return;
    }
    if (e.x0 == e.x1) {
        const int x = static_cast<int>(std::floor(e.x0));
        for (int y = y0; y <= y1; ++y) add(y, x, x);
        return;
    }
    const double xMin = std::min(e.x0, e.x1), xMax = std::max(e.x0, e.x1);
    const double dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
    const double base = e.x0 - e.y0 * dxdy;
    int x0 = static_cast<int>(std::floor(std::clamp(base + y0 * dxdy, xMin, xMax)));
    for (int y = y0; y <= y1; ++y) {
        const int x1 = static_cast<int>(std::floor(std::clamp(base + (y + 1) * dxdy, xMin, xMax)));
        add(y, x0, x1);
        x0 = x1;
    }
}

// Adds one per touched or enclosed cell of a row to its pixels' counts.
void countRow(std::vector<Span>& spans, int cellRow, const QRect& area, std::vector<int>& counts) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.x0 < b.x0; });
    const int y = static_cast<int>(std::floor(double(cellRow) / kCells)) - area.top();
    if (y < 0 || y >= area.height()) return;
    int* row = counts.data() + static_cast<size_t>(y) * area.width();
    const int firstCell = area.left() * kCells, endCell = (area.right() + 1) * kCells;
    size_t i = 0;
    int winding = 0;
    while (i < spans.size()) {
        int a = spans[i].x0, b = spans[i].x1;
        winding += spans[i].winding;
        ++i;
        // Overlapping runs, and everything between while inside, join.
        while (i < spans.size() && (spans[i].x0 <= b || winding != 0)) {
            b = std::max(b, spans[i].x1);
            winding += spans[i].winding;
            ++i;
        }
        a = std::max(a, firstCell);
        b = std::min(b, endCell - 1);
        for (int cell = a; cell <= b; ++cell) ++row[(cell - firstCell) / kCells];
    }
}

// Premultiplied source over premultiplied destination.
QRgb over(QRgb dst, int r, int g, int b, int a) {
    const int keep = 255 - a;
    auto mix = [&](int s, int d) { return std::min(255, s + (d * keep + 127) / 255); };
    return qRgba(mix(r, qRed(dst)), mix(g, qGreen(dst)), mix(b, qBlue(dst)), mix(a, qAlpha(dst)));
}

// Composes one command over `layer` (premultiplied, at `origin`).
void compose(QImage& layer, QPoint origin, const QPainterPath& outline, const RGBA& color) {
    const QRect area =
        outline.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1) & QRect(origin, layer.size());
    if (area.isEmpty()) return;
    const std::vector<uint8_t> shape = coverage(outline, area);
    auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
    const double alpha = unit(color.a);
    const double r = unit(color.r) * 255, g = unit(color.g) * 255, b = unit(color.b) * 255;
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(area.top() - origin.y() + y));
        for (int x = 0; x < area.width(); ++x) {
            const uint8_t s = shape[static_cast<size_t>(y) * area.width() + x];
            if (s == 0) continue;
            const double a = s * alpha / 255;
            QRgb& dst = line[area.left() - origin.x() + x];
            dst = over(dst, int(std::lround(r * a)), int(std::lround(g * a)), int(std::lround(b * a)),
                       int(std::lround(a * 255)));
        }
    }
}

}  // namespace

std::vector<uint8_t> coverage(const QPainterPath& devicePath, const QRect& area) {
    std::vector<uint8_t> out(static_cast<size_t>(std::max(0, area.width())) * std::max(0, area.height()), 0);
    if (out.empty()) return out;
    const std::vector<Edge> edges = edgesOf(devicePath);
    if (edges.empty()) return out;
    const int top = area.top() * kCells;
    std::vector<std::vector<Span>> rows(static_cast<size_t>(area.height()) * kCells);
    for (const Edge& e : edges) addSpans(e, top, rows);
    std::vector<int> counts(out.size(), 0);
    for (size_t i = 0; i < rows.size(); ++i) countRow(rows[i], top + static_cast<int>(i), area, counts);
    const auto& gamma = gammaTable();
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = gamma[static_cast<size_t>(std::min(counts[i], kCells * kCells))];
    return out;
}

QPainterPath deviceOutline(const DrawCommand& command, const QTransform& pageToDevice) {
    QPainterPath path = toQPainterPath(command.path);
    if (command.paint.isStroke()) {
        QPainterPathStroker stroker;
        stroker.setWidth(command.paint.width);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        // In page units: the stroked line follows its curves within a tenth
        // of a device pixel at any zoom.
        const double scale = std::sqrt(std::abs(pageToDevice.determinant()));
        stroker.setCurveThreshold(0.1 / std::max(scale, 1e-3));
        path = stroker.createStroke(path);
    }
    path.setFillRule(Qt::WindingFill);
    return pageToDevice.map(path);
}

std::vector<Layer> rasterize(const std::vector<DrawCommand>& commands, const QTransform& pageToDevice,
                             const QRect& within) {
    std::vector<Layer> layers;
    size_t i = 0;
    while (i < commands.size()) {
        const bool multiply = commands[i].multiply;
        std::vector<std::pair<QPainterPath, const DrawCommand*>> run;
        QRectF bounds;
        for (; i < commands.size() && commands[i].multiply == multiply; ++i) {
            run.emplace_back(deviceOutline(commands[i], pageToDevice), &commands[i]);
            bounds = bounds.united(run.back().first.boundingRect());
        }
        const QRect area = bounds.toAlignedRect().adjusted(-1, -1, 1, 1) & within;
        if (bounds.isEmpty() || area.isEmpty()) continue;
        Layer layer{QImage(area.size(), QImage::Format_ARGB32_Premultiplied), area.topLeft(), multiply};
        layer.image.fill(Qt::transparent);
        for (const auto& [outline, command] : run)
            compose(layer.image, layer.origin, outline, command->color);
        layers.push_back(std::move(layer));
    }
    return layers;
}

}  // namespace quillet::ItemRaster
