#include "core/markup/CompactJSON.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillet {
namespace {

using nlohmann::json;

TEST(CompactJSON, WritesSortedCompactTextWithUnescapedSlashes) {
    json value = {{"z", 1}, {"a", json::array({true, false, nullptr})}, {"m", {{"s", "a/b"}}}};
    EXPECT_EQ(CompactJSON::write(value), R"({"a":[true,false,null],"m":{"s":"a/b"},"z":1})");
}

TEST(CompactJSON, WritesIntegralNumbersWithoutFractionAndOthersShortest) {
    const std::pair<double, const char*> cases[] = {
        {1.0, "1"}, {90.0, "90"}, {-0.0, "0"}, {1e7, "10000000"}, {1e21, "1000000000000000000000"},
        {0.1, "0.1"}, {-21.25, "-21.25"}, {0.1 + 0.2, "0.30000000000000004"}, {0.001, "0.001"},
        {1e-7, "1e-07"}, {std::nan(""), "null"}, {std::numeric_limits<double>::infinity(), "null"},
    };
    for (auto [number, text] : cases) EXPECT_EQ(CompactJSON::write(json(number)), text) << text;
    EXPECT_EQ(CompactJSON::write(json(int64_t{-1733402400})), "-1733402400");
    EXPECT_EQ(CompactJSON::write(json(uint64_t{18446744073709551615u})), "18446744073709551615");
}

TEST(CompactJSON, EscapesQuotesBackslashesAndControlCharacters) {
    std::string s = std::string("q\"b\\\n\r\t\b\f") + '\x01' + '\x1f' + '\0' + "\x7f";
    EXPECT_EQ(CompactJSON::write(json(s)), "\"q\\\"b\\\\\\n\\r\\t\\b\\f\\u0001\\u001f\\u0000\x7f\"");
    auto back = CompactJSON::parse(CompactJSON::write(json(s)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->get<std::string>(), s);
}

TEST(CompactJSON, RepairsInvalidUTF8InsteadOfFailing) {
    EXPECT_EQ(CompactJSON::repairedUTF8("ok \xD0\xAF \xE4\xB8\xAD \xF0\x9F\x98\x80"),
              "ok \xD0\xAF \xE4\xB8\xAD \xF0\x9F\x98\x80");
    const std::pair<const char*, const char*> cases[] = {
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},            // never valid
        {"\xED\xA0\x80", "\xEF\xBF\xBD"},              // encoded surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD"},                  // overlong
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD"},          // above U+10FFFF
        {"x\xE4\xB8", "x\xEF\xBF\xBD"},                // cut off
        {"\x80" "a", "\xEF\xBF\xBD" "a"},              // stray continuation
    };
    for (auto [in, out] : cases) EXPECT_EQ(CompactJSON::repairedUTF8(in), out);
    json value = std::string("bad \xC3");
    EXPECT_EQ(CompactJSON::write(value), "\"bad \xEF\xBF\xBD\"");
}

TEST(CompactJSON, ParseRefusesMalformedAndTrailingText) {
    for (const char* text : {"", "{", "{\"a\":1,}", "{\"a\":1} x", "[1] [2]", "{'a':1}", "nul", "\"\\ud800\""}) {
        EXPECT_FALSE(CompactJSON::parse(text)) << text;
    }
    EXPECT_EQ(CompactJSON::parse(R"({"a":[1,2.5]})"), json::parse(R"({"a":[1,2.5]})"));
}

TEST(CompactJSON, ParseRefusesDeepNestingBeforeBuildingIt) {
    std::string ok = std::string(CompactJSON::kMaxDepth, '[') + std::string(CompactJSON::kMaxDepth, ']');
    EXPECT_TRUE(CompactJSON::parse(ok));
    std::string deep = std::string(CompactJSON::kMaxDepth + 1, '[') + std::string(CompactJSON::kMaxDepth + 1, ']');
    EXPECT_FALSE(CompactJSON::parse(deep));
    EXPECT_FALSE(CompactJSON::parse(std::string(8 << 20, '[')));
    // Brackets inside strings do not count.
    EXPECT_TRUE(CompactJSON::parse("[\"" + std::string(1000, '[') + "\\\"\"]"));
}

TEST(CompactJSON, ParseRefusesMoreValuesThanTheBound) {
    std::string many = "[";
    many.reserve(2 * CompactJSON::kMaxValues + 2);
    for (size_t i = 0; i < CompactJSON::kMaxValues; ++i) many += "0,";
    many += "0]";
    EXPECT_FALSE(CompactJSON::parse(many));
}

}  // namespace
}  // namespace quillet
