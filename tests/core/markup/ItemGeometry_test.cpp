// Placement of text, labels, note icons and bubbles, arrow heads, bounds
// and the moves and scalings of items.
#include "core/markup/ItemGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "MarkupTestSupport.h"

using namespace quillet;
using namespace quillet::ItemGeometry;
using namespace quillet::testing;

namespace {

AnnotationItem item(Shape shape, double lineWidth = 2, int64_t rotation = 0) {
    return makeItem(std::move(shape), RGBA::defaultInk(), lineWidth, rotation);
}
AnnotationItem ink(std::vector<Stroke> strokes, double lineWidth = 2) {
    return makeInk(InkKind::pen, std::move(strokes), RGBA::defaultInk(), lineWidth);
}
TextSpec note(std::optional<double> fixedWidth = std::nullopt) {
    return TextSpec{"Note", 12, fixedWidth, true};
}

const Rect letter{0, 0, 612, 792};

}  // namespace

TEST(LabelSide, LabelSitsAwayFromTheHeadInTheReadingFrame) {
    using enum ArrowLabelSide;
    const std::tuple<Point, int64_t, ArrowLabelSide> cases[] = {
        {{10, 0}, 0, left},
        {{-10, 0}, 0, right},
        {{0, 10}, 0, below},
        {{0, -10}, 0, above},
        {{6, 10}, 0, left},  // the boundary slope: 0.6 × 10 = 6 ≤ 6 is still beside
        {{5, 10}, 0, below},
        {{0, 0}, 0, left},
        {{0, 10}, 90, left},  // up the page is rightwards for a
                              // reader of a page turned by 90
        {{10, 0}, 90, above},
        {{-10, 0}, 90, below},
        {{10, 0}, 180, right},
        {{10, 0}, 270, below},
        {{-10, 6}, 90, left},  // the slope boundary stays exact under a quarter turn
    };
    for (auto [head, rotation, side] : cases)
        EXPECT_EQ(labelSide({0, 0}, head, rotation), side) << head.x << "," << head.y << " @" << rotation;
}

TEST(PlaceText, BoxHangsBelowItsOriginAndTurnsAboutIt) {
    const TextSpec spec{"Hello", 12, std::nullopt, false};
    const Size size = TextLayout::layout(spec).boxSize;
    const PlacedBox box = placeText(spec, {100, 200}, 0);
    EXPECT_EQ(box.size, size);
    expectNear(box.frame(), Rect{100, 200 - size.height, size.width, size.height});
    // Turned by 90 the top edge runs up the page from the origin, the box to its right.
    const PlacedBox turned = placeText(spec, {100, 200}, 90);
    expectNear(turned.frame(), Rect{100, 200, size.height, size.width});
    expectNear(turned.transform.apply(Point{0, size.height}), Point{100, 200});
    EXPECT_TRUE(turned.contains({101, 201}, 0));
    EXPECT_FALSE(turned.contains({99, 201}, 0));
    EXPECT_TRUE(turned.contains({99, 201}, 1.5));
    EXPECT_FALSE(turned.contains({90, 190}, 1.5));
}

TEST(PlaceLabel, LabelTouchesTheTailFromTheSideAwayFromTheHead) {
    const TextSpec spec{"Label", 12, std::nullopt, false};
    const Size s = TextLayout::layout(spec).boxSize;
    const Point tail{300, 400};
    const Rect left = placeLabel(spec, tail, {400, 400}, 0).frame();
    EXPECT_DOUBLE_EQ(left.maxX(), 300);
    EXPECT_DOUBLE_EQ(left.midY(), 400);
    EXPECT_DOUBLE_EQ(placeLabel(spec, tail, {200, 400}, 0).frame().minX(), 300);
    const Rect above = placeLabel(spec, tail, {300, 300}, 0).frame();
    EXPECT_DOUBLE_EQ(above.minY(), 400);
    EXPECT_DOUBLE_EQ(above.midX(), 300);
    EXPECT_DOUBLE_EQ(placeLabel(spec, tail, {300, 500}, 0).frame().maxY(), 400);
    // Turned by 90, an arrow up the page points right for the reader: the
    // label sits before the tail, below it on the page, standing upright.
    const Rect turned = placeLabel(spec, tail, {300, 500}, 90).frame();
    EXPECT_NEAR(turned.maxY(), 400, 1e-9);
    EXPECT_NEAR(turned.midX(), 300, 1e-9);
    EXPECT_NEAR(turned.height, s.width, 1e-9);
}

