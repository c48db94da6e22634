#include "core/markup/ItemCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/markup/Base64.h"
#include "core/markup/CompactJSON.h"
#include "core/pdf/Flate.h"

namespace quillet {
namespace {

using nlohmann::json;
using std::chrono::seconds;
using std::chrono::sys_seconds;

const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
constexpr const char* kExampleId = "5E6A1D2C-0000-4000-8000-00000000002A";
constexpr const char* kExampleJSON =
    R"({"c":[0.1,0.1,0.12,1],"id":"5E6A1D2C-0000-4000-8000-00000000002A","k":"pen","lw":2,)"
    R"("m":1733402400,"r":0,"st":[[10.5,20,11,21.25,13.5,22]],"t":"ink","v":1})";

// A payload around any JSON text, as another writer might have made it.
std::string payloadOf(std::string_view json, int level = 9) {
    return "QLT1:" + Base64::encode(Flate::deflate(json, level));
}

AnnotationItem makeItem(Shape shape, RGBA color = RGBA::defaultInk(), double lineWidth = 2,
                        int64_t rotation = 0, int64_t modified = 1733402400) {
    return AnnotationItem(*UUID::parse(kExampleId), std::move(shape), color, lineWidth, rotation,
                          sys_seconds{seconds{modified}});
}

AnnotationItem exampleItem() {
    return makeItem(InkShape{InkKind::pen, {{{10.5, 20}, {11, 21.25}, {13.5, 22}}}}, RGBA(0.1, 0.1, 0.12, 1));
}

TEST(ItemCodec, ExampleItemIsTheDocumentedJSONAndItsPayloadDecodesToIt) {
    EXPECT_EQ(ItemCodec::jsonText(exampleItem()), kExampleJSON);
    EXPECT_EQ(ItemCodec::decode(payloadOf(kExampleJSON)), exampleItem());
    // Deterministic, and exactly prefix + Base64 of zlib level 9.
    std::string payload = ItemCodec::encode(exampleItem());
    EXPECT_EQ(payload, ItemCodec::encode(exampleItem()));
    EXPECT_EQ(payload, payloadOf(kExampleJSON));
    EXPECT_TRUE(ItemCodec::isPayload("QLT1:"));
    for (const char* text : {"qlt1:abc", " QLT1:abc", "QLT1"})
        EXPECT_FALSE(ItemCodec::isPayload(text)) << text;
}

TEST(ItemCodec, WritesEveryShapeWithOnlyItsKeys) {
    TextSpec spec{"a/b \"q\"\n\x01", 12, 100.0, true};
    EXPECT_EQ(ItemCodec::jsonText(makeItem(TextShape{{1.5, -2}, spec}, RGBA(1, 0, 0, 0.5), 1, 90, 0)),
              R"({"c":[1,0,0,0.5],"id":"5E6A1D2C-0000-4000-8000-00000000002A","lw":1,"m":0,"p1":[1.5,-2],)"
              R"("r":90,"t":"text","tx":{"b":true,"f":12,"s":"a/b \"q\"\n\u0001","w":100},"v":1})");
    EXPECT_EQ(ItemCodec::jsonText(makeItem(ArrowShape{{0, 0}, {3, 4}, std::nullopt})),
              R"({"c":[0.1,0.1,0.12,1],"id":"5E6A1D2C-0000-4000-8000-00000000002A","lw":2,"m":1733402400,)"
              R"("p1":[0,0],"p2":[3,4],"r":0,"t":"arrow","v":1})");
    EXPECT_EQ(
        ItemCodec::jsonText(makeItem(NoteShape{{7, 8}, {9, 10}, TextSpec{"n", 14.5, std::nullopt, false}})),
        R"({"c":[0.1,0.1,0.12,1],"id":"5E6A1D2C-0000-4000-8000-00000000002A","lw":2,"m":1733402400,)"
        R"("p1":[7,8],"p2":[9,10],"r":0,"t":"note","tx":{"b":false,"f":14.5,"s":"n"},"v":1})");
}

