// Points, rectangles with the null rectangle, transforms and paths whose
// bounds are those of the drawn curve.
#include "core/markup/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "MarkupTestSupport.h"
#include "core/markup/Path.h"

using namespace quillet;
using quillet::testing::expectNear;
using Kind = PathElement::Kind;

namespace {

Path built(const std::function<void(PathBuilder&)>& draw) {
    PathBuilder b;
    draw(b);
    return b.build();
}

}  // namespace

TEST(Rect, NullRectangleIsTheIdentityOfUnionAndZeroSizeIsNot) {
    const Rect n = Rect::null(), r{1, 2, 3, 4};
    EXPECT_TRUE(n.isEmpty());
    EXPECT_FALSE(n.contains(Point{0, 0}));
    EXPECT_EQ(n.united(r), r);
    EXPECT_EQ(r.united(n), r);
    EXPECT_TRUE(n.united(n).isNull());
    EXPECT_TRUE(n.applying(AffineTransform::translation(5, 5)).isNull());
    const Rect point{5, 5, 0, 0};
    EXPECT_FALSE(point.isNull());
    EXPECT_TRUE(point.isEmpty());
    EXPECT_EQ(Rect({0, 0, 1, 1}).united(point), (Rect{0, 0, 5, 5}));
}

TEST(Rect, NegativeSizesIntersectionInsetIntegralAndContains) {
    const Rect negative{10, 10, -4, -6};
    EXPECT_EQ(negative.standardized(), (Rect{6, 4, 4, 6}));
    EXPECT_EQ(negative.united(Rect{0, 0, 1, 1}), (Rect{0, 0, 10, 10}));
    const Rect a{0, 0, 10, 10};
    EXPECT_TRUE(a.intersection({20, 20, 5, 5}).isNull());
    EXPECT_FALSE(a.intersects({20, 20, 5, 5}));
    EXPECT_EQ(a.intersection({10, 2, 5, 5}), (Rect{10, 2, 0, 5}));  // touching: a line
    EXPECT_EQ(a.insetBy(-2, -3), (Rect{-2, -3, 14, 16}));
    EXPECT_EQ(a.insetBy(5, 5), (Rect{5, 5, 0, 0}));
    EXPECT_TRUE(a.insetBy(6, 1).isNull());
    EXPECT_EQ((Rect{0.5, -0.5, 1.2, 1.0}).integral(), (Rect{0, -1, 2, 2}));
    EXPECT_TRUE(a.contains(Point{0, 0}));
    EXPECT_FALSE(a.contains(Point{10, 5}));
    EXPECT_TRUE(a.contains(Rect{0, 0, 10, 10}));
    EXPECT_FALSE(a.contains(Rect{1, 1, 10, 1}));
}

TEST(AffineTransform, ThenAppliesTheReceiverFirstAndQuarterTurnsAreExact) {
    // (1, 0) → (11, 0) → (0, 11)
    EXPECT_EQ(
        AffineTransform::translation(10, 0).then(AffineTransform::rotationDegrees(90)).apply(Point{1, 0}),
        (Point{0, 11}));
    EXPECT_EQ(AffineTransform::rotationDegrees(90).thenTranslate(10, 0).apply(Point{1, 0}), (Point{10, 1}));
    EXPECT_EQ(AffineTransform::rotationDegrees(90).apply(Point{2, 0}), (Point{0, 2}));
    EXPECT_EQ(AffineTransform::rotationDegrees(180).apply(Point{2, 3}), (Point{-2, -3}));
    EXPECT_EQ(AffineTransform::rotationDegrees(-90), AffineTransform::rotationDegrees(270));
    EXPECT_EQ(AffineTransform::rotationDegrees(450), AffineTransform::rotationDegrees(90));
    expectNear(AffineTransform::rotationDegrees(45).apply(Point{1, 0}),
               Point{std::numbers::sqrt2 / 2, std::numbers::sqrt2 / 2});
    EXPECT_EQ(AffineTransform::scaling(2, 2).thenTranslate(100, 100).applyToVector(Point{1, 1}),
              (Point{2, 2}));
}

