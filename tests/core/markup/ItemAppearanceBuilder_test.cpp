// What each kind of item draws, and the bounds of what it draws.
#include "core/markup/ItemAppearanceBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/NotePalette.h"
#include "core/markup/StrokePath.h"

using namespace quillet;

namespace quillet {
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
}  // namespace quillet

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
    TextSpec s;
    s.text = std::move(text);
    s.boxed = boxed;
    return s;
}

AnnotationItem note(RGBA color = RGBA(1, 0.8, 0, 1), int64_t rotation = 0) {
    return item(NoteShape{{100, 500}, {200, 500}, spec("Check this", false)}, color, 1, rotation);
}

Rect pathBox(const DrawCommand& c) {
    return c.path.boundingBox();
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

TEST(AppearanceBounds, OnePointStrokeCoversLineWidthPlusTwoAroundThePoint) {
    const auto a =
        ItemAppearanceBuilder::build(ink(InkKind::pen, {{{10.5, 20}}}, RGBA(0, 0, 0, 1), 4), false);
    // 3 on every side of the point, then whole numbers outward.
    EXPECT_EQ(a.bounds, (Rect{7, 17, 7, 6}));
}

TEST(AppearanceBounds, FollowTheDrawnCurveNotItsControlPoints) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.quadTo({50, 100}, {100, 0});
    const Path curve = b.build();
    EXPECT_EQ(ItemAppearance::boundsOf({{curve, Paint::fill(), RGBA(), false}}), (Rect{0, 0, 100, 50}));
    EXPECT_EQ(ItemAppearance::boundsOf({{curve, Paint::stroke(2), RGBA(), false}}), (Rect{-2, -2, 104, 54}));
}

TEST(AppearanceBounds, UniteEveryCommandAndRoundOutward) {
    PathBuilder first;
    first.addRect({0.2, 0.7, 10, 10});
    PathBuilder second;
    second.addRect({-5.5, 3, 1, 1});
    const auto a = ItemAppearance::fromCommands(
        {{first.build(), Paint::fill(), RGBA(), false}, {second.build(), Paint::fill(), RGBA(), false}});
    EXPECT_EQ(a.bounds, (Rect{-6, 0, 17, 11}));
}

