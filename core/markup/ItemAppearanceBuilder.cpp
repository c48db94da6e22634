#include "core/markup/ItemAppearanceBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/NotePalette.h"
#include "core/markup/StrokePath.h"
#include "core/markup/TextMarkupAppearance.h"
#include "core/pdf/Flate.h"
#include "core/pdf/LruCache.h"

namespace quillet {

namespace {

constexpr double kHighlighterMaxAlpha = 0.4;
constexpr double kBoxFrameInset = 0.4;
constexpr double kTextBoxMaxRadius = 4;
constexpr double kBubbleMaxRadius = 3;
constexpr double kTextBoxBorderWidth = 0.8;
constexpr double kBubbleBorderWidth = 0.8;
constexpr double kConnectorWidth = 0.75;
constexpr double kArrowHeadMaxOutline = 1.2;
constexpr double kIconOutlineWidth = 1;
constexpr double kIconLineRadius = 0.7;
// The control distance of a cubic Bézier that best approximates a quarter circle.
constexpr double kQuarterArc = 0.5522847498307936;

// A rectangle with quarter-circle corners, counter-clockwise from the bottom
// edge; a plain rectangle when the radius is zero.
Path roundedRect(const Rect& rect, double radius, const AffineTransform& t = {}) {
    PathBuilder b;
    const Rect r = rect.standardized();
    const double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    if (!(radius > 0)) {
        b.addRect(r);
        return b.build().transformed(t);
    }
    const double k = radius * kQuarterArc;
    b.moveTo({x0 + radius, y0});
    b.lineTo({x1 - radius, y0});
    b.cubicTo({x1 - radius + k, y0}, {x1, y0 + radius - k}, {x1, y0 + radius});
    b.lineTo({x1, y1 - radius});
    b.cubicTo({x1, y1 - radius + k}, {x1 - radius + k, y1}, {x1 - radius, y1});
    b.lineTo({x0 + radius, y1});
    b.cubicTo({x0 + radius - k, y1}, {x0, y1 - radius + k}, {x0, y1 - radius});
    b.lineTo({x0, y0 + radius});
    b.cubicTo({x0, y0 + radius - k}, {x0 + radius - k, y0}, {x0 + radius, y0});
    b.close();
    return b.build().transformed(t);
}

// The largest corner radius up to maxRadius that still leaves the border's
// straight edges (half the shorter side, less a hair).
double frameRadius(const Rect& border, double maxRadius) {
    const double w = border.isNull() ? 0 : border.width;
    const double h = border.isNull() ? 0 : border.height;
    return std::max(0.0, std::min({maxRadius, w / 2 - 0.01, h / 2 - 0.01}));
}

// A filled rounded frame with its border stroked just inside the edge.
void appendFrame(std::vector<DrawCommand>& out, const PlacedBox& box, double maxRadius, RGBA fill,
                 RGBA border, double borderWidth) {
    const Rect full{0, 0, box.size.width, box.size.height};
    const Rect inner = full.insetBy(kBoxFrameInset, kBoxFrameInset);
    const double radius = frameRadius(inner, maxRadius);
    out.push_back({roundedRect(full, radius, box.transform), Paint::fill(), fill, false});
    // A box too small for an inset border keeps only its fill.
    if (!inner.isNull())
        out.push_back({roundedRect(inner, radius, box.transform), Paint::stroke(borderWidth), border, false});
}

void appendGlyphs(std::vector<DrawCommand>& out, const PlacedBox& box, RGBA color) {
    if (box.layout.glyphs.isEmpty()) return;
    out.push_back({box.layout.glyphs.transformed(box.transform), Paint::fill(), color, false});
}

void appendTextBox(std::vector<DrawCommand>& out, const PlacedBox& box, bool boxed, RGBA color) {
    if (boxed) appendFrame(out, box, kTextBoxMaxRadius, RGBA(1, 1, 1, 0.93), color, kTextBoxBorderWidth);
    // Text is always opaque, whatever the item's alpha.
    appendGlyphs(out, box, RGBA(color.r, color.g, color.b, 1));
}

void appendInk(std::vector<DrawCommand>& out, const AnnotationItem& item, const InkShape& ink) {
    Path path = StrokePath::path(ink.strokes);
    const Paint paint = Paint::stroke(item.lineWidth);
    if (ink.kind != InkKind::highlighter) {
        out.push_back({std::move(path), paint, item.color, false});
        return;
    }
    const RGBA& c = item.color;
    out.push_back({std::move(path), paint, RGBA(c.r, c.g, c.b, std::min(c.a, kHighlighterMaxAlpha)), true});
}

void appendArrow(std::vector<DrawCommand>& out, const AnnotationItem& item, const ArrowShape& arrow) {
    if (const auto head = ItemGeometry::arrowHead(arrow.from, arrow.to, item.lineWidth)) {
        PathBuilder shaft;
        shaft.moveTo(arrow.from);
        shaft.lineTo(head->shaftEnd);
        PathBuilder triangle;
        triangle.moveTo(head->tip);
        triangle.lineTo(head->left);
        triangle.lineTo(head->right);
        triangle.close();
        const Path tip = triangle.build();
        out.push_back({shaft.build(), Paint::stroke(item.lineWidth), item.color, false});
        out.push_back({tip, Paint::fill(), item.color, false});
        // The outline rounds the head's corners.
        out.push_back(
            {tip, Paint::stroke(std::min(item.lineWidth, kArrowHeadMaxOutline)), item.color, false});
    }
    if (arrow.label) {
        const PlacedBox box = ItemGeometry::placeLabel(*arrow.label, arrow.from, arrow.to, item.rotation);
        appendTextBox(out, box, arrow.label->boxed, item.color);
    }
}

// Connector, bubble and text of an open note.
void appendBubble(std::vector<DrawCommand>& out, const AnnotationItem& item, const NoteShape& note,
                  const NotePalette& palette) {
    const PlacedBox box = ItemGeometry::placeBubble(note.spec, note.bubble, item.rotation);
    const Rect icon = ItemGeometry::noteIconFrame(note.anchor, item.rotation);
    if (const auto line = ItemGeometry::connector(icon, box.frame())) {
        PathBuilder b;
        b.moveTo(line->start);
        b.lineTo(line->end);
        out.push_back({b.build(), Paint::stroke(kConnectorWidth), palette.bubbleBorder, false});
    }
    appendFrame(out, box, kBubbleMaxRadius, palette.bubbleFill, palette.bubbleBorder, kBubbleBorderWidth);
    appendGlyphs(out, box, palette.text);
}

// The speech-bubble icon in its 20 × 20 icon space; built once, shared.
const Path& iconOutline() {
    static const Path outline = [] {
        PathBuilder b;
        b.moveTo({4, 1});
        b.lineTo({9.5, 5});
        b.lineTo({16, 5});
        b.quadTo({19, 5}, {19, 8});
        b.lineTo({19, 16});
        b.quadTo({19, 19}, {16, 19});
        b.lineTo({4, 19});
        b.quadTo({1, 19}, {1, 16});
        b.lineTo({1, 8});
        b.quadTo({1, 5}, {4, 5});
        b.close();
        return b.build();
    }();
    return outline;
}

const Path& iconTextLines() {
    static const Path lines = [] {
        PathBuilder b;
        for (const Rect& r : {Rect{4.5, 14.25, 11, 1.5}, Rect{4.5, 11.25, 11, 1.5}, Rect{4.5, 8.25, 7, 1.5}})
            b.addPath(roundedRect(r, kIconLineRadius));
        return b.build();
    }();
    return lines;
}

void appendNoteIcon(std::vector<DrawCommand>& out, const AnnotationItem& item, const NoteShape& note,
                    const NotePalette& palette) {
    const AffineTransform t = ItemGeometry::noteIconTransform(note.anchor, item.rotation);
    const Path outline = iconOutline().transformed(t);
    out.push_back({outline, Paint::fill(), palette.iconFill, false});
    out.push_back({outline, Paint::stroke(kIconOutlineWidth), palette.iconStroke, false});
    out.push_back({iconTextLines().transformed(t), Paint::fill(), palette.iconLines, false});
}

std::vector<DrawCommand> commandsFor(const AnnotationItem& item, bool expanded) {
    std::vector<DrawCommand> out;
    const Shape& shape = item.shape;
    if (const InkShape* ink = shape.ink()) {
        appendInk(out, item, *ink);
    } else if (const TextShape* text = shape.text()) {
        appendTextBox(out, ItemGeometry::placeText(text->spec, text->origin, item.rotation), text->spec.boxed,
                      item.color);
    } else if (const ArrowShape* arrow = shape.arrow()) {
        appendArrow(out, item, *arrow);
    } else if (const NoteShape* note = shape.note()) {
        const NotePalette palette(item.color);
        if (expanded) appendBubble(out, item, *note, palette);
        appendNoteIcon(out, item, *note, palette);
    } else if (const TextMarkupShape* markup = shape.markup()) {
        out = TextMarkupAppearance::commands(*markup, item.color);
    }
    return out;
}

// Built appearances by payload text, least recently used evicted first; one
// lock around lookups and inserts, never around a build.
class AppearanceCache {
  public:
    std::optional<ItemAppearance> find(const std::string& key) {
        std::lock_guard lock(mutex_);
        const ItemAppearance* found = appearances_.find(key);
        return found ? std::optional<ItemAppearance>(*found) : std::nullopt;
    }

