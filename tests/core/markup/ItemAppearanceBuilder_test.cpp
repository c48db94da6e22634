// What each kind of item draws, the bounds of what it draws, the smoothed
// stroke path and the note palette.
#include "core/markup/ItemAppearanceBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/NotePalette.h"
#include "core/markup/StrokePath.h"

using namespace quillet;

namespace {

AnnotationItem item(Shape shape, RGBA color = RGBA(1, 0, 0, 1), double width = 2, int64_t rotation = 0) {
    return AnnotationItem(UUID::random(), std::move(shape), color, width, rotation,
                          std::chrono::sys_seconds{});
}

AnnotationItem ink(InkKind kind, std::vector<Stroke> strokes, RGBA color = RGBA(1, 0, 0, 1),
                   double width = 2) {
    return item(InkShape{kind, std::move(strokes)}, color, width);
}

TextSpec spec(std::string text, bool boxed) {
    return TextSpec{std::move(text), 12, std::nullopt, boxed};
}

AnnotationItem note(RGBA color = RGBA(1, 0.8, 0, 1)) {
    return item(NoteShape{{100, 500}, {200, 500}, spec("Check this", false)}, color, 1);
}

// What each command paints with: its paint and colour, in drawing order.
std::vector<std::pair<Paint, RGBA>> paints(const ItemAppearance& a) {
    std::vector<std::pair<Paint, RGBA>> out;
    for (const DrawCommand& c : a.commands) out.emplace_back(c.paint, c.color);
    return out;
}

Rect pathBox(const DrawCommand& c) {
    return c.path.boundingBox();
}

void expectNear(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.minX(), expected.minX(), 1e-9);
    EXPECT_NEAR(actual.minY(), expected.minY(), 1e-9);
    EXPECT_NEAR(actual.maxX(), expected.maxX(), 1e-9);
    EXPECT_NEAR(actual.maxY(), expected.maxY(), 1e-9);
}

}  // namespace

TEST(InkAppearance, PenAndSignatureStrokeTheSmoothedPathInTheItemColour) {
    const std::vector<Stroke> strokes{{{10, 20}, {20, 30}, {30, 20}}};
    for (InkKind kind : {InkKind::pen, InkKind::signature}) {
        const RGBA color(0.2, 0.4, 0.6, 0.7);
        const ItemAppearance a = ItemAppearanceBuilder::build(ink(kind, strokes, color, 3), false);
        ASSERT_EQ(a.commands.size(), 1u);
        EXPECT_EQ(a.commands[0].path, StrokePath::path(strokes));
        EXPECT_EQ(a.commands[0].paint, Paint::stroke(3));
        EXPECT_EQ(a.commands[0].color, color);
        EXPECT_FALSE(a.commands[0].multiply);
    }
}

TEST(InkAppearance, HighlighterIsAtMostFortyPercentOpaqueAndMultiplies) {
    const std::vector<Stroke> strokes{{{0, 0}, {50, 0}}};
    const auto opaque =
        ItemAppearanceBuilder::build(ink(InkKind::highlighter, strokes, RGBA(1, 1, 0, 1)), false);
    EXPECT_EQ(opaque.commands.at(0).color, RGBA(1, 1, 0, 0.4));
    EXPECT_TRUE(opaque.commands.at(0).multiply);
    const auto faint =
        ItemAppearanceBuilder::build(ink(InkKind::highlighter, strokes, RGBA(1, 1, 0, 0.2)), false);
    EXPECT_EQ(faint.commands.at(0).color.a, 0.2);
}

TEST(StrokePath, ShortStrokesAreDotsAndLinesLongerOnesCurveThroughMidpoints) {
    PathBuilder dots, curve;
    dots.moveTo({3, 4});
    dots.lineTo({3, 4});
    dots.moveTo({1, 1});
    dots.lineTo({2, 5});
    EXPECT_EQ(StrokePath::path({{{3, 4}}, {}, {{1, 1}, {2, 5}}}), dots.build());
    curve.moveTo({0, 0});
    curve.quadTo({10, 0}, {10, 5});
    curve.quadTo({10, 10}, {15, 10});
    curve.lineTo({20, 10});
    EXPECT_EQ(StrokePath::path({{{0, 0}, {10, 0}, {10, 10}, {20, 10}}}), curve.build());
    EXPECT_TRUE(StrokePath::path({{}, {}}).isEmpty());
}

