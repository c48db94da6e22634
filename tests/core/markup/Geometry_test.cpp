#include "core/markup/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace quillet;

namespace {

void expectNear(Point p, Point q) {
    EXPECT_NEAR(p.x, q.x, 1e-9);
    EXPECT_NEAR(p.y, q.y, 1e-9);
}

}  // namespace

TEST(Rect, NullRectangleIsTheIdentityOfUnionAndHasNoArea) {
    const Rect n = Rect::null();
    EXPECT_TRUE(n.isNull());
    EXPECT_TRUE(n.isEmpty());
    EXPECT_FALSE(n.contains(Point{0, 0}));
    const Rect r{1, 2, 3, 4};
    EXPECT_EQ(n.united(r), r);
    EXPECT_EQ(r.united(n), r);
    EXPECT_TRUE(n.united(n).isNull());
    EXPECT_TRUE(n.applying(AffineTransform::translation(5, 5)).isNull());
}

TEST(Rect, ZeroSizeRectangleIsEmptyButNotNullAndStillWidensAUnion) {
    const Rect point{5, 5, 0, 0};
    EXPECT_FALSE(point.isNull());
    EXPECT_TRUE(point.isEmpty());
    EXPECT_EQ(Rect({0, 0, 1, 1}).united(point), (Rect{0, 0, 5, 5}));
}

TEST(Rect, NegativeSizesDescribeTheSameAreaAsTheStandardizedRectangle) {
    const Rect r{10, 10, -4, -6};
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxY(), 10);
    EXPECT_EQ(r.standardized(), (Rect{6, 4, 4, 6}));
    EXPECT_EQ(r.united(Rect{0, 0, 1, 1}), (Rect{0, 0, 10, 10}));
}

TEST(Rect, IntersectionOfDisjointRectanglesIsNullAndTouchingOnesMeetInALine) {
    const Rect a{0, 0, 10, 10};
    EXPECT_TRUE(a.intersection({20, 20, 5, 5}).isNull());
    EXPECT_FALSE(a.intersects({20, 20, 5, 5}));
    EXPECT_EQ(a.intersection({10, 2, 5, 5}), (Rect{10, 2, 0, 5}));
    EXPECT_EQ(a.intersection({5, 5, 10, 10}), (Rect{5, 5, 5, 5}));
}

TEST(Rect, InsetGrowsWithNegativeAmountsAndCollapsesToNull) {
    const Rect a{0, 0, 10, 10};
    EXPECT_EQ(a.insetBy(-2, -3), (Rect{-2, -3, 14, 16}));
    EXPECT_EQ(a.insetBy(5, 5), (Rect{5, 5, 0, 0}));
    EXPECT_TRUE(a.insetBy(6, 1).isNull());
}

TEST(Rect, IntegralRoundsOutward) {
    EXPECT_EQ((Rect{0.5, -0.5, 1.2, 1.0}).integral(), (Rect{0, -1, 2, 2}));
}

TEST(Rect, ContainsIncludesMinEdgesAndExcludesMaxEdges) {
    const Rect a{0, 0, 10, 10};
    EXPECT_TRUE(a.contains(Point{0, 0}));
    EXPECT_FALSE(a.contains(Point{10, 5}));
    EXPECT_TRUE(a.contains(Rect{0, 0, 10, 10}));
    EXPECT_FALSE(a.contains(Rect{1, 1, 10, 1}));
}

TEST(AffineTransform, ThenAppliesTheReceiverFirst) {
    const AffineTransform t = AffineTransform::translation(10, 0).then(AffineTransform::rotationDegrees(90));
    // (1, 0) → (11, 0) → (0, 11)
    EXPECT_EQ(t.apply(Point{1, 0}), (Point{0, 11}));
    const AffineTransform u = AffineTransform::rotationDegrees(90).thenTranslate(10, 0);
    EXPECT_EQ(u.apply(Point{1, 0}), (Point{10, 1}));
}

TEST(AffineTransform, QuarterTurnsAreExactAndCounterClockwise) {
    EXPECT_EQ(AffineTransform::rotationDegrees(90).apply(Point{2, 0}), (Point{0, 2}));
    EXPECT_EQ(AffineTransform::rotationDegrees(180).apply(Point{2, 3}), (Point{-2, -3}));
    EXPECT_EQ(AffineTransform::rotationDegrees(270).apply(Point{2, 0}), (Point{0, -2}));
    EXPECT_EQ(AffineTransform::rotationDegrees(-90), AffineTransform::rotationDegrees(270));
    EXPECT_EQ(AffineTransform::rotationDegrees(450), AffineTransform::rotationDegrees(90));
    expectNear(AffineTransform::rotationDegrees(45).apply(Point{1, 0}),
               Point{std::numbers::sqrt2 / 2, std::numbers::sqrt2 / 2});
}

TEST(AffineTransform, InverseUndoesTheTransformAndSingularOnesHaveNone) {
    const AffineTransform t =
        AffineTransform::scaling(2, 3).thenRotate(0.7).thenTranslate(-5, 8);
    const auto inv = t.inverted();
    ASSERT_TRUE(inv.has_value());
    expectNear(inv->apply(t.apply(Point{3, -4})), Point{3, -4});
    expectNear(t.then(*inv).apply(Point{7, 7}), Point{7, 7});
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted().has_value());
    EXPECT_FALSE(AffineTransform::scaling(NAN, 1).inverted().has_value());
}

TEST(AffineTransform, RectangleUnderRotationIsItsBoundingRectangle) {
    const Rect r{0, 0, 20, 10};
    EXPECT_EQ(AffineTransform::rotationDegrees(90).apply(r), (Rect{-10, 0, 10, 20}));
    const Rect diamond = AffineTransform::rotationDegrees(45).apply(Rect{0, 0, 1, 1});
    EXPECT_NEAR(diamond.width, std::numbers::sqrt2, 1e-12);
    EXPECT_NEAR(diamond.minX(), -std::numbers::sqrt2 / 2, 1e-12);
}

TEST(AffineTransform, VectorsIgnoreTheTranslation) {
    const AffineTransform t = AffineTransform::scaling(2, 2).thenTranslate(100, 100);
    EXPECT_EQ(t.applyToVector(Point{1, 1}), (Point{2, 2}));
}

TEST(Rounding, HalvesGoAwayFromZero) {
    EXPECT_EQ(roundTo2(12.3456), 12.35);
    EXPECT_EQ(roundTo2(-0.125), -0.13);
    EXPECT_EQ(roundTo2(0.125), 0.13);
    EXPECT_EQ(roundTo2(Point{1.005, -2}), (Point{roundTo2(1.005), -2}));
}
