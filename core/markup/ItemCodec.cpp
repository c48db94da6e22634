#include "core/markup/ItemCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <utility>
#include <vector>

#include "core/markup/Base64.h"
#include "core/markup/CompactJSON.h"
#include "core/markup/ItemCodecError.h"
#include "core/markup/Quad.h"
#include "core/pdf/Flate.h"
#include "core/pdf/FlateError.h"

namespace quillet::ItemCodec {

using nlohmann::json;

namespace {

constexpr int kCompressionLevel = 9;
constexpr double kDefaultFontSize = 12;
constexpr double kMaxFixedWidth = 100'000;
constexpr double kDefaultFixedWidth = 100;
// Times beyond this magnitude are not real edit times; they are written as 0.
constexpr double kMaxTimeMagnitude = 1e15;

// ---- Encoding ----

double clampCoordinate(double v) {
    return v < -maxCoordinate ? -maxCoordinate : (v > maxCoordinate ? maxCoordinate : v);
}

// +0.0 turns -0 into 0, so that a value rounded to zero is written "0".
double storedCoordinate(double v) {
    return std::isfinite(v) ? roundTo2(clampCoordinate(v)) + 0.0 : 0;
}

double storedColour(double v) {
    return std::isfinite(v) ? std::round(clampCoordinate(v) * 1000) / 1000 + 0.0 : 0;
}

double storedFontSize(double f) {
    if (!std::isfinite(f)) return kDefaultFontSize;
    return f <= 1 ? 1 : roundTo2(std::min(f, kMaxFontSize));
}

double storedFixedWidth(double w) {
    if (!std::isfinite(w)) return kDefaultFixedWidth;
    return w <= 0 ? 0 : roundTo2(std::min(w, kMaxFixedWidth));
}

double storedLineWidth(double w) {
    if (!std::isfinite(w) || w <= 0) return 0;
    return roundTo2(std::min(w, kMaxLineWidth));
}

int64_t storedTime(std::chrono::sys_seconds t) {
    int64_t s = t.time_since_epoch().count();
    return std::abs(static_cast<double>(s)) < kMaxTimeMagnitude ? s : 0;
}

// Integral values become JSON integers, so that even a plain nlohmann dump
// of the object writes them without a fraction.
json number(double v) {
    if (v == std::trunc(v)) return static_cast<int64_t>(v);
    return v;
}

json pointJSON(Point p) {
    return json::array({number(storedCoordinate(p.x)), number(storedCoordinate(p.y))});
}

json textJSON(const TextSpec& spec) {
    json tx = json::object();
    tx["s"] = CompactJSON::repairedUTF8(spec.text);
    tx["f"] = number(storedFontSize(spec.fontSize));
    if (spec.fixedWidth) tx["w"] = number(storedFixedWidth(*spec.fixedWidth));
    tx["b"] = spec.boxed;
    return tx;
}

json strokesJSON(const std::vector<Stroke>& strokes) {
    json st = json::array();
    for (const Stroke& stroke : strokes) {
        json flat = json::array();
        for (Point p : stroke) {
            flat.push_back(number(storedCoordinate(p.x)));
            flat.push_back(number(storedCoordinate(p.y)));
        }
        st.push_back(std::move(flat));
    }
    return st;
}

json quadsJSON(const std::vector<Quad>& quads) {
    json out = json::array();
    for (const Quad& q : quads) {
        json flat = json::array();
        for (Point p : {q.upperLeft, q.upperRight, q.lowerLeft, q.lowerRight}) {
            flat.push_back(number(storedCoordinate(p.x)));
            flat.push_back(number(storedCoordinate(p.y)));
        }
        out.push_back(std::move(flat));
    }
    return out;
}

void addShape(json& dto, const Shape& shape) {
    dto["t"] = shape.caseName();
    if (const InkShape* ink = shape.ink()) {
        dto["k"] = rawValue(ink->kind);
        dto["st"] = strokesJSON(ink->strokes);
    } else if (const TextShape* text = shape.text()) {
        dto["p1"] = pointJSON(text->origin);
        dto["tx"] = textJSON(text->spec);
    } else if (const ArrowShape* arrow = shape.arrow()) {
        dto["p1"] = pointJSON(arrow->from);
        dto["p2"] = pointJSON(arrow->to);
        if (arrow->label) dto["tx"] = textJSON(*arrow->label);
    } else if (const NoteShape* note = shape.note()) {
        dto["p1"] = pointJSON(note->anchor);
        dto["p2"] = pointJSON(note->bubble);
        dto["tx"] = textJSON(note->spec);
    } else if (const TextMarkupShape* markup = shape.markup()) {
        dto["k"] = rawValue(markup->kind);
        dto["q"] = quadsJSON(markup->quads);
        dto["s"] = CompactJSON::repairedUTF8(markup->text);
        if (!markup->comment.empty()) dto["cm"] = CompactJSON::repairedUTF8(markup->comment);
    }
}

// ---- Decoding ----

const json* member(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<double> numberValue(const json* j) {
    if (j == nullptr || !j->is_number()) return std::nullopt;
    return j->get<double>();
}

// JSON has one number type: an integral value written with a fraction
// ("1.0") still counts as an integer.
std::optional<int64_t> integerValue(const json* j) {
    if (j == nullptr) return std::nullopt;
    if (j->is_number_unsigned()) {
        uint64_t u = j->get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return static_cast<int64_t>(u);
    }
    if (j->is_number_integer()) return j->get<int64_t>();
    if (!j->is_number_float()) return std::nullopt;
    double d = j->get<double>();
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!std::isfinite(d) || d != std::trunc(d) || d < -kTwo63 || d >= kTwo63) return std::nullopt;
    return static_cast<int64_t>(d);
}

const std::string* stringValue(const json* j) {
    return j != nullptr && j->is_string() ? &j->get_ref<const std::string&>() : nullptr;
}

bool isNumberArray(const json& j) {
    if (!j.is_array()) return false;
    for (const json& e : j) {
        if (!e.is_number()) return false;
    }
    return true;
}

bool isStrokeArray(const json& j) {
    if (!j.is_array()) return false;
    for (const json& e : j) {
        if (!isNumberArray(e)) return false;
    }
    return true;
}

bool isValidCoordinate(double v) {
    return std::isfinite(v) && std::abs(v) <= maxCoordinate;
}

// The DTO with every present key of the right JSON type.
struct DTO {
    int64_t version = 0;
    const std::string* id = nullptr;
    const std::string* type = nullptr;
    const json* colour = nullptr;
    double lineWidth = 0;
    int64_t rotation = 0;
    int64_t modified = 0;
    const std::string* kind = nullptr;
    const json* strokes = nullptr;
    const json* p1 = nullptr;
    const json* p2 = nullptr;
    std::optional<TextSpec> text;
    const json* quads = nullptr;
    const std::string* markedText = nullptr;
    const std::string* comment = nullptr;
};

std::optional<TextSpec> readText(const json& tx) {
    if (!tx.is_object()) return std::nullopt;
    const std::string* s = stringValue(member(tx, "s"));
    std::optional<double> f = numberValue(member(tx, "f"));
    const json* b = member(tx, "b");
    const json* w = member(tx, "w");
    if (s == nullptr || !f || b == nullptr || !b->is_boolean()) return std::nullopt;
    if (w != nullptr && !w->is_number()) return std::nullopt;
    TextSpec spec;
    spec.text = *s;
    spec.fontSize = std::isfinite(*f) && *f > 0 ? std::min(*f, kMaxFontSize) : kDefaultFontSize;
    if (w != nullptr) {
        double width = w->get<double>();
        if (std::isfinite(width) && width >= 0) spec.fixedWidth = std::min(width, kMaxFixedWidth);
    }
    spec.boxed = b->get<bool>();
    return spec;
}

bool readOptional(const json& object, DTO& dto) {
    const json* k = member(object, "k");
    if (k != nullptr && (dto.kind = stringValue(k)) == nullptr) return false;
    dto.strokes = member(object, "st");
    if (dto.strokes != nullptr && !isStrokeArray(*dto.strokes)) return false;
    dto.p1 = member(object, "p1");
    dto.p2 = member(object, "p2");
    if (dto.p1 != nullptr && !isNumberArray(*dto.p1)) return false;
    if (dto.p2 != nullptr && !isNumberArray(*dto.p2)) return false;
    if (const json* tx = member(object, "tx")) {
        dto.text = readText(*tx);
        if (!dto.text) return false;
    }
    dto.quads = member(object, "q");
    if (dto.quads != nullptr && !isStrokeArray(*dto.quads)) return false;
    const json* s = member(object, "s");
    if (s != nullptr && (dto.markedText = stringValue(s)) == nullptr) return false;
    const json* cm = member(object, "cm");
    if (cm != nullptr && (dto.comment = stringValue(cm)) == nullptr) return false;
    return true;
}

std::optional<DTO> readDTO(const json& object) {
    if (!object.is_object()) return std::nullopt;
    DTO dto;
    auto version = integerValue(member(object, "v"));
    auto lineWidth = numberValue(member(object, "lw"));
    auto rotation = integerValue(member(object, "r"));
    auto modified = integerValue(member(object, "m"));
    dto.id = stringValue(member(object, "id"));
    dto.type = stringValue(member(object, "t"));
    dto.colour = member(object, "c");
    if (!version || !lineWidth || !rotation || !modified || dto.id == nullptr || dto.type == nullptr ||
        dto.colour == nullptr || !isNumberArray(*dto.colour)) {
        return std::nullopt;
    }
    dto.version = *version;
    dto.lineWidth = *lineWidth;
    dto.rotation = *rotation;
    dto.modified = *modified;
    if (!readOptional(object, dto)) return std::nullopt;
    return dto;
}

std::optional<Point> readPoint(const json* j) {
    if (j == nullptr || j->size() != 2) return std::nullopt;
    double x = (*j)[0].get<double>(), y = (*j)[1].get<double>();
    if (!isValidCoordinate(x) || !isValidCoordinate(y)) return std::nullopt;
    return Point{x, y};
}

std::optional<Shape> readInk(const DTO& dto) {
    std::optional<InkKind> kind = dto.kind ? inkKindFromRawValue(*dto.kind) : std::nullopt;
    if (!kind || dto.strokes == nullptr || dto.strokes->size() > kMaxStrokes) return std::nullopt;
    InkShape ink{*kind, {}};
    size_t points = 0;
    for (const json& flat : *dto.strokes) {
        Stroke stroke;
        stroke.reserve(flat.size() / 2);
        for (size_t i = 0; i < flat.size(); ++i) {
            if (!isValidCoordinate(flat[i].get<double>())) return std::nullopt;
            // An odd last number has no partner and is left out.
            if (i % 2 == 1) stroke.push_back({flat[i - 1].get<double>(), flat[i].get<double>()});
        }
        points += stroke.size();
        if (points > kMaxPoints) return std::nullopt;
        if (!stroke.empty()) ink.strokes.push_back(std::move(stroke));
    }
    if (ink.strokes.empty()) return std::nullopt;
    return Shape(std::move(ink));
}

// A kind this version does not know leaves the annotation to the engine
// that draws it, as any other program's.
std::optional<Shape> readMarkup(const DTO& dto) {
    std::optional<TextMarkupKind> kind = dto.kind ? textMarkupKindFromRawValue(*dto.kind) : std::nullopt;
    if (!kind || dto.quads == nullptr || dto.quads->empty() || dto.quads->size() > kMaxQuads ||
        dto.markedText == nullptr)
        return std::nullopt;
    TextMarkupShape markup{*kind, {}, *dto.markedText, dto.comment ? *dto.comment : std::string()};
    markup.quads.reserve(dto.quads->size());
    for (const json& flat : *dto.quads) {
        if (flat.size() != 8) return std::nullopt;
        double v[8];
        for (size_t i = 0; i < 8; ++i) {
            v[i] = flat[i].get<double>();
            if (!isValidCoordinate(v[i])) return std::nullopt;
        }
        markup.quads.push_back(Quad::fromNumbers(v));
    }
    return Shape(std::move(markup));
}

std::optional<Shape> readShape(const DTO& dto) {
    const std::string& type = *dto.type;
    if (type == "ink") return readInk(dto);
    if (type == "markup") return readMarkup(dto);
    std::optional<Point> p1 = readPoint(dto.p1);
    if (!p1) return std::nullopt;
    if (type == "text") {
        if (!dto.text) return std::nullopt;
        return Shape(TextShape{*p1, *dto.text});
    }
    std::optional<Point> p2 = readPoint(dto.p2);
    if (!p2) return std::nullopt;
    if (type == "arrow") return Shape(ArrowShape{*p1, *p2, dto.text});
    if (type == "note" && dto.text) return Shape(NoteShape{*p1, *p2, *dto.text});
    return std::nullopt;
}

std::optional<RGBA> readColour(const json& c) {
    if (c.size() != 4) return std::nullopt;
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        v[i] = c[i].get<double>();
        if (!std::isfinite(v[i])) return std::nullopt;
    }
    return RGBA(v[0], v[1], v[2], v[3]);
}

}  // namespace