TEST(AppearanceBounds, FollowTheDrawnCurveAndUniteEveryCommandRoundedOutward) {
    // A one-point stroke covers line width + 2 around the point, then whole numbers outward.
    EXPECT_EQ(
        ItemAppearanceBuilder::build(ink(InkKind::pen, {{{10.5, 20}}}, RGBA(0, 0, 0, 1), 4), false).bounds,
        (Rect{7, 17, 7, 6}));
    PathBuilder b;
    b.moveTo({0, 0});
    b.quadTo({50, 100}, {100, 0});
    const Path curve = b.build();
    EXPECT_EQ(ItemAppearance::boundsOf({{curve, Paint::fill(), RGBA(), false}}), (Rect{0, 0, 100, 50}));
    EXPECT_EQ(ItemAppearance::boundsOf({{curve, Paint::stroke(2), RGBA(), false}}), (Rect{-2, -2, 104, 54}));
    PathBuilder first, second;
    first.addRect({0.2, 0.7, 10, 10});
    second.addRect({-5.5, 3, 1, 1});
    EXPECT_EQ(ItemAppearance::fromCommands({{first.build(), Paint::fill(), RGBA(), false},
                                            {second.build(), Paint::fill(), RGBA(), false}})
                  .bounds,
              (Rect{-6, 0, 17, 11}));
    // Nothing painted gives the zero rectangle, also for empty text and a bare arrow of no length.
    EXPECT_EQ(ItemAppearanceBuilder::build(ink(InkKind::pen, {{}, {}}), false).bounds, Rect{});
    const auto empty = ItemAppearanceBuilder::build(item(TextShape{{100, 700}, spec("", false)}), false);
    EXPECT_TRUE(empty.commands.empty());
    EXPECT_EQ(empty.bounds, Rect{});
    const auto bare = ItemAppearanceBuilder::build(item(ArrowShape{{40, 40}, {40, 40}, std::nullopt}), false);
    EXPECT_TRUE(bare.commands.empty());
    EXPECT_EQ(bare.bounds, Rect{});
}

TEST(TextAppearance, UnboxedTextPaintsOnlyOpaqueGlyphs) {
    const auto a = ItemAppearanceBuilder::build(
        item(TextShape{{100, 700}, spec("Hello", false)}, RGBA(0, 0, 1, 0.5)), false);
    ASSERT_EQ(a.commands.size(), 1u);
    EXPECT_EQ(a.commands[0].paint, Paint::fill());
    EXPECT_EQ(a.commands[0].color, RGBA(0, 0, 1, 1));
    const PlacedBox box = ItemGeometry::placeText(spec("Hello", false), {100, 700}, 0);
    EXPECT_EQ(a.commands[0].path, box.layout.glyphs.transformed(box.transform));
}

TEST(TextAppearance, BoxedTextDrawsAWhiteFrameWithABorderInsideTheBoxTurnedWithIt) {
    const RGBA color(0, 0.5, 0, 0.8);
    for (int64_t rotation : {0, 90}) {
        SCOPED_TRACE(rotation);
        const auto a = ItemAppearanceBuilder::build(
            item(TextShape{{100, 700}, spec("Boxed", true)}, color, 2, rotation), false);
        ASSERT_EQ(a.commands.size(), 3u);
        const Rect frame = ItemGeometry::placeText(spec("Boxed", true), {100, 700}, rotation).frame();
        EXPECT_EQ(a.commands[0].paint, Paint::fill());
        EXPECT_EQ(a.commands[0].color, RGBA(1, 1, 1, 0.93));
        expectNear(pathBox(a.commands[0]), frame);
        EXPECT_EQ(a.commands[1].paint, Paint::stroke(0.8));
        EXPECT_EQ(a.commands[1].color, color);
        expectNear(pathBox(a.commands[1]), frame.insetBy(0.4, 0.4));
        EXPECT_EQ(a.commands[2].color, RGBA(0, 0.5, 0, 1));
        if (rotation == 0) {
            EXPECT_EQ(a.bounds, frame.insetBy(-1, -1).integral());
        }
    }
}