TEST(ItemCodec, ReplacesClampsAndRoundsValuesBeforeWriting) {
    AnnotationItem ink =
        makeItem(InkShape{InkKind::highlighter, {{{nan, inf}, {2e7, -3e7}, {1.125, -0.001}}}},
                 RGBA::unclamped(0.12345, nan, -0.0004, 1), 1e8, 0, 2'000'000'000'000'000);
    EXPECT_EQ(ItemCodec::jsonText(ink),
              R"({"c":[0.123,0,0,1],"id":"5E6A1D2C-0000-4000-8000-00000000002A","k":"highlighter",)"
              R"("lw":10000000,"m":0,"r":0,"st":[[0,0,10000000,-10000000,1.13,0]],"t":"ink","v":1})");
    EXPECT_FALSE(ItemCodec::decode(ItemCodec::encode(ink))) << "a line width above 1000 is refused";

    const std::tuple<double, std::optional<double>, json, json> texts[] = {
        {nan, inf, 12, 100}, {0.5, nan, 1, 100}, {5000, -5, 1000, 0}, {12.375, 2e5, 12.38, 100000}};
    for (const auto& [fontSize, width, f, w] : texts) {
        SCOPED_TRACE(fontSize);
        json tx = ItemCodec::toJSON(makeItem(TextShape{{0, 0}, TextSpec{"", fontSize, width, false}}))["tx"];
        EXPECT_EQ(tx["f"], f);
        EXPECT_EQ(tx["w"], w);
    }
    EXPECT_FALSE(ItemCodec::toJSON(makeItem(TextShape{{0, 0}, TextSpec{}}))["tx"].contains("w"));
}

TEST(ItemCodec, InkWithoutPointsEncodesButDoesNotDecodeAndBadUTF8IsRepaired) {
    AnnotationItem empty = makeItem(InkShape{InkKind::pen, {{}, {}}});
    EXPECT_NE(ItemCodec::jsonText(empty).find(R"("st":[[],[]],)"), std::string::npos);
    EXPECT_FALSE(ItemCodec::decode(ItemCodec::encode(empty)));
    auto text = ItemCodec::decode(
        ItemCodec::encode(makeItem(TextShape{{1, 2}, TextSpec{"caf\xC3 \xFF/ok", 12, std::nullopt, false}})));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->textSpec()->text, "caf\xEF\xBF\xBD \xEF\xBF\xBD/ok");
}

// The example JSON with one key replaced, removed (nullopt) or added.
std::string exampleWith(const std::string& key, std::optional<nlohmann::json> value) {
    nlohmann::json dto = nlohmann::json::parse(kExampleJSON);
    if (value)
        dto[key] = *value;
    else
        dto.erase(key);
    return payloadOf(dto.dump());
}

std::string shapeJSON(const std::string& fields) {
    return R"({"c":[0,0,0,1],"id":"5e6a1d2c-0000-4000-8000-00000000002a","lw":1,"m":5,"r":0,"v":1,)" +
           fields + "}";
}