TEST(AffineTransform, InverseUndoesTheTransformAndRectanglesMapToTheirBounds) {
    const AffineTransform t = AffineTransform::scaling(2, 3).thenRotate(0.7).thenTranslate(-5, 8);
    const auto inv = t.inverted();
    ASSERT_TRUE(inv.has_value());
    expectNear(inv->apply(t.apply(Point{3, -4})), Point{3, -4});
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted().has_value());
    EXPECT_FALSE(AffineTransform::scaling(NAN, 1).inverted().has_value());
    EXPECT_EQ(AffineTransform::rotationDegrees(90).apply(Rect{0, 0, 20, 10}), (Rect{-10, 0, 10, 20}));
    const Rect diamond = AffineTransform::rotationDegrees(45).apply(Rect{0, 0, 1, 1});
    EXPECT_NEAR(diamond.width, std::numbers::sqrt2, 1e-12);
    EXPECT_NEAR(diamond.minX(), -std::numbers::sqrt2 / 2, 1e-12);
}

TEST(Rounding, HalvesGoAwayFromZero) {
    EXPECT_EQ(roundTo2(12.3456), 12.35);
    EXPECT_EQ(roundTo2(-0.125), -0.13);
    EXPECT_EQ(roundTo2(0.125), 0.13);
    EXPECT_EQ(roundTo2(Point{1.005, -2}), (Point{roundTo2(1.005), -2}));
}

TEST(Path, BoundsFollowTheDrawnCurveNotItsControlPoints) {
    EXPECT_TRUE(Path().boundingBox().isNull());
    EXPECT_TRUE(built([](PathBuilder& b) {
                    b.moveTo({5, 5});
                })
                    .boundingBox()
                    .isNull());  // a move draws nothing
    const Path quad = built([](PathBuilder& b) {
        b.moveTo({0, 0});
        b.quadTo({50, 1000}, {100, 0});
    });
    EXPECT_EQ(quad.boundingBox(), (Rect{0, 0, 100, 500}));  // apex at t = 0.5
    EXPECT_DOUBLE_EQ(quad.controlPointBounds().maxY(), 1000);
    // An S-curve has two extrema, at t = (3 ± √3)/6.
    const Rect s = built([](PathBuilder& b) {
                       b.moveTo({0, 0});
                       b.cubicTo({0, 100}, {100, -100}, {100, 0});
                   }).boundingBox();
    EXPECT_NEAR(s.maxY(), 28.8675, 1e-3);
    EXPECT_NEAR(s.minY(), -28.8675, 1e-3);
    EXPECT_DOUBLE_EQ(s.maxX(), 100);
    // A cubic whose cubic coefficient vanishes in y has a single extremum.
    const Path flat = built([](PathBuilder& b) {
        b.moveTo({0, 0});
        b.cubicTo({10, 40}, {20, 40}, {30, 0});
    });
    EXPECT_NEAR(flat.boundingBox().maxY(), 30, 1e-9);
}

TEST(Path, ElementsReadBackInOrderAndCloseRestartsAtTheSubpathStart) {
    const Path p = built([](PathBuilder& b) {
        b.lineTo({3, 4});  // no move yet: starts at the origin
        b.quadTo({1, 2}, {3, 4});
        b.cubicTo({5, 6}, {7, 8}, {9, 10});
        b.close();
        b.lineTo({1, 9});
    });
    const auto& els = p.elements();
    ASSERT_EQ(els.size(), 7u);
    EXPECT_EQ(els[0].kind, Kind::moveTo);
    EXPECT_EQ(els[0].points[0], (Point{0, 0}));
    EXPECT_EQ(els[2].kind, Kind::quadTo);
    EXPECT_EQ(els[2].endPoint(), (Point{3, 4}));
    EXPECT_EQ(els[3].points[1], (Point{7, 8}));
    EXPECT_EQ(els[4].kind, Kind::close);
    EXPECT_EQ(els[5].kind, Kind::moveTo);
    EXPECT_EQ(els[5].points[0], (Point{0, 0}));
}

TEST(Path, TransformedCopiesAndLaterBuildsLeaveBuiltPathsAlone) {
    PathBuilder b;
    b.addRect({0, 0, 10, 5});
    const Path p = b.build();
    const Path q = p.transformed(AffineTransform::rotationDegrees(90).thenTranslate(100, 0));
    EXPECT_EQ(q.boundingBox(), (Rect{95, 0, 5, 10}));
    EXPECT_FALSE(p == q);
    EXPECT_TRUE(p == p.transformed(AffineTransform::identity()));
    b.addRect({15, 15, 1, 1});
    EXPECT_EQ(p.boundingBox(), (Rect{0, 0, 10, 5}));
    EXPECT_EQ(p.elements().size(), 5u);
    EXPECT_EQ(b.build().boundingBox(), (Rect{0, 0, 16, 16}));
}