TEST(ArrowAppearance, ShaftHeadAndRoundedHeadOutline) {
    const auto a = ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 10}, std::nullopt}), false);
    const auto head = ItemGeometry::arrowHead({10, 10}, {110, 10}, 2);
    ASSERT_TRUE(head);
    const RGBA red(1, 0, 0, 1);
    EXPECT_EQ(paints(a), (std::vector<std::pair<Paint, RGBA>>{
                             {Paint::stroke(2), red}, {Paint::fill(), red}, {Paint::stroke(1.2), red}}));
    EXPECT_EQ(a.commands[0].path.elements().back().endPoint(), head->shaftEnd);
    EXPECT_EQ(a.commands[1].path, a.commands[2].path);
    EXPECT_EQ(a.commands[1].path.elements().front().endPoint(), head->tip);
    const auto thin =
        ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 10}, std::nullopt}, RGBA(), 0.5), false);
    EXPECT_EQ(thin.commands.at(2).paint, Paint::stroke(0.5));
}

TEST(ArrowAppearance, LabelFollowsTheArrowInTheItemColour) {
    const TextSpec label = spec("See here", false);
    const auto a = ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 60}, label}), false);
    ASSERT_EQ(a.commands.size(), 4u);
    const PlacedBox box = ItemGeometry::placeLabel(label, {10, 10}, {110, 60}, 0);
    EXPECT_EQ(a.commands[3].path, box.layout.glyphs.transformed(box.transform));
    EXPECT_EQ(a.commands[3].color, RGBA(1, 0, 0, 1));
    // Coincident points draw only the label.
    EXPECT_EQ(
        ItemAppearanceBuilder::build(item(ArrowShape{{40, 40}, {40, 40}, label}), false).commands.size(), 1u);
}

TEST(NoteAppearance, CollapsedNoteIsItsIconExpandedAddsConnectorBubbleAndText) {
    const AnnotationItem n = note(RGBA(1, 1, 0, 0.3));
    const NotePalette p(n.color);
    const auto a = ItemAppearanceBuilder::build(n, false);
    const std::vector<std::pair<Paint, RGBA>> icon{
        {Paint::fill(), p.iconFill}, {Paint::stroke(1), p.iconStroke}, {Paint::fill(), p.iconLines}};
    EXPECT_EQ(paints(a), icon);
    // The outline spans (1, 1)–(19, 19) of the icon square hanging from the
    // anchor; stroked, it reaches 1.5 past that on every side.
    expectNear(pathBox(a.commands[0]), Rect{101, 481, 18, 18});
    EXPECT_EQ(a.bounds, (Rect{99, 479, 22, 22}));
    const auto expanded = ItemAppearanceBuilder::build(n, true);
    std::vector<std::pair<Paint, RGBA>> all{{Paint::stroke(0.75), p.bubbleBorder},
                                            {Paint::fill(), p.bubbleFill},
                                            {Paint::stroke(0.8), p.bubbleBorder},
                                            {Paint::fill(), p.text}};
    all.insert(all.end(), icon.begin(), icon.end());
    EXPECT_EQ(paints(expanded), all);
    EXPECT_TRUE(
        expanded.bounds.contains(ItemGeometry::placeBubble(n.shape.note()->spec, {200, 500}, 0).frame()));
}