TEST(AppearanceBounds, NothingPaintedGivesTheZeroRectangle) {
    EXPECT_EQ(ItemAppearanceBuilder::build(ink(InkKind::pen, {}), false).bounds, Rect{});
    EXPECT_EQ(ItemAppearanceBuilder::build(ink(InkKind::pen, {{}, {}}), false).bounds, Rect{});
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

TEST(TextAppearance, EmptyUnboxedTextPaintsNothing) {
    const auto a = ItemAppearanceBuilder::build(item(TextShape{{100, 700}, spec("", false)}), false);
    EXPECT_TRUE(a.commands.empty());
    EXPECT_EQ(a.bounds, Rect{});
}

TEST(TextAppearance, BoxedTextDrawsAWhiteFrameWithABorderInsideTheBox) {
    const RGBA color(0, 0.5, 0, 0.8);
    const auto a =
        ItemAppearanceBuilder::build(item(TextShape{{100, 700}, spec("Boxed", true)}, color), false);
    ASSERT_EQ(a.commands.size(), 3u);
    const Rect frame = ItemGeometry::placeText(spec("Boxed", true), {100, 700}, 0).frame();
    EXPECT_EQ(a.commands[0].paint, Paint::fill());
    EXPECT_EQ(a.commands[0].color, RGBA(1, 1, 1, 0.93));
    EXPECT_NEAR(pathBox(a.commands[0]).minX(), frame.minX(), 1e-9);
    EXPECT_NEAR(pathBox(a.commands[0]).maxY(), frame.maxY(), 1e-9);
    EXPECT_EQ(a.commands[1].paint, Paint::stroke(0.8));
    EXPECT_EQ(a.commands[1].color, color);
    EXPECT_NEAR(pathBox(a.commands[1]).minX(), frame.minX() + 0.4, 1e-9);
    EXPECT_NEAR(pathBox(a.commands[1]).maxX(), frame.maxX() - 0.4, 1e-9);
    EXPECT_EQ(a.commands[2].color, RGBA(0, 0.5, 0, 1));
    EXPECT_EQ(a.bounds, frame.insetBy(-1, -1).integral());
}

TEST(TextAppearance, RotatedTextTurnsTheWholeBox) {
    const TextSpec s = spec("Turned", true);
    const auto a =
        ItemAppearanceBuilder::build(item(TextShape{{300, 300}, s}, RGBA(0, 0, 0, 1), 1, 90), false);
    const Rect frame = ItemGeometry::placeText(s, {300, 300}, 90).frame();
    ASSERT_FALSE(a.commands.empty());
    EXPECT_NEAR(pathBox(a.commands[0]).width, frame.width, 1e-9);
    EXPECT_NEAR(pathBox(a.commands[0]).height, frame.height, 1e-9);
    EXPECT_GT(frame.height, frame.width);  // a one-line box stands upright
}

TEST(ArrowAppearance, ShaftHeadAndRoundedHeadOutline) {
    const auto a = ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 10}, std::nullopt}), false);
    const auto head = ItemGeometry::arrowHead({10, 10}, {110, 10}, 2);
    ASSERT_TRUE(head);
    ASSERT_EQ(a.commands.size(), 3u);
    EXPECT_EQ(a.commands[0].paint, Paint::stroke(2));
    EXPECT_EQ(a.commands[0].path.elements().back().endPoint(), head->shaftEnd);
    EXPECT_EQ(a.commands[1].paint, Paint::fill());
    EXPECT_EQ(a.commands[2].paint, Paint::stroke(1.2));
    EXPECT_EQ(a.commands[1].path, a.commands[2].path);
    EXPECT_EQ(a.commands[1].path.elements().front().endPoint(), head->tip);
    const auto thin =
        ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 10}, std::nullopt}, RGBA(), 0.5), false);
    EXPECT_EQ(thin.commands.at(2).paint, Paint::stroke(0.5));
}

TEST(ArrowAppearance, CoincidentPointsDrawOnlyTheLabel) {
    const auto bare = ItemAppearanceBuilder::build(item(ArrowShape{{40, 40}, {40, 40}, std::nullopt}), false);
    EXPECT_TRUE(bare.commands.empty());
    EXPECT_EQ(bare.bounds, Rect{});

    const auto labelled =
        ItemAppearanceBuilder::build(item(ArrowShape{{40, 40}, {40, 40}, spec("Why?", true)}), false);
    EXPECT_EQ(labelled.commands.size(), 3u);
}

TEST(ArrowAppearance, LabelFollowsTheArrowInTheItemColour) {
    const TextSpec label = spec("See here", false);
    const auto a = ItemAppearanceBuilder::build(item(ArrowShape{{10, 10}, {110, 60}, label}), false);
    ASSERT_EQ(a.commands.size(), 4u);
    const PlacedBox box = ItemGeometry::placeLabel(label, {10, 10}, {110, 60}, 0);
    EXPECT_EQ(a.commands[3].path, box.layout.glyphs.transformed(box.transform));
    EXPECT_EQ(a.commands[3].color, RGBA(1, 0, 0, 1));
}

TEST(NoteAppearance, CollapsedNoteIsItsIconInThePaletteColours) {
    const AnnotationItem n = note(RGBA(1, 1, 0, 0.3));
    const NotePalette palette(n.color);
    const auto a = ItemAppearanceBuilder::build(n, false);
    ASSERT_EQ(a.commands.size(), 3u);
    EXPECT_EQ(a.commands[0].paint, Paint::fill());
    EXPECT_EQ(a.commands[0].color, palette.iconFill);
    EXPECT_EQ(a.commands[1].paint, Paint::stroke(1));
    EXPECT_EQ(a.commands[1].color, palette.iconStroke);
    EXPECT_EQ(a.commands[2].color, palette.iconLines);
    // The outline spans (1, 1)–(19, 19) of the icon square hanging from the anchor.
    const Rect outline = pathBox(a.commands[0]);
    EXPECT_NEAR(outline.minX(), 101, 1e-9);
    EXPECT_NEAR(outline.maxX(), 119, 1e-9);
    EXPECT_NEAR(outline.minY(), 481, 1e-9);
    EXPECT_NEAR(outline.maxY(), 499, 1e-9);
    // The stroked outline reaches 1.5 past it on every side.
    EXPECT_EQ(a.bounds, (Rect{99, 479, 22, 22}));
}