TEST(ArrowHead, LengthGrowsWithTheLineAndIsCappedByTheArrow) {
    const std::tuple<Point, double, double> cases[] = {
        {{5, 0}, 2, 3.5}, {{100, 0}, 0.5, 8}, {{100, 0}, 2, 12.4}, {{0, -100}, 2, 12.4}};
    for (auto [to, lw, length] : cases) {
        const auto head = arrowHead({0, 0}, to, lw);
        ASSERT_TRUE(head);
        EXPECT_NEAR(distance(head->tip, (head->left + head->right) / 2), length, 1e-12) << to.x << " " << lw;
    }
    const auto head = arrowHead({0, 0}, {100, 0}, 2);
    EXPECT_EQ(head->tip, (Point{100, 0}));
    expectNear(head->left, {87.6, 12.4 * 0.48});
    expectNear(head->right, {87.6, -12.4 * 0.48});
    expectNear(head->shaftEnd, {87.6 + 12.4 * 0.35, 0});
    EXPECT_FALSE(arrowHead({5, 5}, {5, 5}, 2));
    EXPECT_FALSE(arrowHead({5, 5}, {5.005, 5}, 2));
    EXPECT_FALSE(arrowHead({5, 5}, {NAN, 5}, 2));
    EXPECT_TRUE(arrowHead({5, 5}, {5.02, 5}, 2));
}

TEST(NoteIcon, AnchorIsTheTopLeftCornerInTheReadingFrame) {
    EXPECT_EQ(noteIconFrame({100, 200}, 0), (Rect{100, 180, 20, 20}));
    EXPECT_EQ(noteIconFrame({100, 200}, 90), (Rect{100, 200, 20, 20}));
    EXPECT_EQ(noteIconFrame({100, 200}, 180), (Rect{80, 200, 20, 20}));
    EXPECT_EQ(noteIconFrame({100, 200}, 270), (Rect{80, 180, 20, 20}));
}

TEST(DefaultBubble, GoesRightOfTheIconWhenItFitsLeftNearTheEdgeAndStaysInside) {
    const double w = TextLayout::layout(note()).boxSize.width;
    EXPECT_EQ(defaultBubblePoint(note(), {100, 700}, 0, letter), (Point{126, 700}));
    expectNear(defaultBubblePoint(note(), {580, 700}, 0, letter), {580 - 6 - w, 700});
    const double h = TextLayout::layout(note()).boxSize.height;
    EXPECT_DOUBLE_EQ(defaultBubblePoint(note(), {100, 15}, 0, letter).y, 4 + h);
    EXPECT_DOUBLE_EQ(defaultBubblePoint(note(), {100, 800}, 0, letter).y, 788);
}

TEST(DefaultBubble, WhenNeitherSideFitsTheRoomierSideIsClampedInsideThePage) {
    const TextSpec spec = note(200.0);
    const double w = TextLayout::layout(spec).boxSize.width;  // 202.4
    const Rect page{0, 0, 300, 300};
    // Equal room: the right side, pulled back to end 4 points inside.
    EXPECT_DOUBLE_EQ(defaultBubblePoint(spec, {140, 150}, 0, page).x, 296 - w);
    // More room on the left: the left side, pushed in to start 4 points inside.
    EXPECT_DOUBLE_EQ(defaultBubblePoint(spec, {200, 150}, 0, page).x, 4);
    // A page narrower than the bubble: the left margin wins.
    EXPECT_DOUBLE_EQ(defaultBubblePoint(spec, {40, 150}, 0, Rect{0, 0, 100, 300}).x, 4);
}

TEST(DefaultBubble, OnAPageRotatedBy90ItGoesBesideTheIconAsTheReaderSeesIt) {
    const TextSpec spec = note();
    const double w = TextLayout::layout(spec).boxSize.width;
    // The icon sits near the reader's right edge (the page's top), so the
    // bubble goes to the reader's left of it: further down the page.
    const Point anchor{100, 700};
    const Point p = defaultBubblePoint(spec, anchor, 90, letter);
    expectNear(p, {100, 694 - w});
    const Rect bubble = placeBubble(spec, p, 90).frame();
    const Rect icon = noteIconFrame(anchor, 90);
    EXPECT_TRUE(letter.contains(bubble));
    EXPECT_NEAR(icon.minY() - bubble.maxY(), 6, 1e-9);
    // Level with the icon's top in the reading frame: its left edge on the page.
    EXPECT_NEAR(bubble.minX(), icon.minX(), 1e-9);
}

TEST(Connector, AbsentUpToTwelvePointsAndRunsBetweenTheNearestEdges) {
    const Rect icon{0, 0, 20, 20};
    EXPECT_FALSE(connector(icon, Rect{32, 5, 50, 20}));
    EXPECT_FALSE(connector(icon, Rect{5, 5, 50, 50}));  // overlapping
    const auto c = connector(icon, Rect{32.5, 5, 50, 20});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, (Point{20, 12.5}));
    EXPECT_EQ(c->end, (Point{32.5, 12.5}));
    const auto corner = connector(Rect{100, 100, 20, 20}, Rect{0, 0, 50, 30});
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->start, (Point{100, 100}));
    EXPECT_EQ(corner->end, (Point{50, 30}));
}

