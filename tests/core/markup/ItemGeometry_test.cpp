// Placement of labels, arrow heads, note bubbles and connectors, and the
// scaling of items.
#include "core/markup/ItemGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "MarkupTestSupport.h"
#include "core/markup/Path.h"

using namespace quillet;
using namespace quillet::ItemGeometry;
using namespace quillet::testing;

namespace {

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
        {{0, 10}, 90, left},  // up the page is rightwards for a reader of a page
                              // turned by 90
        {{10, 0}, 270, below},
    };
    for (auto [head, rotation, side] : cases)
        EXPECT_EQ(labelSide({0, 0}, head, rotation), side) << head.x << "," << head.y << " @" << rotation;
}

TEST(ArrowHead, LengthGrowsWithTheLineAndIsCappedByTheArrow) {
    const std::tuple<Point, double, double> cases[] = {
        {{5, 0}, 2, 3.5}, {{100, 0}, 0.5, 8}, {{100, 0}, 2, 12.4}, {{0, -100}, 2, 12.4}};
    for (auto [to, lw, length] : cases) {
        const auto head = arrowHead({0, 0}, to, lw);
        ASSERT_TRUE(head);
        EXPECT_NEAR(distance(head->tip, (head->left + head->right) / 2), length, 1e-12) << to.x << " " << lw;
    }
    EXPECT_FALSE(arrowHead({5, 5}, {5, 5}, 2));
}

TEST(DefaultBubble, GoesRightOfTheIconWhenItFitsLeftNearTheEdgeAndStaysInside) {
    const double w = TextLayout::layout(note()).boxSize.width;
    EXPECT_EQ(defaultBubblePoint(note(), {100, 700}, 0, letter), (Point{126, 700}));
    expectNear(defaultBubblePoint(note(), {580, 700}, 0, letter), {580 - 6 - w, 700});
    const double h = TextLayout::layout(note()).boxSize.height;
    EXPECT_DOUBLE_EQ(defaultBubblePoint(note(), {100, 15}, 0, letter).y, 4 + h);
    EXPECT_DOUBLE_EQ(defaultBubblePoint(note(), {100, 800}, 0, letter).y, 788);
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
    const auto c = connector(icon, Rect{32.5, 5, 50, 20});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, (Point{20, 12.5}));
    EXPECT_EQ(c->end, (Point{32.5, 12.5}));
}

TEST(Scaled, ScalesInkAboutTheCentreWithinLineWidthLimits) {
    const AnnotationItem a = ink({{{10, 10}, {20, 30}}}, 2);
    const AnnotationItem doubled = scaled(a, 2, {10, 10});
    EXPECT_EQ(doubled.shape.ink()->strokes[0], (Stroke{{10, 10}, {30, 50}}));
    EXPECT_DOUBLE_EQ(doubled.lineWidth, 4);
    for (auto [factor, width] : {std::pair{100.0, 60.0}, {0.01, 0.25}, {0.13, 0.26}, {1.0 / 3, 0.67}})
        EXPECT_DOUBLE_EQ(scaled(a, factor, {0, 0}).lineWidth, width) << factor;
}

TEST(Path, QuadraticBoundsFollowTheDrawnCurveNotItsControlPoint) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.quadTo({50, 1000}, {100, 0});
    EXPECT_EQ(b.build().boundingBox(), (Rect{0, 0, 100, 500}));  // apex at t = 0.5
}
