#include "core/markup/HitTesting.h"

#include <gtest/gtest.h>

#include "MarkupTestSupport.h"
#include "core/markup/ItemGeometry.h"

using namespace quillet;
using namespace quillet::ItemGeometry;
using namespace quillet::testing;

namespace {

// An L-shaped pen stroke: right along y = 100, then up along x = 200.
AnnotationItem elbow() {
    return makeInk(InkKind::pen, {{{100, 100}, {200, 100}, {200, 200}}});
}

TextSpec spec(std::string text) {
    return textSpec(std::move(text), 12, true);
}

AnnotationItem note(Point anchor, Point bubble) {
    return makeItem(NoteShape{anchor, bubble, spec("Remember this")});
}

bool hits(const AnnotationItem& i, Point p, double tolerance = 0, bool expanded = false) {
    return hitTest(i, p, tolerance, expanded).has_value();
}

}  // namespace

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

TEST(HitTestArrow, ShaftHeadAndLabelAreTheirOwnParts) {
    const TextSpec label = spec("Look");
    const AnnotationItem arrow = makeItem(ArrowShape{{100, 100}, {300, 100}, label}, RGBA::defaultInk(), 1);
    EXPECT_EQ(hitTest(arrow, {200, 100}, 0, false), HitPart::body);
    // The shaft stays at least 2 points wide to hit even for thin lines.
    EXPECT_EQ(hitTest(arrow, {200, 101.9}, 0, false), HitPart::body);
    EXPECT_FALSE(hits(arrow, {200, 102.1}));
    const Rect labelFrame = placeLabel(label, {100, 100}, {300, 100}, 0).frame();
    EXPECT_EQ(hitTest(arrow, {labelFrame.midX(), labelFrame.midY()}, 0, false), HitPart::label);
}

TEST(HitTestNote, CollapsedNoteIsHitOnItsGrownIconAndNeverOnItsLabel) {
    const AnnotationItem n = note({100, 700}, {200, 700});
    EXPECT_EQ(hitTest(n, {110, 690}, 0, false), HitPart::body);
    const Rect bubble = placeBubble(n.shape.note()->spec, {200, 700}, 0).frame();
    const Point inBubble{bubble.midX(), bubble.midY()};
    EXPECT_FALSE(hitTest(n, inBubble, 0, false));
    EXPECT_EQ(hitTest(n, inBubble, 0, true), HitPart::label);
}

TEST(EraserHits, SweepsAcrossTheWholeRangeEndQuickly) {
    // A sweep across the whole coordinate range is sampled a bounded number
    // of times (this would otherwise take 4e7 samples); along the stroke's
    // own line every sample inside it hits.
    const AnnotationItem longLine = makeInk(InkKind::pen, {{{-1000, 100}, {1000, 100}}});
    EXPECT_TRUE(eraserHits(longLine, {-1e7, 100}, {1e7, 100}, 1, false));
    EXPECT_FALSE(eraserHits(elbow(), {-1e7, -1e7}, {-1e7 + 1, -1e7}, 1, false));
}