bool isPayload(std::string_view text) {
    return text.starts_with(kPrefix);
}

json toJSON(const AnnotationItem& item) {
    json dto = json::object();
    dto["v"] = kFormatVersion;
    dto["id"] = item.id.text();
    addShape(dto, item.shape);
    dto["r"] = item.rotation;
    dto["m"] = storedTime(item.modified);
    dto["lw"] = number(storedLineWidth(item.lineWidth));
    const RGBA& c = item.color;
    dto["c"] = json::array({number(storedColour(c.r)), number(storedColour(c.g)), number(storedColour(c.b)),
                            number(storedColour(c.a))});
    return dto;
}

std::optional<AnnotationItem> fromJSON(const json& object) {
    std::optional<DTO> dto = readDTO(object);
    if (!dto || dto->version != kFormatVersion) return std::nullopt;
    std::optional<UUID> id = UUID::parse(*dto->id);
    std::optional<RGBA> colour = readColour(*dto->colour);
    if (!id || !colour) return std::nullopt;
    if (!std::isfinite(dto->lineWidth) || dto->lineWidth < 0 || dto->lineWidth > kMaxLineWidth)
        return std::nullopt;
    std::optional<Shape> shape = readShape(*dto);
    if (!shape) return std::nullopt;
    return AnnotationItem(*id, std::move(*shape), *colour, dto->lineWidth, dto->rotation,
                          std::chrono::sys_seconds{std::chrono::seconds{dto->modified}});
}