TEST(ItemCodec, DecodeRefusesEveryInvalidPayload) {
    std::string valid = ItemCodec::encode(exampleItem());
    std::string broken = valid.substr(0, 10) + "\n" + valid.substr(10);
    const std::pair<std::string, std::string> cases[] = {
        {"empty", ""},
        {"bare prefix", "QLT1:"},
        {"Base64 split across lines", broken},
        {"Base64 with a blank", valid + " "},
        {"not Base64", "QLT1:@@@@"},
        {"not zlib", "QLT1:" + Base64::encode("this is not a zlib stream")},
        {"not JSON", payloadOf("not json")},
        {"not an object", payloadOf("[1,2]")},
        {"version 2", exampleWith("v", 2)},
        {"version as text", exampleWith("v", "1")},
        {"no version", exampleWith("v", std::nullopt)},
        {"bad id", exampleWith("id", "5E6A1D2C-0000-4000-8000-00000000002")},
        {"id not a string", exampleWith("id", 5)},
        {"three colour components", exampleWith("c", json::array({0, 0, 0}))},
        {"colour not numbers", exampleWith("c", json::array({0, 0, 0, "1"}))},
        {"no colour", exampleWith("c", std::nullopt)},
        {"line width 1000.5", exampleWith("lw", 1000.5)},
        {"negative line width", exampleWith("lw", -1)},
        {"fractional rotation", exampleWith("r", 90.5)},
        {"no modification time", exampleWith("m", std::nullopt)},
        {"time beyond 64 bits", exampleWith("m", json(uint64_t{18446744073709551615u}))},
        {"unknown shape", exampleWith("t", "circle")},
        {"no shape", exampleWith("t", std::nullopt)},
        {"ink without kind", exampleWith("k", std::nullopt)},
        {"ink of another kind", exampleWith("k", "marker")},
        {"kind not a string", exampleWith("k", 1)},
        {"ink without strokes", exampleWith("st", std::nullopt)},
        {"ink with only empty strokes", exampleWith("st", json::array({json::array(), json::array({1})}))},
        {"stroke beyond the coordinate range",
         exampleWith("st", json::array({json::array({1, 10000000.5})}))},
        {"stroke with a string", exampleWith("st", json::array({json::array({1, "2"})}))},
        {"text with a broken tx", exampleWith("tx", json::object({{"s", "x"}, {"f", 12}}))},
        {"text without p1", payloadOf(shapeJSON(R"("t":"text","tx":{"b":false,"f":12,"s":""})"))},
        {"text without tx", payloadOf(shapeJSON(R"("t":"text","p1":[1,2])"))},
        {"p1 of 3 numbers",
         payloadOf(shapeJSON(R"("t":"text","p1":[1,2,3],"tx":{"b":false,"f":12,"s":""})"))},
        {"p1 out of range", payloadOf(shapeJSON(R"("t":"arrow","p1":[1,-1e8],"p2":[1,2])"))},
        {"arrow without p2", payloadOf(shapeJSON(R"("t":"arrow","p1":[1,2])"))},
        {"note without tx", payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4])"))},
        {"boxed not a boolean",
         payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4],"tx":{"b":1,"f":12,"s":""})"))},
        {"width not a number",
         payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4],"tx":{"b":true,"f":12,"s":"","w":"5"})"))},
        {"deep nesting", payloadOf(std::string(1 << 20, '['))},
        {"lowercase prefix", "qlt1:" + valid.substr(5)},
        {"leading blank", " " + valid},
        // Level 1 only to keep the test quick; the level does not matter to inflate.
        {"inflates beyond the limit",
         payloadOf(std::string(kExampleJSON) + std::string(Flate::kItemPayloadLimit, ' '), 1)}};
    for (const auto& [what, payload] : cases) EXPECT_FALSE(ItemCodec::decode(payload)) << what;
}

TEST(ItemCodec, DecodeMapsStoredValuesAsDocumented) {
    auto ink =
        ItemCodec::decode(exampleWith("st", json::array({json::array({1, 2, 3, 4, 5}), json::array()})));
    ASSERT_TRUE(ink);
    EXPECT_EQ(ink->shape.ink()->strokes, (std::vector<Stroke>{{{1, 2}, {3, 4}}}));

    auto note = [](const std::string& tx) {
        return ItemCodec::decode(payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4],"tx":)" + tx)));
    };
    EXPECT_EQ(note(R"({"b":true,"f":0,"s":"x"})")->textSpec(), (TextSpec{"x", 12, std::nullopt, true}));
    EXPECT_EQ(note(R"({"b":true,"f":5000,"s":"x","w":-3})")->textSpec(),
              (TextSpec{"x", 1000, std::nullopt, true}));
    EXPECT_EQ(note(R"({"b":false,"f":9,"s":"","w":2e5})")->textSpec(), (TextSpec{"", 9, 100000.0, false}));

    EXPECT_EQ(ItemCodec::decode(exampleWith("r", -90))->rotation, 270);
    EXPECT_EQ(ItemCodec::decode(exampleWith("r", 451))->rotation, 90);
    EXPECT_EQ(ItemCodec::decode(exampleWith("c", json::array({2, -1, 0.5, 1})))->color, RGBA(1, 0, 0.5, 1));
    EXPECT_EQ(ItemCodec::decode(exampleWith("m", -5))->modified, sys_seconds{seconds{-5}});
    EXPECT_EQ(ItemCodec::decode(exampleWith("unknown", json::object({{"x", 1}}))), exampleItem());
    EXPECT_EQ(ItemCodec::decode(exampleWith("v", 1.0)), exampleItem());

    auto arrow = ItemCodec::decode(payloadOf(shapeJSON(R"("t":"arrow","p1":[1,2],"p2":[-3,1e7])")));
    ASSERT_TRUE(arrow);
    EXPECT_EQ(*arrow->shape.arrow(), (ArrowShape{{1, 2}, {-3, 1e7}, std::nullopt}));
}