    // Returns what the cache holds for key afterwards: when another thread
    // stored one first, that one, so that callers share its paths.
    ItemAppearance insert(const std::string& key, ItemAppearance appearance) {
        std::lock_guard lock(mutex_);
        if (const ItemAppearance* found = appearances_.find(key)) return *found;
        return appearances_.insert(key, std::move(appearance));
    }

    size_t size() {
        std::lock_guard lock(mutex_);
        return appearances_.size();
    }

  private:
    std::mutex mutex_;
    LruCache<std::string, ItemAppearance> appearances_{ItemAppearanceBuilder::cacheCapacity};
};

AppearanceCache& cache(bool expanded) {
    static AppearanceCache expandedCache;
    static AppearanceCache collapsedCache;
    return expanded ? expandedCache : collapsedCache;
}

// A colour component or alpha as written: clamped into [0, 1] (viewers
// clamp too, and a negative alpha is no valid graphics state), then counted
// in thousandths, halves away from zero.
int64_t thousandths(double component) {
    const double unit = std::isnan(component) ? 0 : std::clamp(component, 0.0, 1.0);
    return std::llround(unit * 1000);
}

double rounded3(double component) {
    return static_cast<double>(thousandths(component)) / 1000;
}

struct GraphicsState {
    int64_t alpha = 1000;  // thousandths
    bool multiply = false;
};

// The name of a command's graphics state; named by the same thousandths that
// go into CA and ca, so two alphas never share one name.
std::string graphicsStateName(const GraphicsState& state) {
    return "GS" + std::to_string(state.alpha) + (state.multiply ? "m" : "");
}

void appendNumbers(Bytes& out, std::initializer_list<double> numbers) {
    bool first = true;
    for (double x : numbers) {
        if (!first) out += ' ';
        out += formatReal(x);
        first = false;
    }
}

void appendPoint(Bytes& out, Point p, const char* op) {
    appendNumbers(out, {p.x, p.y});
    out += op;
}

void appendPath(Bytes& out, const Path& path) {
    using Kind = PathElement::Kind;
    Point current{};
    Point start{};
    for (const PathElement& e : path.elements()) {
        const auto& p = e.points;
        switch (e.kind) {
            case Kind::moveTo:
                appendPoint(out, p[0], " m\n");
                start = p[0];
                break;
            case Kind::lineTo:
                appendPoint(out, p[0], " l\n");
                break;
            case Kind::quadTo: {
                // The cubic that traces the same quadratic.
                const Point c1 = current + (p[0] - current) * 2.0 / 3.0;
                const Point c2 = p[1] + (p[0] - p[1]) * 2.0 / 3.0;
                appendNumbers(out, {c1.x, c1.y, c2.x, c2.y, p[1].x, p[1].y});
                out += " c\n";
                break;
            }
            case Kind::cubicTo:
                appendNumbers(out, {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y});
                out += " c\n";
                break;
            case Kind::close:
                out += "h\n";
                current = start;
                continue;
        }
        current = e.endPoint();
    }
}

// Appends one command; returns its graphics state when it needs one.
std::optional<GraphicsState> appendCommand(Bytes& out, const DrawCommand& command) {
    out += "q\n";
    std::optional<GraphicsState> state;
    const int64_t alpha = thousandths(command.color.a);
    if (alpha < 1000 || command.multiply) {
        state = GraphicsState{alpha, command.multiply};
        out += "/" + graphicsStateName(*state) + " gs\n";
    }
    const RGBA& c = command.color;
    appendNumbers(out, {rounded3(c.r), rounded3(c.g), rounded3(c.b)});
    if (command.paint.isStroke()) {
        out += " RG ";
        out += formatReal(command.paint.width);
        out += " w 1 J 1 j\n";
    } else {
        out += " rg\n";
    }
    appendPath(out, command.path);
    out += command.paint.isStroke() ? "S\n" : "f\n";
    out += "Q\n";
    return state;
}

Bytes contentOf(const ItemAppearance& appearance, std::map<std::string, GraphicsState>* states) {
    Bytes out;
    for (const DrawCommand& command : appearance.commands) {
        const auto state = appendCommand(out, command);
        if (state && states) states->emplace(graphicsStateName(*state), *state);
    }
    return out;
}

PDFDictionary resourcesFor(const std::map<std::string, GraphicsState>& states) {
    PDFDictionary resources;
    if (states.empty()) return resources;
    PDFDictionary extGState;
    for (const auto& [name, state] : states) {
        const double alpha = static_cast<double>(state.alpha) / 1000;
        PDFDictionary gs{{"Type", PDFValue::name("ExtGState")},
                         {"CA", PDFValue::number(alpha)},
                         {"ca", PDFValue::number(alpha)}};
        if (state.multiply) gs.set("BM", PDFValue::name("Multiply"));
        extGState.set(name, PDFValue::dict(std::move(gs)));
    }
    resources.set("ExtGState", PDFValue::dict(std::move(extGState)));
    return resources;
}

PDFValue rectArray(const Rect& rect) {
    const Rect r = rect.isNull() ? Rect{} : rect.standardized();
    return PDFValue::array({PDFValue::number(r.minX()), PDFValue::number(r.minY()),
                            PDFValue::number(r.maxX()), PDFValue::number(r.maxY())});
}

}  // namespace

ItemAppearance ItemAppearanceBuilder::build(const AnnotationItem& item, bool expanded) {
    return ItemAppearance::fromCommands(commandsFor(item, expanded));
}

std::optional<ItemAppearance> ItemAppearanceBuilder::appearance(std::string_view payload, bool expanded) {
    const std::string key(payload);
    AppearanceCache& memo = cache(expanded);
    if (auto hit = memo.find(key)) return hit;
    const auto item = ItemCodec::decode(payload);
    if (!item) return std::nullopt;
    return memo.insert(key, build(*item, expanded));
}

std::optional<ItemAppearance> ItemAppearanceBuilder::bubbleAppearance(const AnnotationItem& item) {
    const NoteShape* note = item.shape.note();
    if (!note) return std::nullopt;
    std::vector<DrawCommand> out;
    appendBubble(out, item, *note, NotePalette(item.color));
    return ItemAppearance::fromCommands(std::move(out));
}

Bytes ItemAppearanceBuilder::contentStream(const ItemAppearance& appearance) {
    return contentOf(appearance, nullptr);
}

ItemAppearanceBuilder::FormXObject ItemAppearanceBuilder::formXObject(const ItemAppearance& appearance,
                                                                      std::optional<Rect> bbox) {
    std::map<std::string, GraphicsState> states;  // ascending name order
    Bytes content = contentOf(appearance, &states);
    Bytes compressed = Flate::deflate(content, compressionLevel);
    PDFDictionary dict{
        {"Type", PDFValue::name("XObject")},
        {"Subtype", PDFValue::name("Form")},
        {"FormType", PDFValue::integer(1)},
        {"BBox", rectArray(bbox.value_or(appearance.bounds))},
        {"Matrix", PDFValue::array({PDFValue::integer(1), PDFValue::integer(0), PDFValue::integer(0),
                                    PDFValue::integer(1), PDFValue::integer(0), PDFValue::integer(0)})},
        {"Resources", PDFValue::dict(resourcesFor(states))},
    };
    if (compressed.empty()) return {std::move(dict), std::move(content)};
    dict.set("Filter", PDFValue::name("FlateDecode"));
    return {std::move(dict), std::move(compressed)};
}

size_t ItemAppearanceBuilder::cachedEntryCount(bool expanded) {
    return cache(expanded).size();
}

}  // namespace quillet