TEST(Bounds, InkGrowsByHalfTheLineWidthAndArrowSpansItsEndsAndLabel) {
    EXPECT_EQ(bounds(ink({{{10, 10}}}, 4), false), (Rect{8, 8, 4, 4}));
    EXPECT_EQ(bounds(ink({{{0, 0}, {10, 5}}, {{-3, 2}}}, 2), false), (Rect{-4, -1, 15, 7}));
    EXPECT_TRUE(bounds(ink({}), false).isNull());
    EXPECT_TRUE(bounds(ink({{}, {}}), false).isNull());
    EXPECT_TRUE(inkBounds({}).isNull());
    EXPECT_EQ(bounds(item(ArrowShape{{50, 60}, {10, 20}, std::nullopt}), false), (Rect{10, 20, 40, 40}));
    const TextSpec label{"Label", 12, std::nullopt, false};
    EXPECT_EQ(bounds(item(ArrowShape{{100, 100}, {200, 100}, label}), false),
              placeLabel(label, {100, 100}, {200, 100}, 0).frame().united(Rect{100, 100, 100, 0}));
}

TEST(Bounds, NoteIsItsIconUnlessExpandedAndTextIsItsPlacedFrame) {
    const AnnotationItem n = item(NoteShape{{100, 700}, {300, 500}, note()});
    EXPECT_EQ(bounds(n, false), (Rect{100, 680, 20, 20}));
    EXPECT_EQ(bounds(n, true), placeBubble(note(), {300, 500}, 0).frame().united(Rect{100, 680, 20, 20}));
    const TextSpec spec{"Hi", 20, std::nullopt, true};
    EXPECT_EQ(bounds(item(TextShape{{10, 50}, spec}, 1, 270), false), placeText(spec, {10, 50}, 270).frame());
}

TEST(DistanceToSegment, MeasuresToTheNearestPointIncludingEnds) {
    EXPECT_DOUBLE_EQ(distanceToSegment({5, 3}, {0, 0}, {10, 0}), 3);
    EXPECT_DOUBLE_EQ(distanceToSegment({13, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(distanceToSegment({-3, -4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(distanceToSegment({3, 4}, {0, 0}, {0, 0}), 5);
}

TEST(Translated, MovesEveryPointRoundedAndKeepsEverythingElse) {
    const AnnotationItem a = item(ArrowShape{{1.234, 2}, {3, 4}, std::nullopt});
    const AnnotationItem moved = translated(a, 1, -0.5);
    EXPECT_EQ(moved.shape.arrow()->from, (Point{2.23, 1.5}));
    EXPECT_EQ(moved.shape.arrow()->to, (Point{4, 3.5}));
    EXPECT_EQ(moved.id, a.id);
    EXPECT_EQ(moved.modified, a.modified);
    const AnnotationItem n = translated(item(NoteShape{{0, 0}, {10, 10}, note()}), 0.125, -0.125);
    EXPECT_EQ(n.shape.note()->anchor, (Point{0.13, -0.13}));
    EXPECT_EQ(n.shape.note()->bubble, (Point{10.13, 9.88}));
    const AnnotationItem strokes = translated(ink({{{0, 0}, {1, 1}}, {{2, 2}}}), 10, 0);
    EXPECT_EQ(strokes.shape.ink()->strokes, (std::vector<Stroke>{{{10, 0}, {11, 1}}, {{12, 2}}}));
    EXPECT_EQ(translated(item(TextShape{{5, 5}, note()}), -5, -5).shape.text()->origin, (Point{0, 0}));
}

TEST(Scaled, ScalesInkAboutTheCentreWithinLineWidthLimits) {
    const AnnotationItem a = ink({{{10, 10}, {20, 30}}}, 2);
    const AnnotationItem doubled = scaled(a, 2, {10, 10});
    EXPECT_EQ(doubled.shape.ink()->strokes[0], (Stroke{{10, 10}, {30, 50}}));
    EXPECT_DOUBLE_EQ(doubled.lineWidth, 4);
    for (auto [factor, width] : {std::pair{100.0, 60.0}, {0.01, 0.25}, {0.13, 0.26}, {1.0 / 3, 0.67}})
        EXPECT_DOUBLE_EQ(scaled(a, factor, {0, 0}).lineWidth, width) << factor;
    EXPECT_EQ(scaled(a, 1.0 / 3, {0, 0}).shape.ink()->strokes[0], (Stroke{{3.33, 3.33}, {6.67, 10}}));
}

TEST(Scaled, OnlyInkWithAPositiveFiniteFactorChanges) {
    const AnnotationItem text = item(TextShape{{5, 5}, note()});
    EXPECT_EQ(scaled(text, 2, {0, 0}), text);
    const AnnotationItem a = ink({{{10, 10}}}, 2);
    for (double factor : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(scaled(a, factor, {0, 0}), a) << factor;
    AnnotationItem broken = a;
    broken.lineWidth = std::nan("");
    EXPECT_DOUBLE_EQ(scaled(broken, 2, {0, 0}).lineWidth, 0.25);
}