// Random items whose values are all storable: at most 2 decimals, colours
// in thousandths, quarter-turn rotations.
struct RandomItems {
    std::mt19937 rng{20240601};

    double hundredths(int64_t lo, int64_t hi) {
        return static_cast<double>(std::uniform_int_distribution<int64_t>(lo, hi)(rng)) / 100;
    }
    double thousandths() {
        return static_cast<double>(std::uniform_int_distribution<int>(0, 1000)(rng)) / 1000;
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    Point point() {
        return {hundredths(-1'000'000'000, 1'000'000'000), hundredths(-1'000'000'000, 1'000'000'000)};
    }
    TextSpec spec() {
        static const char* pieces[] = {"a",
                                       "Z",
                                       " ",
                                       "/",
                                       "\"",
                                       "\\",
                                       "\n",
                                       "\t",
                                       "\x01",
                                       "",
                                       "\xD0\xAF",
                                       "\xE4\xB8\xAD",
                                       "\xF0\x9F\x98\x80",
                                       "\xD7\xA9",
                                       "{}",
                                       "[1,2]"};
        std::string s;
        for (int n = pick(12); n > 0; --n) {
            int i = pick(16);
            s += i == 9 ? std::string(1, '\0') : std::string(pieces[i]);
        }
        std::optional<double> width;
        if (pick(2)) width = hundredths(0, 10'000'000);
        return {s, hundredths(100, 100'000), width, pick(2) == 1};
    }
    Shape shape() {
        switch (pick(4)) {
            case 0: {
                InkShape ink{static_cast<InkKind>(pick(3)), std::vector<Stroke>(size_t(1 + pick(3)))};
                for (Stroke& stroke : ink.strokes)
                    for (int n = 1 + pick(6); n > 0; --n) stroke.push_back(point());
                return ink;
            }
            case 1:
                return TextShape{point(), spec()};
            case 2:
                return ArrowShape{point(), point(), pick(2) ? std::optional<TextSpec>(spec()) : std::nullopt};
            default:
                return NoteShape{point(), point(), spec()};
        }
    }
    AnnotationItem next() {
        UUID::ByteArray bytes;
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        RGBA color(thousandths(), thousandths(), thousandths(), thousandths());
        int64_t modified = std::uniform_int_distribution<int64_t>(-100'000'000'000, 100'000'000'000)(rng);
        return AnnotationItem(UUID(bytes), shape(), color, hundredths(0, 100'000), 90 * pick(4),
                              sys_seconds{seconds{modified}});
    }
};

TEST(ItemCodec, EncodeThenDecodeGivesTheSameItemForStorableValues) {
    RandomItems items;
    for (int i = 0; i < 500; ++i) {
        AnnotationItem item = items.next();
        std::string payload = ItemCodec::encode(item);
        auto decoded = ItemCodec::decode(payload);
        ASSERT_TRUE(decoded) << ItemCodec::jsonText(item);
        EXPECT_EQ(*decoded, item) << ItemCodec::jsonText(item);
        EXPECT_EQ(ItemCodec::encode(*decoded), payload);
        EXPECT_EQ(ItemCodec::fromJSON(ItemCodec::toJSON(item)), item);
    }
}

TEST(Base64, EncodesTheStandardVectorsAndRefusesAnythingTheEncoderWouldNotWrite) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (auto [plain, coded] : vectors) {
        EXPECT_EQ(Base64::encode(plain), coded);
        EXPECT_EQ(Base64::decode(coded), plain);
    }
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    EXPECT_EQ(Base64::decode(Base64::encode(bytes)), bytes);
    for (const char* text : {"Zm9", "Zm9vY", "Zm9v\nYmFy", "Zm9v YmFy", " Zm9v", "Zm9v\r\n", "Zm-v", "Zm_v",
                             "Zg=A", "Z===", "====", "Zg==Zm9v", "Zm=v", "Zh==", "Zm9="})
        EXPECT_FALSE(Base64::decode(text)) << text;
}

TEST(CompactJSON, WritesSortedCompactTextWithUnescapedSlashesAndShortestNumbers) {
    json value = {{"z", 1}, {"a", json::array({true, false, nullptr})}, {"m", {{"s", "a/b"}}}};
    EXPECT_EQ(CompactJSON::write(value), R"({"a":[true,false,null],"m":{"s":"a/b"},"z":1})");
    const std::pair<json, const char*> numbers[] = {
        {1.0, "1"},
        {-0.0, "0"},
        {1e21, "1000000000000000000000"},
        {-21.25, "-21.25"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e-7, "1e-07"},
        {nan, "null"},
        {inf, "null"},
        {int64_t{-1733402400}, "-1733402400"},
        {uint64_t{18446744073709551615u}, "18446744073709551615"}};
    for (const auto& [number, text] : numbers) EXPECT_EQ(CompactJSON::write(number), text);
    std::string s = std::string("q\"b\\\n\r\t\b\f") + '\x01' + '\x1f' + '\0' + "\x7f";
    EXPECT_EQ(CompactJSON::write(json(s)), "\"q\\\"b\\\\\\n\\r\\t\\b\\f\\u0001\\u001f\\u0000\x7f\"");
    EXPECT_EQ(CompactJSON::parse(CompactJSON::write(json(s)))->get<std::string>(), s);
}

TEST(CompactJSON, RepairsInvalidUTF8InsteadOfFailing) {
    const std::pair<const char*, const char*> cases[] = {
        {"ok \xD0\xAF \xE4\xB8\xAD \xF0\x9F\x98\x80", "ok \xD0\xAF \xE4\xB8\xAD \xF0\x9F\x98\x80"},
        {"a\xFF-", "a\xEF\xBF\xBD-"},          // never valid
        {"\xED\xA0\x80", "\xEF\xBF\xBD"},      // encoded surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD"},          // overlong
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD"},  // above U+10FFFF
        {"x\xE4\xB8", "x\xEF\xBF\xBD"},        // cut off
        {"\x80-", "\xEF\xBF\xBD-"},            // stray continuation
    };
    for (auto [in, out] : cases) EXPECT_EQ(CompactJSON::repairedUTF8(in), out);
    EXPECT_EQ(CompactJSON::write(json(std::string("bad \xC3"))), "\"bad \xEF\xBF\xBD\"");
}

TEST(CompactJSON, ParseRefusesMalformedTrailingDeepAndOversizedText) {
    for (const char* text :
         {"", "{", "{\"a\":1,}", "{\"a\":1} x", "[1] [2]", "{'a':1}", "nul", "\"\\ud800\""})
        EXPECT_FALSE(CompactJSON::parse(text)) << text;
    EXPECT_EQ(CompactJSON::parse(R"({"a":[1,2.5]})"), json::parse(R"({"a":[1,2.5]})"));
    const size_t depth = CompactJSON::kMaxDepth;
    EXPECT_TRUE(CompactJSON::parse(std::string(depth, '[') + std::string(depth, ']')));
    EXPECT_FALSE(CompactJSON::parse(std::string(depth + 1, '[') + std::string(depth + 1, ']')));
    EXPECT_FALSE(CompactJSON::parse(std::string(8 << 20, '[')));
    EXPECT_TRUE(CompactJSON::parse("[\"" + std::string(1000, '[') + "\\\"\"]"));  // in strings: no depth
    std::string many = "[";
    for (size_t i = 0; i < CompactJSON::kMaxValues; ++i) many += "0,";
    EXPECT_FALSE(CompactJSON::parse(many + "0]"));
}

}  // namespace
}  // namespace quillet
