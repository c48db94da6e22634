#include "cli/ItemOptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

#include "cli/MarkupUpdate.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/Tool.h"
#include "core/markup/ToolStyle.h"

namespace quillet::cli {
namespace {

// The text markup kinds come last, in TextMarkupKind's order, so that one
// maps to the other by its place.
enum class Kind { item, text, note, ink, arrow, highlight, underline, strikeOut, squiggly };
constexpr std::array<std::string_view, 9> kKindOptions = {
    "item", "text", "note", "ink", "arrow", "highlight", "underline", "strike-out", "squiggly"};
constexpr std::string_view kKindList =
    "--item, --text, --note, --ink, --arrow, --highlight, --underline, --strike-out or --squiggly";
constexpr Kind kFirstTextMarkup = Kind::highlight;

bool isTextMarkup(Kind kind) {
    return kind >= kFirstTextMarkup;
}

TextMarkupKind textMarkupKindOf(Kind kind) {
    return allTextMarkupKinds.at(static_cast<size_t>(kind) - static_cast<size_t>(kFirstTextMarkup));
}

const std::vector<Kind> kTextMarkupKinds = {Kind::highlight, Kind::underline, Kind::strikeOut,
                                            Kind::squiggly};
constexpr std::string_view kTextMarkupList = "--highlight, --underline, --strike-out or --squiggly";

// The options that refine an item, and the kinds each goes with.
struct Modifier {
    std::string_view name;
    std::vector<Kind> kinds;
    std::string_view allowed;  // for the message
};

const std::vector<Modifier>& modifiers() {
    static const std::vector<Modifier> list = {
        {"at", {Kind::text, Kind::note}, "--text or --note"},
        {"size", {Kind::text, Kind::note, Kind::arrow}, "--text, --note or --arrow"},
        {"boxed", {Kind::text, Kind::note, Kind::arrow}, "--text, --note or --arrow"},
        {"highlighter", {Kind::ink}, "--ink"},
        {"label", {Kind::arrow}, "--arrow"},
        {"quads", kTextMarkupKinds, kTextMarkupList},
        {"quad-rect", kTextMarkupKinds, kTextMarkupList},
        {"marked-text", kTextMarkupKinds, kTextMarkupList},
        {"comment", kTextMarkupKinds, kTextMarkupList},
        {"color",
         {Kind::text, Kind::note, Kind::ink, Kind::arrow, Kind::highlight, Kind::underline, Kind::strikeOut,
          Kind::squiggly},
         "--text, --note, --ink, --arrow or a text markup kind"},
        {"width", {Kind::text, Kind::note, Kind::ink, Kind::arrow}, "--text, --note, --ink or --arrow"},
    };
    return list;
}

Kind kindOf(const Arguments& arguments) {
    std::optional<Kind> found;
    for (size_t i = 0; i < kKindOptions.size(); ++i) {
        if (!arguments.value(kKindOptions[i])) continue;
        if (found) throw UsageError("only one of " + std::string(kKindList) + " may be given");
        found = static_cast<Kind>(i);
    }
    if (!found) throw UsageError("one of " + std::string(kKindList) + " is needed");
    return *found;
}

double parseNumber(std::string_view text, std::string_view option) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw UsageError("--" + std::string(option) + ": \"" + std::string(text) + "\" is not a number");
    }
    return value;
}

// Exactly `count` comma-separated numbers.
std::vector<double> parseList(std::string_view text, size_t count, std::string_view option,
                              std::string_view form) {
    std::vector<double> values;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        values.push_back(parseNumber(text.substr(start, comma - start), option));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (values.size() != count) throw UsageError("--" + std::string(option) + " takes " + std::string(form));
    return values;
}

double coordinate(double v, std::string_view option) {
    if (std::fabs(v) > ItemCodec::maxCoordinate) {
        throw UsageError("--" + std::string(option) + ": coordinates lie within ±10000000");
    }
    return v;
}

Point parsePoint(std::string_view text, std::string_view option) {
    std::vector<double> v = parseList(text, 2, option, "X,Y");
    return {coordinate(v[0], option), coordinate(v[1], option)};
}

double parseBounded(std::string_view text, std::string_view option, double max) {
    double v = parseNumber(text, option);
    if (v <= 0 || v > max) {
        throw UsageError("--" + std::string(option) + " must lie above 0 and at most " +
                         std::to_string(static_cast<int>(max)));
    }
    return v;
}

RGBA parseColor(std::string_view text) {
    std::vector<double> v =
        parseList(text, std::count(text.begin(), text.end(), ',') == 3 ? 4 : 3, "color", "r,g,b or r,g,b,a");
    for (double c : v) {
        if (c < 0 || c > 1) throw UsageError("--color: components lie between 0 and 1");
    }
    return {v[0], v[1], v[2], v.size() == 4 ? v[3] : 1.0};
}

