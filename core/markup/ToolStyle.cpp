#include "core/markup/ToolStyle.h"

#include <cmath>

#include "core/markup/TextLayout.h"

namespace quillet {

namespace {

using nlohmann::json;

// Functions rather than constants: the defaults are read by other files'
// static initialisers.
RGBA red() {
    return {0.89, 0.16, 0.16, 1.0};
}
RGBA yellow() {
    return {1.0, 0.83, 0.0, 1.0};
}
RGBA signatureBlue() {
    return {0.05, 0.15, 0.45, 1.0};
}

std::optional<double> finiteNumber(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number()) return std::nullopt;
    const double v = it->get<double>();
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<RGBA> readColor(const json& object) {
    auto it = object.find("color");
    if (it == object.end() || !it->is_object()) return std::nullopt;
    double c[4];
    const char* keys[] = {"r", "g", "b", "a"};
    for (int i = 0; i < 4; ++i) {
        std::optional<double> v = finiteNumber(*it, keys[i]);
        if (!v || *v < 0 || *v > 1) return std::nullopt;
        c[i] = *v;
    }
    return RGBA::unclamped(c[0], c[1], c[2], c[3]);
}

}  // namespace

std::optional<ToolStyle> ToolStyle::builtInDefault(Tool tool) {
    switch (tool) {
        case Tool::pen:
            return ToolStyle{red(), 2.0, 13.0, true};
        case Tool::highlighter:
            return ToolStyle{yellow(), 14.0, 13.0, true};
        case Tool::text:
            return ToolStyle{red(), 1.0, 13.0, true};
        case Tool::note:
            return ToolStyle{yellow(), 1.0, 13.0, true};
        case Tool::arrow:
            return ToolStyle{red(), 2.0, 13.0, true};
        case Tool::signature:
            return ToolStyle{signatureBlue(), 1.6, 13.0, false};
        // Text markup: colour and opacity; its lines follow the text's size.
        case Tool::textHighlight:
            return ToolStyle{{1.0, 0.87, 0.2, 1.0}, 1.0, 13.0, false};
        case Tool::underline:
            return ToolStyle{{0.1, 0.45, 0.9, 1.0}, 1.0, 13.0, false};
        case Tool::strikeOut:
            return ToolStyle{red(), 1.0, 13.0, false};
        case Tool::squiggly:
            return ToolStyle{{0.95, 0.45, 0.0, 1.0}, 1.0, 13.0, false};
        case Tool::select:
        case Tool::eraser:
            return std::nullopt;
    }
    return std::nullopt;
}

ToolStyle ToolStyle::penDefault() {
    return *builtInDefault(Tool::pen);
}

std::map<Tool, ToolStyle> ToolStyle::builtInDefaults() {
    std::map<Tool, ToolStyle> styles;
    for (Tool tool : allTools)
        if (std::optional<ToolStyle> style = builtInDefault(tool)) styles.emplace(tool, *style);
    return styles;
}

json ToolStyle::toJSON() const {
    return {{"color", {{"r", color.r}, {"g", color.g}, {"b", color.b}, {"a", color.a}}},
            {"lineWidth", lineWidth},
            {"fontSize", fontSize},
            {"boxed", boxed}};
}

ToolStyle ToolStyle::fromJSON(const json& object, const ToolStyle& fallback) {
    ToolStyle style = fallback;
    if (!object.is_object()) return style;
    if (std::optional<RGBA> c = readColor(object)) style.color = *c;
    if (std::optional<double> w = finiteNumber(object, "lineWidth"); w && *w > 0 && *w <= maxLineWidth)
        style.lineWidth = *w;
    if (std::optional<double> f = finiteNumber(object, "fontSize");
        f && *f >= TextLayout::minFontSize && *f <= TextLayout::maxFontSize)
        style.fontSize = *f;
    if (auto it = object.find("boxed"); it != object.end() && it->is_boolean()) style.boxed = it->get<bool>();
    return style;
}

std::string encodeToolStyles(const std::map<Tool, ToolStyle>& styles) {
    json object = json::object();
    for (const auto& [tool, style] : styles) object[std::string(rawValue(tool))] = style.toJSON();
    return object.dump();
}

std::map<Tool, ToolStyle> decodeToolStyles(const std::string& stored, std::map<Tool, ToolStyle> base) {
    const json object = json::parse(stored, nullptr, false);
    if (!object.is_object()) return base;
    for (const auto& [key, value] : object.items()) {
        std::optional<Tool> tool = toolFromRawValue(key);
        if (!tool || !hasStyle(*tool)) continue;
        const ToolStyle fallback = base.count(*tool) ? base.at(*tool) : *ToolStyle::builtInDefault(*tool);
        base[*tool] = ToolStyle::fromJSON(value, fallback);
    }
    return base;
}

}  // namespace quillet
