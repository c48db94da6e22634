// What each kind of item draws, the bounds of what it draws, and the bytes of
// its appearance stream every viewer reads: content operators, graphics
// states, compression and the Form XObject's dictionary.
#include "core/markup/ItemAppearanceBuilder.h"

#include <gtest/gtest.h>

#include <string>

#include "MarkupTestSupport.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/NotePalette.h"
#include "core/markup/StrokePath.h"
#include "core/pdf/Flate.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

AnnotationItem item(Shape shape, RGBA color = RGBA(1, 0, 0, 1), double width = 2, int64_t rotation = 0) {
    return makeItem(std::move(shape), color, width, rotation);
}
AnnotationItem ink(InkKind kind, std::vector<Stroke> strokes, RGBA color = RGBA(1, 0, 0, 1),
                   double width = 2) {
    return makeInk(kind, std::move(strokes), color, width);
}
TextSpec spec(std::string text, bool boxed) {
    return textSpec(std::move(text), 12, boxed);
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

std::string contentOf(const AnnotationItem& item) {
    return ItemAppearanceBuilder::contentStream(ItemAppearanceBuilder::build(item, false));
}

std::string resourcesOf(const ItemAppearance& a) {
    return written(*ItemAppearanceBuilder::formXObject(a).dict.find("Resources"));
}

DrawCommand fillOfAlpha(double alpha, bool multiply) {
    PathBuilder b;
    b.addRect({0, 0, 10, 10});
    return {b.build(), Paint::fill(), RGBA(0, 0, 0, alpha), multiply};
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
    const NotePalette yellow(RGBA(1, 1, 0, 1)), blue(RGBA(0, 0, 1, 1));
    EXPECT_EQ(yellow.iconLines, RGBA(0.3, 0.3, 0, 1));
    EXPECT_EQ(blue.iconLines, RGBA::white());
    EXPECT_NEAR(blue.bubbleFill.r, 0.86, 1e-12);
    // Item alpha and out-of-range components do not leak into the note.
    const NotePalette odd(RGBA::unclamped(1.5, -0.5, std::nan(""), 0.2));
    EXPECT_EQ(odd.iconFill, RGBA(1, 0, 0, 1));
    for (const RGBA& c : {odd.iconStroke, odd.iconLines, odd.bubbleFill, odd.bubbleBorder, odd.text})
        EXPECT_EQ(c.a, 1);
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

TEST(AppearanceContent, InkWritesItsColourWidthAndSmoothedPathAndAGraphicsStateOnlyBelowFullAlpha) {
    const std::vector<Stroke> pen{{{10, 20}, {20, 30}, {30, 20}}}, line{{{0, 0}, {5, 5}}};
    const std::tuple<const char*, AnnotationItem, const char*> cases[] = {
        // The quadratic to (25, 25) with control (20, 30) becomes a cubic with
        // controls two thirds of the way to (20, 30) from either end.
        {"red pen", ink(InkKind::pen, pen, RGBA(1, 0, 0, 1), 2),
         "q\n1 0 0 RG 2 w 1 J 1 j\n10 20 m\n16.6667 26.6667 21.6667 28.3333 25 25 c\n30 20 l\nS\nQ\n"},
        {"dot", ink(InkKind::pen, {{{100, 50.5}}}, RGBA(0, 0, 1, 1), 0.75),
         "q\n0 0 1 RG 0.75 w 1 J 1 j\n100 50.5 m\n100 50.5 l\nS\nQ\n"},
        {"three decimals", ink(InkKind::pen, line, RGBA(0.12345, 0.0005, 0.99949, 1), 1),
         "q\n0.123 0.001 0.999 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"highlighter", ink(InkKind::highlighter, line, RGBA(1, 1, 0, 1), 12),
         "q\n/GS400m gs\n1 1 0 RG 12 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"alpha 0.9996 rounds to opaque", ink(InkKind::pen, line, RGBA(0, 0, 0, 0.9996), 1),
         "q\n0 0 0 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"half", ink(InkKind::pen, line, RGBA(0, 0, 0, 0.5), 1),
         "q\n/GS500 gs\n0 0 0 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"}};
    for (const auto& [what, item, content] : cases) EXPECT_EQ(contentOf(item), content) << what;
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[0]), false)), "<<>>");
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[3]), false)),
              "<</ExtGState <</GS400m <</Type /ExtGState /CA 0.4 /ca 0.4 /BM /Multiply >> >> >>");
}

