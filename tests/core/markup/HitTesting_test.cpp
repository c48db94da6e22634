// Which part of an item a point or an eraser sweep touches, judged by what
// the item's appearance paints.
#include "core/markup/HitTesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "MarkupTestSupport.h"
#include "core/markup/ItemGeometry.h"

using namespace quillet;
using namespace quillet::ItemGeometry;
using namespace quillet::testing;

namespace {

AnnotationItem item(Shape shape, double lineWidth = 2, int64_t rotation = 0) {
    return makeItem(std::move(shape), RGBA::defaultInk(), lineWidth, rotation);
}
AnnotationItem ink(InkKind kind, std::vector<Stroke> strokes, double lineWidth = 2) {
    return makeInk(kind, std::move(strokes), RGBA::defaultInk(), lineWidth);
}

// An L-shaped pen stroke: right along y = 100, then up along x = 200.
AnnotationItem elbow(InkKind kind = InkKind::pen) {
    return ink(kind, {{{100, 100}, {200, 100}, {200, 200}}});
}

TextSpec spec(std::string text) {
    return textSpec(std::move(text), 12, true);
}

AnnotationItem note(Point anchor, Point bubble) {
    return item(NoteShape{anchor, bubble, spec("Remember this")});
}

bool hits(const AnnotationItem& i, Point p, double tolerance = 0, bool expanded = false) {
    return hitTest(i, p, tolerance, expanded).has_value();
}

}  // namespace

TEST(AppearanceBounds, AreWholeNumbersEnclosingWhatIsDrawnAndAnExpandedNotesBubble) {
    EXPECT_EQ(appearanceBounds(ink(InkKind::pen, {{{10.3, 20.6}, {50.2, 20.6}}}, 3), false),
              Rect::spanning({7, 18}, {53, 24}));  // 2.5 around the stroke, rounded outward
    const AnnotationItem n = note({100, 700}, {200, 700});
    const Rect collapsed = appearanceBounds(n, false), expanded = appearanceBounds(n, true);
    EXPECT_TRUE(expanded.contains(collapsed));
    EXPECT_GT(expanded.maxX(), 200);
    EXPECT_LT(collapsed.maxX(), 130);
}

TEST(HitTestInk, PenIsHitAlongItsSegmentsWithinToleranceAndHalfWidthOnly) {
    const AnnotationItem pen = elbow();
    EXPECT_EQ(hitTest(pen, {150, 100}, 0, false), HitPart::body);
    EXPECT_EQ(hitTest(pen, {200, 150}, 0, false), HitPart::body);
    // Half the width (1) plus the tolerance (2) reaches 3 points off the line.
    EXPECT_TRUE(hits(pen, {150, 102.9}, 2));
    EXPECT_FALSE(hits(pen, {150, 103.1}, 2));
    // The inner corner of the L lies inside every bounding box of the stroke.
    EXPECT_FALSE(hits(pen, {150, 150}, 5));
}

TEST(HitTestInk, SignatureIsHitAnywhereInsideItsGrownInkBounds) {
    const AnnotationItem signature = elbow(InkKind::signature);
    EXPECT_EQ(hitTest(signature, {150, 150}, 0, false), HitPart::body);
    EXPECT_TRUE(hits(signature, {98.5, 150}, 0.5));
    EXPECT_FALSE(hits(signature, {97, 150}, 0.5));
}

TEST(HitTestInk, OnePointStrokeIsHitWithinReachOfItsPointAndEmptyStrokesAreSkipped) {
    const AnnotationItem dot = ink(InkKind::pen, {{}, {{50, 50}}, {}}, 4);
    EXPECT_TRUE(hits(dot, {52.9, 50}, 1));
    EXPECT_FALSE(hits(dot, {50, 53.2}, 1));
    EXPECT_FALSE(hits(ink(InkKind::pen, {{}, {}}), {0, 0}, 10));
}

TEST(HitTestText, BoxIsHitInsideAndWithinToleranceWhereItIsTurnedTo) {
    const AnnotationItem text = item(TextShape{{100, 500}, spec("Hello")});
    const Rect frame = placeText(spec("Hello"), {100, 500}, 0).frame();
    EXPECT_EQ(hitTest(text, {frame.midX(), frame.midY()}, 0, false), HitPart::body);
    EXPECT_TRUE(hits(text, {frame.maxX() + 1.5, frame.midY()}, 2));
    EXPECT_FALSE(hits(text, {frame.maxX() + 2.5, frame.midY()}, 2));
    const AnnotationItem turned = item(TextShape{{100, 500}, spec("A fairly long line")}, 1, 90);
    const Rect upright = placeText(spec("A fairly long line"), {100, 500}, 90).frame();
    EXPECT_GT(upright.height, upright.width);
    EXPECT_TRUE(hits(turned, {upright.midX(), upright.maxY() - 1}));
}

