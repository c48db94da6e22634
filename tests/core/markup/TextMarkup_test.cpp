// Markup over text as a stored item: its payload, its drawing in each
// quad's own frame, its annotation and its hits.
#include <gtest/gtest.h>

#include "core/markup/AnnotationSerializer.h"
#include "core/markup/Base64.h"
#include "core/markup/HitTesting.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemCodecError.h"
#include "core/markup/TextMarkupAppearance.h"
#include "core/markup/ToolStyle.h"
#include "core/pdf/Flate.h"
#include "tests/core/markup/MarkupTestSupport.h"

namespace quillet {
namespace {

using testing::expectNear;
using testing::makeItem;
using testing::written;

constexpr const char* kId = "5E6A1D2C-0000-4000-8000-00000000002A";
// Two lines of a highlighted sentence, the second line with a comment.
constexpr const char* kJSON =
    R"({"c":[1,0.87,0.2,0.5],"cm":"check","id":"5E6A1D2C-0000-4000-8000-00000000002A","k":"highlight",)"
    R"("lw":1,"m":1700000000,"q":[[72,712,200.5,712,72,700,200.5,700],[72,698,120,698,72,686,120,686]],)"
    R"("r":0,"s":"the quick brown fox","t":"markup","v":1})";

TextMarkupShape twoLines(TextMarkupKind kind = TextMarkupKind::highlight) {
    return {kind,
            {Quad::fromRect({72, 700, 128.5, 12}), Quad::fromRect({72, 686, 48, 12})},
            "the quick brown fox",
            "check"};
}

AnnotationItem markupItem(TextMarkupShape shape, RGBA color = {1, 0.87, 0.2, 0.5}) {
    return makeItem(std::move(shape), color, 1, 0, *UUID::parse(kId));
}

std::string payloadOf(const nlohmann::json& dto) {
    return "QLT1:" + Base64::encode(Flate::deflate(dto.dump(), 9));
}

TEST(TextMarkupItem, PayloadIsTheDocumentedJSONAndReadsBackForEveryKind) {
    EXPECT_EQ(ItemCodec::jsonText(markupItem(twoLines())), kJSON);
    for (TextMarkupKind kind : allTextMarkupKinds) {
        const AnnotationItem item = markupItem(twoLines(kind));
        EXPECT_EQ(ItemCodec::decode(ItemCodec::encode(item)), item) << rawValue(kind);
    }
    TextMarkupShape plain = twoLines();
    plain.comment.clear();
    EXPECT_FALSE(ItemCodec::toJSON(markupItem(plain)).contains("cm"));
    EXPECT_EQ(ItemCodec::decode(ItemCodec::encode(markupItem(plain))), markupItem(plain));
}

TEST(TextMarkupItem, MalformedOrUnknownMarkupIsNoItemOfOurs) {
    const nlohmann::json good = nlohmann::json::parse(kJSON);
    ASSERT_TRUE(ItemCodec::decode(payloadOf(good)));
    const std::vector<std::pair<std::string, nlohmann::json>> changes = {
        {"k", "wavy"},                                    // a kind of a later version
        {"q", nlohmann::json::array()},                   // no text marked
        {"q", {{72, 712, 200, 712, 72, 700, 200}}},       // seven numbers
        {"q", {{72, 712, 200, 712, 72, 700, 200, 1e9}}},  // beyond the coordinate range
        {"s", 5},
        {"cm", false},
    };
    for (const auto& [key, value] : changes) {
        nlohmann::json dto = good;
        dto[key] = value;
        EXPECT_FALSE(ItemCodec::decode(payloadOf(dto))) << key << " " << value.dump();
    }
    nlohmann::json noText = good;
    noText.erase("s");
    EXPECT_FALSE(ItemCodec::decode(payloadOf(noText)));

    TextMarkupShape empty = twoLines();
    empty.quads.clear();
    EXPECT_THROW(ItemCodec::encode(markupItem(empty)), ItemCodecError);
}

// A quad read along a line that runs up the page, as on a page turned by 90°.
Quad upwardQuad() {
    // Text from (100, 300) upward for 80 points, 10 points high, its top to the left.
    return {{90, 300}, {90, 380}, {100, 300}, {100, 380}};
}

TEST(TextMarkupAppearance, EachKindDrawsInTheQuadsOwnFrame) {
    const RGBA colour{0.1, 0.45, 0.9, 1};
    const TextMarkupShape turned{TextMarkupKind::highlight, {upwardQuad()}, "word", ""};

    auto highlight = TextMarkupAppearance::commands(turned, colour);
    ASSERT_EQ(highlight.size(), 1u);
    EXPECT_TRUE(highlight[0].multiply);
    EXPECT_TRUE(highlight[0].paint.isFill());
    EXPECT_EQ(highlight[0].path.boundingBox(), (Rect{90, 300, 10, 80}));

    // Lines run along the text, at their height above its lower edge (x = 100).
    const std::vector<std::pair<TextMarkupKind, double>> lines = {
        {TextMarkupKind::underline, TextMarkupAppearance::underlinePosition},
        {TextMarkupKind::strikeOut, TextMarkupAppearance::strikeOutPosition},
    };
    for (const auto& [kind, position] : lines) {
        auto drawn = TextMarkupAppearance::commands({kind, {upwardQuad()}, "", ""}, colour);
        ASSERT_EQ(drawn.size(), 1u) << rawValue(kind);
        EXPECT_FALSE(drawn[0].multiply);
        const Rect b = drawn[0].path.boundingBox();
        EXPECT_NEAR(b.minX(), 100 - 10 * position, 1e-9) << rawValue(kind);
        EXPECT_NEAR(b.width, 0, 1e-9);
        EXPECT_NEAR(b.height, 80, 1e-9);
        EXPECT_NEAR(drawn[0].paint.width, std::max(10 / 14.0, TextMarkupAppearance::minLineWidth), 1e-9);
    }
    auto squiggle =
        TextMarkupAppearance::commands({TextMarkupKind::squiggly, {upwardQuad()}, "", ""}, colour);
    ASSERT_EQ(squiggle.size(), 1u);
    const Rect wave = squiggle[0].path.boundingBox();
    EXPECT_NEAR(wave.minX(), 100 - 10 * TextMarkupAppearance::squiggleHigh, 1e-9);
    EXPECT_NEAR(wave.maxX(), 100 - 10 * TextMarkupAppearance::squiggleLow, 1e-9);
    EXPECT_NEAR(wave.height, 80, 1e-9);

    // A quad without area draws nothing rather than a line of no direction.
    const Quad flat = Quad::fromRect({10, 10, 0, 0});
    EXPECT_TRUE(TextMarkupAppearance::commands({TextMarkupKind::underline, {flat}, "", ""}, colour).empty());
}

TEST(TextMarkupAnnotation, IsTheStandardSubtypeWithQuadPointsOpacityAndText) {
    const std::vector<std::pair<TextMarkupKind, std::string>> subtypes = {
        {TextMarkupKind::highlight, "/Highlight"},
        {TextMarkupKind::underline, "/Underline"},
        {TextMarkupKind::strikeOut, "/StrikeOut"},
        {TextMarkupKind::squiggly, "/Squiggly"},
    };
    for (const auto& [kind, subtype] : subtypes) {
        const auto out = AnnotationSerializer::serialize(markupItem(twoLines(kind)), std::nullopt,
                                                         PDFRef{9, 0}, std::nullopt, std::nullopt, false);
        EXPECT_EQ(written(*out.annotation.find("Subtype")), subtype);
        // Upper-left, upper-right, lower-left, lower-right, quad after quad.
        EXPECT_EQ(written(*out.annotation.find("QuadPoints")),
                  "[72 712 200.5 712 72 700 200.5 700 72 698 120 698 72 686 120 686]");
        EXPECT_EQ(written(*out.annotation.find("CA")), "0.5");
        EXPECT_FALSE(out.popup);
        const PDFValue* rect = out.annotation.find("Rect");
        ASSERT_TRUE(rect && rect->arrayValue());
        const PDFArray& r = *rect->arrayValue();
        EXPECT_LE(r.at(0).doubleValue().value_or(1e9), 72);
        EXPECT_LE(r.at(1).doubleValue().value_or(1e9), 686);
        EXPECT_GE(r.at(2).doubleValue().value_or(-1), 200.5);
        EXPECT_GE(r.at(3).doubleValue().value_or(-1), 712);
    }
    // A viewer shows the comment; without one, the marked text.
    auto contents = [](TextMarkupShape shape) {
        return written(*AnnotationSerializer::serialize(markupItem(std::move(shape)), std::nullopt,
                                                        PDFRef{9, 0}, std::nullopt, std::nullopt, false)
                            .annotation.find("Contents"));
    };
    EXPECT_EQ(contents(twoLines()), "(check)");
    TextMarkupShape plain = twoLines();
    plain.comment.clear();
    EXPECT_EQ(contents(plain), "(the quick brown fox)");
}

TEST(TextMarkupQuads, TheQuadOfARunTurnsWithTheWayItReadsOnScreen) {
    // A page of 300 points' height shown upright: display y = 300 - page y.
    const AffineTransform toDisplay{1, 0, 0, -1, 0, 300};
    auto quadOf = [&](std::vector<Rect> boxes) { return *Quad::covering(boxes, toDisplay); };
    // Across the page: the upper edge is the top of the line.
    EXPECT_EQ(quadOf({{10, 100, 5, 10}, {15, 100, 5, 10}}),
              (Quad{{10, 110}, {20, 110}, {10, 100}, {20, 100}}));
    // Down the page (text turned clockwise): the glyphs' tops face right.
    EXPECT_EQ(quadOf({{50, 200, 10, 5}, {50, 190, 10, 5}}),
              (Quad{{60, 205}, {60, 190}, {50, 205}, {50, 190}}));
    // Up the page: their tops face left.
    EXPECT_EQ(quadOf({{50, 190, 10, 5}, {50, 200, 10, 5}}),
              (Quad{{50, 190}, {50, 205}, {60, 190}, {60, 205}}));
    // Upside down.
    EXPECT_EQ(quadOf({{15, 100, 5, 10}, {10, 100, 5, 10}}),
              (Quad{{20, 100}, {10, 100}, {20, 110}, {10, 110}}));
    EXPECT_FALSE(Quad::covering({}, toDisplay));
}

TEST(TextMarkupHits, APointHitsInsideAQuadAndNotBetweenThem) {
    const AnnotationItem turned = markupItem({TextMarkupKind::underline, {upwardQuad()}, "word", ""});
    EXPECT_EQ(ItemGeometry::hitTest(turned, {95, 340}, 0, false), HitPart::body);
    EXPECT_FALSE(ItemGeometry::hitTest(turned, {85, 340}, 2, false));
    EXPECT_EQ(ItemGeometry::hitTest(turned, {88.5, 340}, 2, false), HitPart::body);

    const AnnotationItem lines = markupItem(twoLines());
    EXPECT_EQ(ItemGeometry::hitTest(lines, {150, 705}, 0, false), HitPart::body);
    // Right of the short second line, below the long first one.
    EXPECT_FALSE(ItemGeometry::hitTest(lines, {180, 692}, 0, false));
    EXPECT_TRUE(ItemGeometry::eraserHits(lines, {180, 692}, {110, 692}, 1, false));
}

TEST(TextMarkupTools, EachKindKeepsAStyleUnderItsOwnKey) {
    for (TextMarkupKind kind : allTextMarkupKinds) {
        const Tool tool = toolFor(kind);
        EXPECT_EQ(textMarkupKind(tool), kind);
        EXPECT_EQ(toolFromRawValue(rawValue(tool)), tool);
        EXPECT_TRUE(ToolStyle::builtInDefault(tool));
    }
    EXPECT_FALSE(textMarkupKind(Tool::highlighter));
    // Styles stored before these tools existed still read; a stored markup
    // style replaces only its own tool's.
    auto styles =
        decodeToolStyles(R"({"pen":{"lineWidth":3},"strikeOut":{"color":{"r":0,"g":0,"b":0,"a":0.5}}})",
                         ToolStyle::builtInDefaults());
    EXPECT_EQ(styles.at(Tool::pen).lineWidth, 3);
    EXPECT_EQ(styles.at(Tool::strikeOut).color, (RGBA{0, 0, 0, 0.5}));
    EXPECT_EQ(styles.at(Tool::underline), *ToolStyle::builtInDefault(Tool::underline));
}

}  // namespace
}  // namespace quillet