std::string jsonText(const AnnotationItem& item) {
    return CompactJSON::write(toJSON(item));
}

namespace {

// What decode would refuse and encoding cannot mend without losing strokes.
void requireEncodable(const AnnotationItem& item) {
    if (const TextMarkupShape* markup = item.shape.markup()) {
        if (markup->quads.size() > kMaxQuads)
            throw ItemCodecError::tooManyQuads(item.id, markup->quads.size(), kMaxQuads);
        if (markup->quads.empty()) throw ItemCodecError::noQuads(item.id);
        return;
    }
    const InkShape* ink = item.shape.ink();
    if (ink == nullptr) return;
    if (ink->strokes.size() > kMaxStrokes)
        throw ItemCodecError::tooManyStrokes(item.id, ink->strokes.size(), kMaxStrokes);
    size_t points = 0;
    for (const Stroke& stroke : ink->strokes) points += stroke.size();
    if (points > kMaxPoints) throw ItemCodecError::tooManyPoints(item.id, points, kMaxPoints);
    if (points == 0) throw ItemCodecError::noPoints(item.id);
}

}  // namespace

std::string encode(const AnnotationItem& item) {
    requireEncodable(item);
    const std::string text = jsonText(item);
    try {
        return std::string(kPrefix) + Base64::encode(Flate::deflate(text, kCompressionLevel));
    } catch (const FlateError& error) {
        throw ItemCodecError::compression(item.id, error.message());
    }
}

std::optional<AnnotationItem> decode(std::string_view payload, size_t* inflatedBytes) {
    if (inflatedBytes) *inflatedBytes = 0;
    if (!isPayload(payload)) return std::nullopt;
    try {
        std::optional<std::string> compressed = Base64::decode(payload.substr(kPrefix.size()));
        if (!compressed) return std::nullopt;
        Bytes text;
        try {
            text = Flate::inflate(*compressed, Flate::kItemPayloadLimit);
        } catch (const FlateError& error) {
            if (inflatedBytes && error.code() == FlateError::Code::tooLarge)
                *inflatedBytes = Flate::kItemPayloadLimit;
            throw;
        }
        if (inflatedBytes) *inflatedBytes = text.size();
        std::optional<json> object = CompactJSON::parse(text);
        if (!object) return std::nullopt;
        return fromJSON(*object);
    } catch (const FlateError&) {
        return std::nullopt;  // corrupt or oversized zlib data
    } catch (const json::exception&) {
        return std::nullopt;  // a value of a type the checks above let through
    }
}

}  // namespace quillet::ItemCodec