TEST(NoteAppearance, BubbleAppearanceIsTheExpandedNoteWithoutItsIcon) {
    const AnnotationItem n = note();
    const auto expanded = ItemAppearanceBuilder::build(n, true);
    const auto bubble = ItemAppearanceBuilder::bubbleAppearance(n);
    ASSERT_TRUE(bubble);
    const std::vector<DrawCommand> withoutIcon(expanded.commands.begin(), expanded.commands.end() - 3);
    EXPECT_EQ(bubble->commands, withoutIcon);
    EXPECT_EQ(bubble->bounds, ItemAppearance::boundsOf(withoutIcon));
    EXPECT_FALSE(ItemAppearanceBuilder::bubbleAppearance(ink(InkKind::pen, {{{0, 0}}})));
    EXPECT_FALSE(ItemAppearanceBuilder::bubbleAppearance(item(TextShape{{0, 0}, spec("x", true)})));
    AnnotationItem near = note();
    near.shape.note()->bubble = {124, 500};  // 4 points right of the icon: no connector
    EXPECT_EQ(ItemAppearanceBuilder::bubbleAppearance(near)->commands.at(0).color,
              NotePalette(n.color).bubbleFill);
}

TEST(NotePalette, LightColoursGetDarkIconLinesDarkOnesWhiteAndTheNoteIsOpaque) {
    const NotePalette yellow(RGBA(1, 1, 0, 1));
    const std::pair<RGBA, RGBA> colours[] = {
        {yellow.iconFill, RGBA(1, 1, 0, 1)},
        {yellow.iconStroke, RGBA(0.6, 0.6, 0, 1)},
        {yellow.iconLines, RGBA(0.3, 0.3, 0, 1)},
        {yellow.bubbleFill, RGBA(1, 1, 0.86, 1)},
        {yellow.bubbleBorder, RGBA(0.8, 0.8, 0, 1)},
        {yellow.text, RGBA(0.1, 0.1, 0.12, 1)},
        {NotePalette(RGBA(0, 0, 1, 1)).iconLines, RGBA::white()},
        {NotePalette(RGBA(0, 0, 1, 1)).bubbleFill, RGBA(0.86, 0.86, 1, 1)},
        // Item alpha and out-of-range components do not leak into the note.
        {NotePalette(RGBA::unclamped(1.5, -0.5, std::nan(""), 0.2)).iconFill, RGBA(1, 0, 0, 1)},
        {NotePalette(RGBA::unclamped(1.5, -0.5, std::nan(""), 0.2)).bubbleFill, RGBA(1, 0.86, 0.86, 1)}};
    for (const auto& [actual, expected] : colours) {
        EXPECT_NEAR(actual.r, expected.r, 1e-12);
        EXPECT_NEAR(actual.g, expected.g, 1e-12);
        EXPECT_NEAR(actual.b, expected.b, 1e-12);
        EXPECT_EQ(actual.a, expected.a);
    }
}

TEST(PayloadAppearance, DecodesBuildsAndSharesTheCachedResultPerExpansion) {
    const std::string payload = ItemCodec::encode(ink(InkKind::pen, {{{1, 2}, {3, 4}, {5, 1}}}));
    const auto first = ItemAppearanceBuilder::appearance(payload, false);
    const auto second = ItemAppearanceBuilder::appearance(payload, false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, ItemAppearanceBuilder::build(*ItemCodec::decode(payload), false));
    EXPECT_TRUE(first->commands.at(0).path.sharesStorageWith(second->commands.at(0).path));
    const std::string notePayload = ItemCodec::encode(note());
    EXPECT_EQ(ItemAppearanceBuilder::appearance(notePayload, false)->commands.size(), 3u);
    EXPECT_EQ(ItemAppearanceBuilder::appearance(notePayload, true)->commands.size(), 7u);
    for (const char* text : {"", "QLT1:", "QLT1:!!!not base64", "hello"})
        EXPECT_FALSE(ItemAppearanceBuilder::appearance(text, true)) << text;
}

TEST(PayloadAppearance, CacheStaysWithinItsCapacity) {
    for (size_t i = 0; i < ItemAppearanceBuilder::cacheCapacity + 40; ++i)
        ASSERT_TRUE(ItemAppearanceBuilder::appearance(
            ItemCodec::encode(ink(InkKind::pen, {{{double(i), 0}}})), false));
    EXPECT_EQ(ItemAppearanceBuilder::cachedEntryCount(false), ItemAppearanceBuilder::cacheCapacity);
}