TEST(NoteAppearance, ExpandedNoteDrawsConnectorBubbleAndTextBelowTheIcon) {
    const AnnotationItem n = note();
    const NotePalette palette(n.color);
    const auto a = ItemAppearanceBuilder::build(n, true);
    ASSERT_EQ(a.commands.size(), 7u);
    EXPECT_EQ(a.commands[0].paint, Paint::stroke(0.75));
    EXPECT_EQ(a.commands[0].color, palette.bubbleBorder);
    EXPECT_EQ(a.commands[1].color, palette.bubbleFill);
    EXPECT_EQ(a.commands[2].paint, Paint::stroke(0.8));
    EXPECT_EQ(a.commands[3].color, palette.text);
    EXPECT_EQ(a.commands[4].color, palette.iconFill);
    const Rect bubble = ItemGeometry::placeBubble(n.shape.note()->spec, {200, 500}, 0).frame();
    EXPECT_TRUE(a.bounds.contains(bubble));
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
}

TEST(NoteAppearance, BubbleNextToTheIconHasNoConnector) {
    AnnotationItem n = note();
    n.shape.note()->bubble = {124, 500};  // 4 points right of the icon
    const auto bubble = ItemAppearanceBuilder::bubbleAppearance(n);
    ASSERT_TRUE(bubble);
    EXPECT_EQ(bubble->commands.at(0).color, NotePalette(n.color).bubbleFill);
}

TEST(PayloadAppearance, DecodesBuildsAndSharesTheCachedResult) {
    const AnnotationItem pen = ink(InkKind::pen, {{{1, 2}, {3, 4}, {5, 1}}});
    const std::string payload = ItemCodec::encode(pen);
    const auto first = ItemAppearanceBuilder::appearance(payload, false);
    const auto second = ItemAppearanceBuilder::appearance(payload, false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, ItemAppearanceBuilder::build(*ItemCodec::decode(payload), false));
    EXPECT_TRUE(first->commands.at(0).path.sharesStorageWith(second->commands.at(0).path));
}

TEST(PayloadAppearance, ExpandedAndCollapsedAreCachedApart) {
    const std::string payload = ItemCodec::encode(note());
    const auto collapsed = ItemAppearanceBuilder::appearance(payload, false);
    const auto expanded = ItemAppearanceBuilder::appearance(payload, true);
    ASSERT_TRUE(collapsed && expanded);
    EXPECT_EQ(collapsed->commands.size(), 3u);
    EXPECT_EQ(expanded->commands.size(), 7u);
}

TEST(PayloadAppearance, TextThatIsNoPayloadHasNoAppearance) {
    EXPECT_FALSE(ItemAppearanceBuilder::appearance("", false));
    EXPECT_FALSE(ItemAppearanceBuilder::appearance("QLT1:", true));
    EXPECT_FALSE(ItemAppearanceBuilder::appearance("QLT1:!!!not base64", false));
    EXPECT_FALSE(ItemAppearanceBuilder::appearance("hello", false));
}

TEST(PayloadAppearance, CacheStaysWithinItsCapacity) {
    for (size_t i = 0; i < ItemAppearanceBuilder::cacheCapacity + 40; ++i) {
        const double x = static_cast<double>(i);
        ASSERT_TRUE(
            ItemAppearanceBuilder::appearance(ItemCodec::encode(ink(InkKind::pen, {{{x, 0}}})), false));
    }
    EXPECT_EQ(ItemAppearanceBuilder::cachedEntryCount(false), ItemAppearanceBuilder::cacheCapacity);
}
