#include "core/markup/ItemCodec.h"

#include <gtest/gtest.h>

#include <random>

#include "core/markup/Base64.h"
#include "core/markup/ItemCodecError.h"
#include "core/pdf/Flate.h"

namespace quillet {
namespace {

using nlohmann::json;
using namespace std::string_literals;
using std::chrono::seconds;
using std::chrono::sys_seconds;

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
    EXPECT_EQ(ItemCodec::encode(exampleItem()), payloadOf(kExampleJSON));
}

TEST(ItemCodec, InvalidUTF8IsRepairedNotRefused) {
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

// `count` strokes, all empty but the first.
json strokes(size_t count) {
    json list = json::array({json::array({1, 2})});
    while (list.size() < count) list.push_back(json::array());
    return list;
}

TEST(ItemCodec, DecodeRefusesEveryInvalidPayload) {
    std::string valid = ItemCodec::encode(exampleItem());
    std::string broken = valid.substr(0, 10) + "\n" + valid.substr(10);
    const std::pair<std::string, std::string> cases[] = {
        {"empty", ""},
        {"Base64 split across lines", broken},
        {"not Base64", "QLT1:@@@@"},
        {"not zlib", "QLT1:" + Base64::encode("this is not a zlib stream")},
        {"not JSON", payloadOf("not json")},
        {"version 2", exampleWith("v", 2)},
        {"bad id", exampleWith("id", "5E6A1D2C-0000-4000-8000-00000000002")},
        {"three colour components", exampleWith("c", json::array({0, 0, 0}))},
        {"line width 1000.5", exampleWith("lw", 1000.5)},
        {"fractional rotation", exampleWith("r", 90.5)},
        {"time beyond 64 bits", exampleWith("m", json(uint64_t{18446744073709551615u}))},
        {"unknown shape", exampleWith("t", "circle")},
        {"ink without kind", exampleWith("k", std::nullopt)},
        {"ink with only empty strokes", exampleWith("st", json::array({json::array(), json::array({1})}))},
        {"more points than viewers draw",
         exampleWith("st", json::array({json(std::vector<int>(2 * ItemCodec::kMaxPoints - 2, 1)),
                                        json::array({1, 2, 3, 4})}))},
        {"more strokes than the limit, though few points",
         exampleWith("st", strokes(ItemCodec::kMaxStrokes + 1))},
        {"stroke beyond the coordinate range",
         exampleWith("st", json::array({json::array({1, 10000000.5})}))},
        {"text with a broken tx", exampleWith("tx", json::object({{"s", "x"}, {"f", 12}}))},
        {"p1 out of range", payloadOf(shapeJSON(R"("t":"arrow","p1":[1,-1e8],"p2":[1,2])"))},
        {"note without tx", payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4])"))},
        {"boxed not a boolean",
         payloadOf(shapeJSON(R"("t":"note","p1":[1,2],"p2":[3,4],"tx":{"b":1,"f":12,"s":""})"))},
        {"deep nesting", payloadOf(std::string(1 << 20, '['))},
        {"inflates beyond the limit",
         payloadOf(std::string(kExampleJSON) + std::string(Flate::kItemPayloadLimit, ' '), 1)}};
    for (const auto& [what, payload] : cases) EXPECT_FALSE(ItemCodec::decode(payload)) << what;
    EXPECT_TRUE(ItemCodec::decode(
        exampleWith("st", json::array({json(std::vector<int>(2 * ItemCodec::kMaxPoints, 1))}))))
        << "exactly the most points";
    EXPECT_TRUE(ItemCodec::decode(exampleWith("st", strokes(ItemCodec::kMaxStrokes))))
        << "exactly the most strokes";
}

// An item the format cannot carry is refused by name, never written as a
// payload that reads back as nothing.
TEST(ItemCodec, EncodeRefusesInkThatWouldReadBackAsNothingNamingTheItem) {
    const std::pair<std::vector<Stroke>, ItemCodecError::Code> cases[] = {
        {{Stroke(ItemCodec::kMaxPoints + 1, Point{1, 2})}, ItemCodecError::Code::tooManyPoints},
        {std::vector<Stroke>(ItemCodec::kMaxStrokes + 1, Stroke{{1, 2}}),
         ItemCodecError::Code::tooManyStrokes},
        {{Stroke{}, Stroke{}}, ItemCodecError::Code::noPoints}};
    for (const auto& [strokes, code] : cases) {
        try {
            ItemCodec::encode(makeItem(InkShape{InkKind::pen, strokes}));
            ADD_FAILURE() << "encoded " << strokes.size() << " strokes";
        } catch (const CoreError& error) {
            EXPECT_EQ(dynamic_cast<const ItemCodecError&>(error).code(), code);
            EXPECT_STREQ(error.categoryName(), "codec");
            EXPECT_TRUE(error.message().starts_with("cannot encode item " + std::string(kExampleId) + ": "))
                << error.message();
        }
    }
    const AnnotationItem most =
        makeItem(InkShape{InkKind::pen, {Stroke(ItemCodec::kMaxPoints, Point{1, 2})}});
    EXPECT_EQ(ItemCodec::decode(ItemCodec::encode(most)), most);
    // A line wider than the format holds is clamped like the other sizes.
    AnnotationItem wide = exampleItem();
    wide.lineWidth = 5000;
    ASSERT_TRUE(ItemCodec::decode(ItemCodec::encode(wide)));
    EXPECT_EQ(ItemCodec::decode(ItemCodec::encode(wide))->lineWidth, 1000);
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
        // Text that JSON must escape, a NUL, and two- to four-byte UTF-8.
        static const std::string pieces[] = {
            "a", " ", "/", "\"", "\\", "\n", "\x01", "\0"s, "\xD0\xAF", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
            "{}"};
        std::string s;
        for (int n = pick(12); n > 0; --n) s += pieces[pick(12)];
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
        EXPECT_EQ(ItemCodec::decode(ItemCodec::encode(item)), item) << ItemCodec::jsonText(item);
    }
}

}  // namespace
}  // namespace quillet