// The points of an item object's strokes ("st"), counted before it is read.
size_t inkPoints(const nlohmann::json& object) {
    const auto strokes = object.is_object() ? object.find("st") : object.end();
    if (!object.is_object() || strokes == object.end() || !strokes->is_array()) return 0;
    size_t numbers = 0;
    for (const nlohmann::json& stroke : *strokes) numbers += stroke.is_array() ? stroke.size() : 0;
    return numbers / 2;
}

const std::string kTooManyPoints = "an ink item holds at most " + std::to_string(ItemCodec::kMaxPoints) +
                                   " points, so that every viewer draws it";

// "x,y x,y ...; x,y ...": strokes split by ';', points by blanks.
std::vector<Stroke> parseStrokes(std::string_view text) {
    std::vector<Stroke> strokes;
    size_t points = 0;
    size_t start = 0;
    for (;;) {
        size_t semicolon = text.find(';', start);
        std::string_view part = text.substr(start, semicolon - start);
        Stroke stroke;
        size_t i = 0;
        while (i < part.size()) {
            if (std::isspace(static_cast<unsigned char>(part[i]))) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < part.size() && !std::isspace(static_cast<unsigned char>(part[end]))) ++end;
            stroke.push_back(parsePoint(part.substr(i, end - i), "ink"));
            i = end;
        }
        if (stroke.empty()) throw UsageError("--ink: every stroke needs at least one point x,y");
        points += stroke.size();
        if (points > ItemCodec::kMaxPoints) throw UsageError(kTooManyPoints);
        strokes.push_back(std::move(stroke));
        if (strokes.size() > ItemCodec::kMaxStrokes) throw UsageError("--ink: too many strokes");
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    return strokes;
}

// "x1,y1,...,x8,y8;...": quads split by ';', each in /QuadPoints order.
// Rounded as the payload stores them, as the application rounds the quads
// it makes, so the item built is the item read back.
std::vector<Quad> parseQuads(std::string_view text) {
    std::vector<Quad> quads;
    size_t start = 0;
    for (;;) {
        size_t semicolon = text.find(';', start);
        std::vector<double> v = parseList(text.substr(start, semicolon - start), 8, "quads",
                                          "eight numbers per quad, split by ';'");
        double numbers[8];
        for (size_t i = 0; i < 8; ++i) numbers[i] = roundTo2(coordinate(v[i], "quads"));
        quads.push_back(Quad::fromNumbers(numbers));
        if (quads.size() > ItemCodec::kMaxQuads) {
            throw UsageError("--quads: at most " + std::to_string(ItemCodec::kMaxQuads) + " quads");
        }
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    return quads;
}

Quad parseQuadRect(std::string_view text) {
    std::vector<double> v = parseList(text, 4, "quad-rect", "X0,Y0,X1,Y1");
    Point a{coordinate(v[0], "quad-rect"), coordinate(v[1], "quad-rect")};
    Point b{coordinate(v[2], "quad-rect"), coordinate(v[3], "quad-rect")};
    return Quad::fromRect(Rect::spanning(roundTo2(a), roundTo2(b)));
}

// The application's tool that makes items of this kind.
Tool toolFor(Kind kind, bool highlighter) {
    if (isTextMarkup(kind)) return quillet::toolFor(textMarkupKindOf(kind));
    switch (kind) {
        case Kind::ink:
            return highlighter ? Tool::highlighter : Tool::pen;
        case Kind::note:
            return Tool::note;
        case Kind::arrow:
            return Tool::arrow;
        default:
            return Tool::text;
    }
}

// `style` is the making tool's: its text size is the default.
TextSpec textSpec(const Arguments& arguments, std::string text, const ToolStyle& style) {
    TextSpec spec;
    spec.text = std::move(text);
    std::optional<std::string> size = arguments.value("size");
    spec.fontSize = size ? parseBounded(*size, "size", ItemCodec::kMaxFontSize) : style.fontSize;
    spec.boxed = arguments.flag("boxed");
    return spec;
}

Shape shapeFor(Kind kind, const Arguments& arguments, const PageBox& page, const ToolStyle& style) {
    switch (kind) {
        case Kind::text: {
            std::string text = *arguments.value("text");
            if (text.empty()) throw UsageError("--text needs some text");
            return TextShape{roundTo2(parsePoint(*arguments.value("at"), "at")),
                             textSpec(arguments, text, style)};
        }
        case Kind::note: {
            TextSpec spec = textSpec(arguments, *arguments.value("note"), style);
            Point anchor = roundTo2(parsePoint(*arguments.value("at"), "at"));
            Point bubble = ItemGeometry::defaultBubblePoint(spec, anchor, page.rotation, page.cropBox);
            return NoteShape{anchor, roundTo2(bubble), spec};
        }
        case Kind::highlight:
        case Kind::underline:
        case Kind::strikeOut:
        case Kind::squiggly: {
            std::optional<std::string> quads = arguments.value("quads");
            return TextMarkupShape{
                textMarkupKindOf(kind),
                quads ? parseQuads(*quads) : std::vector<Quad>{parseQuadRect(*arguments.value("quad-rect"))},
                arguments.value("marked-text").value_or(""), arguments.value("comment").value_or("")};
        }
        case Kind::ink: {
            InkKind ink = arguments.flag("highlighter") ? InkKind::highlighter : InkKind::pen;
            return InkShape{ink, parseStrokes(*arguments.value("ink"))};
        }
        default: {
            std::vector<double> v = parseList(*arguments.value("arrow"), 4, "arrow", "X1,Y1,X2,Y2");
            ArrowShape arrow{{coordinate(v[0], "arrow"), coordinate(v[1], "arrow")},
                             {coordinate(v[2], "arrow"), coordinate(v[3], "arrow")},
                             std::nullopt};
            std::optional<std::string> label = arguments.value("label");
            if (label && !label->empty()) arrow.label = textSpec(arguments, *label, style);
            return arrow;
        }
    }
}

}  // namespace

