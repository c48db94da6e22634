#include "app/ui/SavedSignature.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillet {

namespace {

using nlohmann::json;

double thousandths(double v) {
    return std::round(v * 1000) / 1000;
}

// Normalised coordinates lie in [0, aspect] and [0, 1]; a little more is
// accepted so that values written by rounding elsewhere still read.
constexpr double kCoordinateSlack = 0.01;

std::optional<Point> readPoint(const json& p, double aspect) {
    if (!p.is_array() || p.size() != 2 || !p[0].is_number() || !p[1].is_number()) return std::nullopt;
    const Point point{p[0].get<double>(), p[1].get<double>()};
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) return std::nullopt;
    if (point.x < -kCoordinateSlack || point.x > aspect + kCoordinateSlack || point.y < -kCoordinateSlack ||
        point.y > 1 + kCoordinateSlack)
        return std::nullopt;
    return point;
}

}  // namespace

std::optional<SavedSignature> SavedSignature::make(const std::vector<Stroke>& strokes) {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    bool any = false;
    for (const Stroke& stroke : strokes) {
        for (const Point& p : stroke) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
            any = true;
        }
    }
    if (!any) return std::nullopt;
    const double width = maxX - minX, height = maxY - minY;
    if (width <= 4 && height <= 4) return std::nullopt;
    const double h = height <= 1 ? 1 : height;
    SavedSignature signature{UUID::random(), {}, std::max(width, 1.0) / std::max(height, 1.0)};
    signature.strokes.reserve(strokes.size());
    for (const Stroke& stroke : strokes) {
        Stroke& out = signature.strokes.emplace_back();
        out.reserve(stroke.size());
        for (const Point& p : stroke)
            out.push_back({thousandths((p.x - minX) / h), thousandths((p.y - minY) / h)});
    }
    return signature;
}

json SavedSignature::toJSON() const {
    json list = json::array();
    for (const Stroke& stroke : strokes) {
        json points = json::array();
        for (const Point& p : stroke) points.push_back({p.x, p.y});
        list.push_back(std::move(points));
    }
    return {{"id", id.text()}, {"strokes", std::move(list)}, {"aspect", aspect}};
}

std::optional<SavedSignature> SavedSignature::fromJSON(const json& object) {
    if (!object.is_object()) return std::nullopt;
    auto id = object.find("id");
    auto strokes = object.find("strokes");
    auto aspect = object.find("aspect");
    if (id == object.end() || !id->is_string() || strokes == object.end() || !strokes->is_array() ||
        aspect == object.end() || !aspect->is_number())
        return std::nullopt;
    std::optional<UUID> uuid = UUID::parse(id->get<std::string>());
    const double a = aspect->get<double>();
    if (!uuid || !std::isfinite(a) || a <= 0 || a > maxAspect || strokes->size() > maxStrokes)
        return std::nullopt;
    SavedSignature signature{*uuid, {}, a};
    size_t points = 0;
    for (const json& stroke : *strokes) {
        if (!stroke.is_array() || (points += stroke.size()) > maxPoints) return std::nullopt;
        Stroke& out = signature.strokes.emplace_back();
        for (const json& p : stroke) {
            std::optional<Point> point = readPoint(p, a);
            if (!point) return std::nullopt;
            out.push_back(*point);
        }
    }
    return signature;
}

}  // namespace quillet
