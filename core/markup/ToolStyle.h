// The style a tool gives the items it makes: colour, line width, text size
// and whether text gets a border and background. The built-in defaults live
// here so that the application and the command-line tool make alike items.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "core/markup/RGBA.h"
#include "core/markup/Tool.h"

namespace quillet {

struct ToolStyle {
    RGBA color;
    double lineWidth = 1;  // points
    double fontSize = 13;  // points
    bool boxed = true;

    // Limits of a stored value; anything outside reads as the default.
    static constexpr double maxLineWidth = 200;

    // The built-in style of each tool with a style; absent for select and eraser.
    static std::optional<ToolStyle> builtInDefault(Tool tool);
    // The built-in pen style: what a tool without a style falls back to.
    static ToolStyle penDefault();
    // Every tool that has a style, with its built-in style.
    static std::map<Tool, ToolStyle> builtInDefaults();

    // {"color": {"r","g","b","a"}, "lineWidth", "fontSize", "boxed"}.
    nlohmann::json toJSON() const;
    // Each field read on its own: a missing, mistyped, non-finite or
    // out-of-range field keeps the value of `fallback`. A colour is taken
    // only whole, with all four components inside [0, 1].
    static ToolStyle fromJSON(const nlohmann::json& object, const ToolStyle& fallback);

    bool operator==(const ToolStyle&) const = default;
};

// The styles map as stored: a JSON object keyed by the tools' raw values.
std::string encodeToolStyles(const std::map<Tool, ToolStyle>& styles);
// `base` overlaid with the stored text: entries naming a tool with a style
// replace that tool's style field by field; other keys, and a text that is
// not a JSON object, change nothing.
std::map<Tool, ToolStyle> decodeToolStyles(const std::string& stored, std::map<Tool, ToolStyle> base);

}  // namespace quillet