std::vector<OptionSpec> itemOptionSpecs() {
    return {{"item", true},      {"text", true},       {"note", true},         {"ink", true},
            {"arrow", true},     {"highlight", false}, {"underline", false},   {"strike-out", false},
            {"squiggly", false}, {"quads", true},      {"quad-rect", true},    {"marked-text", true},
            {"comment", true},   {"at", true},         {"size", true},         {"boxed", false},
            {"label", true},     {"color", true},      {"highlighter", false}, {"width", true}};
}

void checkItemOptions(const Arguments& arguments) {
    Kind kind = kindOf(arguments);
    for (const Modifier& m : modifiers()) {
        bool given = arguments.value(m.name).has_value();
        bool fits = std::find(m.kinds.begin(), m.kinds.end(), kind) != m.kinds.end();
        if (given && !fits)
            throw UsageError("--" + std::string(m.name) + " goes only with " + std::string(m.allowed));
    }
    if ((kind == Kind::text || kind == Kind::note) && !arguments.value("at")) {
        throw UsageError("--" + std::string(kKindOptions[static_cast<size_t>(kind)]) + " needs --at X,Y");
    }
    if (kind == Kind::arrow && !arguments.value("label") &&
        (arguments.value("size") || arguments.flag("boxed"))) {
        throw UsageError("--size and --boxed go with --arrow only together with --label");
    }
    if (isTextMarkup(kind) &&
        arguments.value("quads").has_value() == arguments.value("quad-rect").has_value()) {
        throw UsageError("--" + std::string(kKindOptions[static_cast<size_t>(kind)]) +
                         " needs exactly one of --quads or --quad-rect");
    }
}

AnnotationItem buildItem(const Arguments& arguments, const PageBox& page, std::chrono::sys_seconds now) {
    Kind kind = kindOf(arguments);
    if (kind == Kind::item)
        return itemFromObject(readInputJSON(*arguments.value("item")), page.rotation, now);
    ToolStyle style = *ToolStyle::builtInDefault(toolFor(kind, arguments.flag("highlighter")));
    if (std::optional<std::string> color = arguments.value("color")) style.color = parseColor(*color);
    if (std::optional<std::string> width = arguments.value("width")) {
        style.lineWidth = parseBounded(*width, "width", ItemCodec::kMaxLineWidth);
    }
    return AnnotationItem(UUID::random(), shapeFor(kind, arguments, page, style), style.color,
                          style.lineWidth, page.rotation, now);
}

AnnotationItem itemFromObject(nlohmann::json object, int64_t pageRotation, std::chrono::sys_seconds now) {
    if (!object.is_object()) throw std::runtime_error("the item is not a JSON object");
    if (!object.contains("id")) object["id"] = UUID::random().text();
    if (!object.contains("m")) object["m"] = now.time_since_epoch().count();
    if (!object.contains("r")) object["r"] = pageRotation;
    std::optional<AnnotationItem> item = ItemCodec::fromJSON(object);
    if (!item && inkPoints(object) > ItemCodec::kMaxPoints) throw std::runtime_error(kTooManyPoints);
    if (!item) throw std::runtime_error("the item is not a valid markup item");
    return std::move(*item);
}

}  // namespace quillet::cli