TEST(HitTestArrow, ShaftHeadAndLabelAreTheirOwnParts) {
    const TextSpec label = spec("Look");
    const AnnotationItem arrow = item(ArrowShape{{100, 100}, {300, 100}, label}, 1);
    EXPECT_EQ(hitTest(arrow, {200, 100}, 0, false), HitPart::body);
    // The shaft stays at least 2 points wide to hit even for thin lines.
    EXPECT_EQ(hitTest(arrow, {200, 101.9}, 0, false), HitPart::body);
    EXPECT_FALSE(hits(arrow, {200, 102.1}));
    const auto head = arrowHead({100, 100}, {300, 100}, 1);
    ASSERT_TRUE(head);
    const Point inHead = (head->tip + head->left + head->right) / 3;
    const Point nearCorner = head->left * 0.9 + inHead * 0.1;
    EXPECT_GT(std::fabs(nearCorner.y - 100), 2);
    EXPECT_EQ(hitTest(arrow, nearCorner, 0, false), HitPart::body);
    const Rect labelFrame = placeLabel(label, {100, 100}, {300, 100}, 0).frame();
    EXPECT_EQ(hitTest(arrow, {labelFrame.midX(), labelFrame.midY()}, 0, false), HitPart::label);
    // Just beyond the head's outer corner: off the shaft, outside the triangle,
    // and tolerance does not grow the triangle.
    EXPECT_FALSE(hits(arrow, head->left + (head->left - head->right) * 0.05, 0.1));
    EXPECT_FALSE(hits(item(ArrowShape{{50, 50}, {50, 50}, std::nullopt}), {50, 50}, 5));
}

TEST(HitTestNote, CollapsedNoteIsHitOnItsGrownIconAndNeverOnItsLabel) {
    const AnnotationItem n = note({100, 700}, {200, 700});
    EXPECT_EQ(hitTest(n, {110, 690}, 0, false), HitPart::body);
    const Rect bubble = placeBubble(n.shape.note()->spec, {200, 700}, 0).frame();
    const Point inBubble{bubble.midX(), bubble.midY()};
    EXPECT_FALSE(hitTest(n, inBubble, 0, false));
    EXPECT_EQ(hitTest(n, inBubble, 0, true), HitPart::label);
    // The icon wins where both are asked.
    EXPECT_EQ(hitTest(n, {110, 690}, 0, true), HitPart::body);
    EXPECT_TRUE(hits(n, {121, 690}, 1.5));  // the icon grown by the tolerance
    EXPECT_FALSE(hits(n, {122, 690}, 1.5));
}

TEST(HitTest, NonFiniteInputIsAMissForPointsAndSweeps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(hits(elbow(), {nan, 100}, 1));
    EXPECT_FALSE(hits(elbow(), {150, 100}, nan));
    EXPECT_FALSE(eraserHits(elbow(), {0, 0}, {std::numeric_limits<double>::infinity(), 0}, 1, false));
    EXPECT_FALSE(eraserHits(elbow(), {0, 0}, {150, 100}, nan, false));
}

TEST(EraserHits, SweepsAreSampledBetweenTheirEndsWhichAreIncluded) {
    // One event far left, the next far right: the samples between them cross a thin stroke.
    const AnnotationItem thin = ink(InkKind::pen, {{{100, 0}, {100, 400}}}, 0.5);
    EXPECT_TRUE(eraserHits(thin, {0, 200}, {250, 200}, 1, false));
    EXPECT_FALSE(eraserHits(thin, {0, 200}, {98, 200}, 1, false));
    const AnnotationItem pen = elbow();
    EXPECT_TRUE(eraserHits(pen, {150, 101}, {150, 101}, 1, false));
    EXPECT_TRUE(eraserHits(pen, {150, 140}, {150, 101}, 1, false));
    EXPECT_FALSE(eraserHits(pen, {150, 140}, {150, 120}, 1, false));
}

TEST(EraserHits, CollapsedNoteBubbleIsNotErasedButAnExpandedOneIs) {
    const AnnotationItem n = note({100, 700}, {200, 700});
    const Rect bubble = placeBubble(n.shape.note()->spec, {200, 700}, 0).frame();
    const Point a{bubble.midX() - 2, bubble.midY()}, b{bubble.midX() + 2, bubble.midY()};
    EXPECT_FALSE(eraserHits(n, a, b, 1, false));
    EXPECT_TRUE(eraserHits(n, a, b, 1, true));
}

TEST(EraserHits, SweepsAcrossTheWholeRangeEndQuickly) {
    // A sweep across the whole coordinate range is sampled a bounded number
    // of times (this would otherwise take 4e7 samples); along the stroke's
    // own line every sample inside it hits.
    const AnnotationItem longLine = ink(InkKind::pen, {{{-1000, 100}, {1000, 100}}});
    EXPECT_TRUE(eraserHits(longLine, {-1e7, 100}, {1e7, 100}, 1, false));
    EXPECT_FALSE(eraserHits(elbow(), {-1e7, -1e7}, {-1e7 + 1, -1e7}, 1, false));
}
