#include "core/markup/ToolStyle.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

const std::map<Tool, ToolStyle> defaults = ToolStyle::builtInDefaults();

std::map<Tool, ToolStyle> decode(const std::string& stored) {
    return decodeToolStyles(stored, defaults);
}

TEST(ToolStyle, EncodedStylesDecodeToTheSameMap) {
    std::map<Tool, ToolStyle> changed = defaults;
    changed[Tool::pen] = {{0.1, 0.42, 0.93, 0.5}, 3.25, 20, false};
    changed[Tool::note] = {RGBA::unclamped(0.123456, 0, 1, 1), 1, 28, true};
    EXPECT_EQ(decode(encodeToolStyles(changed)), changed);
    const nlohmann::json stored = nlohmann::json::parse(encodeToolStyles(changed));
    EXPECT_EQ(stored.size(), defaults.size());
    EXPECT_EQ(stored["pen"]["color"]["a"], 0.5);
    EXPECT_EQ(stored["pen"]["lineWidth"], 3.25);
}

TEST(ToolStyle, UnknownKeysAndToolsWithoutStyleAreIgnored) {
    const auto styles = decode(R"({"select": {"color": {"r":0,"g":0,"b":0,"a":1}, "lineWidth": 9,
        "fontSize": 10, "boxed": false}, "crayon": {}, "text": {"color": {"r":0,"g":1,"b":0,"a":1},
        "lineWidth": 3, "fontSize": 20, "boxed": false}})");
    EXPECT_EQ(styles.size(), defaults.size());
    EXPECT_FALSE(styles.count(Tool::select));
    EXPECT_EQ(styles.at(Tool::text), (ToolStyle{{0, 1, 0, 1}, 3, 20, false}));
}

TEST(ToolStyle, DamagedTextKeepsEveryDefault) {
    for (const char* stored : {"", "not json", "[1,2]", "{\"pen\": ", "null", "42"})
        EXPECT_EQ(decode(stored), defaults) << stored;
}

TEST(ToolStyle, EachDamagedFieldFallsBackOnItsOwn) {
    const ToolStyle pen = defaults.at(Tool::pen);
    struct Case {
        const char* json;
        ToolStyle expected;
    } cases[] = {
        {R"({"lineWidth": -2, "fontSize": 16})", {pen.color, pen.lineWidth, 16, pen.boxed}},
        {R"({"lineWidth": 0, "boxed": false})", {pen.color, pen.lineWidth, pen.fontSize, false}},
        {R"({"lineWidth": "3", "fontSize": 1e308})", pen},
        {R"({"lineWidth": null, "fontSize": 0.5})", pen},
        {R"({"lineWidth": 5000, "boxed": "yes"})", pen},
        {R"({"color": {"r": 2, "g": 0, "b": 0, "a": 1}, "lineWidth": 4})",
         {pen.color, 4, pen.fontSize, pen.boxed}},
        {R"({"color": {"r": 0, "g": 0, "b": 0}})", pen},
        {R"({"color": [0, 0, 0, 1]})", pen},
        {R"({"color": {"r": 0, "g": 0.5, "b": 1, "a": 0.25}})",
         {{0, 0.5, 1, 0.25}, pen.lineWidth, pen.fontSize, pen.boxed}},
        {R"("pen")", pen},
    };
    for (const Case& c : cases) {
        const std::string stored = std::string(R"({"pen": )") + c.json + "}";
        EXPECT_EQ(decode(stored).at(Tool::pen), c.expected) << c.json;
    }
    // NaN cannot be written as JSON; an encoder that writes it as null is read as damaged.
    std::map<Tool, ToolStyle> nan = defaults;
    nan[Tool::arrow].lineWidth = std::nan("");
    EXPECT_EQ(decode(encodeToolStyles(nan)).at(Tool::arrow), defaults.at(Tool::arrow));
}

TEST(ToolStyle, RawValuesRoundTripAndPredicatesMatchTheControls) {
    for (Tool tool : allTools) EXPECT_EQ(toolFromRawValue(rawValue(tool)), tool);
    EXPECT_FALSE(toolFromRawValue("Pen"));
    EXPECT_TRUE(hasBorderSwitch(Tool::arrow) && hasTextSizeControl(Tool::arrow) &&
                hasLineWidthControl(Tool::arrow));
    EXPECT_FALSE(hasLineWidthControl(Tool::text) || hasBorderSwitch(Tool::note) ||
                 hasTextSizeControl(Tool::signature));
}

}  // namespace