TEST(AppearanceContent, FillsAndClosedSubpathsUseFillOperators) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.lineTo({4, 0});
    b.lineTo({4, 4});
    b.close();
    // After the close the quadratic starts from the subpath's start again.
    b.moveTo({0, 0});
    b.quadTo({3, 0}, {3, 3});
    const ItemAppearance a =
        ItemAppearance::fromCommands({{b.build(), Paint::fill(), RGBA(0, 0.5, 0, 1), false}});
    EXPECT_EQ(ItemAppearanceBuilder::contentStream(a),
              "q\n0 0.5 0 rg\n0 0 m\n4 0 l\n4 4 l\nh\n0 0 m\n2 0 3 1 3 3 c\nf\nQ\n");
}

TEST(AppearanceGraphicsState, NeighbouringAlphasGetTheirOwnStatesInNameOrder) {
    // Alphas a thousandth apart must not share a name, or one of them would
    // be drawn with the other's opacity; a repeated state is listed once.
    const auto a = ItemAppearance::fromCommands({fillOfAlpha(0.289, false), fillOfAlpha(0.288, false),
                                                 fillOfAlpha(0.4, true), fillOfAlpha(0.289, false)});
    EXPECT_EQ(resourcesOf(a),
              "<</ExtGState <<"
              "/GS288 <</Type /ExtGState /CA 0.288 /ca 0.288 >> "
              "/GS289 <</Type /ExtGState /CA 0.289 /ca 0.289 >> "
              "/GS400m <</Type /ExtGState /CA 0.4 /ca 0.4 /BM /Multiply >> >> >>");
    const std::string content = ItemAppearanceBuilder::contentStream(a);
    EXPECT_NE(content.find("/GS289 gs\n"), std::string::npos);
    EXPECT_NE(content.find("/GS288 gs\n"), std::string::npos);
}

TEST(AppearanceGraphicsState, OpaqueMultiplyNamesAStateAndColoursAreWrittenClamped) {
    EXPECT_EQ(resourcesOf(ItemAppearance::fromCommands({fillOfAlpha(1, true)})),
              "<</ExtGState <</GS1000m <</Type /ExtGState /CA 1 /ca 1 /BM /Multiply >> >> >>");
    // Stored tool colours may carry components out of range; PDF operands must not.
    DrawCommand c = fillOfAlpha(1, false);
    c.color = RGBA::unclamped(1.7, -0.2, 0.5, -0.3);
    EXPECT_EQ(ItemAppearanceBuilder::contentStream(ItemAppearance::fromCommands({c})).substr(0, 23),
              "q\n/GS0 gs\n1 0 0.5 rg\n0 ");
}

TEST(AppearanceFormXObject, DictionaryEntriesComeInTheirFixedOrder) {
    const auto pen = ink(InkKind::pen, {{{10, 20}, {20, 30}, {30, 20}}}, RGBA(1, 0, 0, 1), 2);
    const auto appearance = ItemAppearanceBuilder::build(pen, false);
    const auto form = ItemAppearanceBuilder::formXObject(appearance);
    EXPECT_EQ(written(PDFValue::dict(form.dict)),
              "<</Type /XObject /Subtype /Form /FormType 1 /BBox [8 18 32 29] /Matrix [1 0 0 1 0 0] "
              "/Resources <<>> /Filter /FlateDecode >>");
    EXPECT_EQ(form.data, Flate::deflate(ItemAppearanceBuilder::contentStream(appearance), 6));
    EXPECT_EQ(Flate::inflate(form.data, Flate::kStreamDataLimit),
              ItemAppearanceBuilder::contentStream(appearance));
}

TEST(AppearanceFormXObject, BBoxOverrideReplacesTheBoundsOnly) {
    const auto appearance =
        ItemAppearanceBuilder::build(ink(InkKind::pen, {{{10, 20}, {12, 22}}}, RGBA(1, 0, 0, 1), 2), false);
    const auto widened = ItemAppearanceBuilder::formXObject(appearance, Rect{32, 44, -24, -24});
    EXPECT_EQ(written(*widened.dict.find("BBox")), "[8 20 32 44]");
    EXPECT_EQ(written(*widened.dict.find("Matrix")), "[1 0 0 1 0 0]");
    EXPECT_EQ(widened.data, ItemAppearanceBuilder::formXObject(appearance).data);
}

TEST(AppearanceFormXObject, EmptyAppearanceHasAZeroBBoxAndNoResources) {
    const auto form = ItemAppearanceBuilder::formXObject(ItemAppearance::fromCommands({}));
    EXPECT_EQ(written(*form.dict.find("BBox")), "[0 0 0 0]");
    EXPECT_EQ(written(*form.dict.find("Resources")), "<<>>");
    EXPECT_EQ(Flate::inflate(form.data, Flate::kStreamDataLimit), "");
}
