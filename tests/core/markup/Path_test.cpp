#include "core/markup/Path.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quillet;
using Kind = PathElement::Kind;

TEST(Path, EmptyPathHasNullBounds) {
    EXPECT_TRUE(Path().isEmpty());
    EXPECT_TRUE(Path().boundingBox().isNull());
    PathBuilder b;
    b.moveTo({5, 5});  // a move alone draws nothing
    EXPECT_TRUE(b.build().boundingBox().isNull());
}

TEST(Path, QuadraticBoundsFollowTheCurveNotItsFarControlPoint) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.quadTo({50, 1000}, {100, 0});
    const Path p = b.build();
    const Rect box = p.boundingBox();
    // The apex of the curve is at t = 0.5: y = 2·0.25·1000 = 500.
    EXPECT_DOUBLE_EQ(box.minX(), 0);
    EXPECT_DOUBLE_EQ(box.maxX(), 100);
    EXPECT_DOUBLE_EQ(box.minY(), 0);
    EXPECT_DOUBLE_EQ(box.maxY(), 500);
    EXPECT_DOUBLE_EQ(p.controlPointBounds().maxY(), 1000);
}

TEST(Path, CubicBoundsIncludeBothExtremaOfAnSCurve) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.cubicTo({0, 100}, {100, -100}, {100, 0});
    const Rect box = b.build().boundingBox();
    // y(t) = 300t(1-t)² - 300t²(1-t); extrema at t = (3 ± √3)/6, |y| = 100/√3·... ≈ 28.87
    EXPECT_NEAR(box.maxY(), 28.8675, 1e-3);
    EXPECT_NEAR(box.minY(), -28.8675, 1e-3);
    EXPECT_DOUBLE_EQ(box.minX(), 0);
    EXPECT_DOUBLE_EQ(box.maxX(), 100);
}

TEST(Path, CubicThatDegeneratesToAQuadraticUsesItsSingleExtremum) {
    // Control points chosen so that the cubic coefficient vanishes in y.
    PathBuilder b;
    b.moveTo({0, 0});
    b.cubicTo({10, 40}, {20, 40}, {30, 0});
    EXPECT_NEAR(b.build().boundingBox().maxY(), 30, 1e-9);
}

TEST(Path, SegmentsAfterCloseStartANewSubpathAtTheClosedStart) {
    PathBuilder b;
    b.moveTo({1, 1});
    b.lineTo({5, 1});
    b.close();
    b.lineTo({1, 9});
    const Path p = b.build();
    const auto& els = p.elements();
    ASSERT_EQ(els.size(), 5u);
    EXPECT_EQ(els[3].kind, Kind::moveTo);
    EXPECT_EQ(els[3].points[0], (Point{1, 1}));
    EXPECT_EQ(b.build().boundingBox(), (Rect{1, 1, 4, 8}));
}

TEST(Path, ElementsReadBackInOrderWithTheirPoints) {
    PathBuilder b;
    b.lineTo({3, 4});  // no move yet: starts at the origin
    b.quadTo({1, 2}, {3, 4});
    b.cubicTo({5, 6}, {7, 8}, {9, 10});
    b.close();
    const Path p = b.build();
    const auto& els = p.elements();
    ASSERT_EQ(els.size(), 5u);
    EXPECT_EQ(els[0].kind, Kind::moveTo);
    EXPECT_EQ(els[0].points[0], (Point{0, 0}));
    EXPECT_EQ(els[2].kind, Kind::quadTo);
    EXPECT_EQ(els[2].endPoint(), (Point{3, 4}));
    EXPECT_EQ(els[3].points[1], (Point{7, 8}));
    EXPECT_EQ(els[4].kind, Kind::close);
}

TEST(Path, TransformedCopyLeavesTheOriginalAlone) {
    PathBuilder b;
    b.addRect({0, 0, 10, 5});
    const Path p = b.build();
    const Path q = p.transformed(AffineTransform::rotationDegrees(90).thenTranslate(100, 0));
    EXPECT_EQ(p.boundingBox(), (Rect{0, 0, 10, 5}));
    EXPECT_EQ(q.boundingBox(), (Rect{95, 0, 5, 10}));
    EXPECT_FALSE(p == q);
    EXPECT_TRUE(p == p.transformed(AffineTransform::identity()));
}

TEST(Path, BuilderKeepsGrowingWithoutChangingBuiltPaths) {
    PathBuilder b;
    b.addRect({0, 0, 1, 1});
    const Path first = b.build();
    b.addRect({5, 5, 1, 1});
    EXPECT_EQ(first.elements().size(), 5u);
    EXPECT_EQ(b.build().boundingBox(), (Rect{0, 0, 6, 6}));
}

TEST(Path, CopiesCanBeReadFromSeveralThreads) {
    PathBuilder b;
    for (int i = 0; i < 100; ++i) b.addRect({double(i), 0, 1, 1});
    const Path p = b.build();
    std::vector<std::thread> threads;
    std::vector<Rect> boxes(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([p, &boxes, t] { boxes[size_t(t)] = p.boundingBox(); });
    for (auto& th : threads) th.join();
    for (const Rect& r : boxes) EXPECT_EQ(r, (Rect{0, 0, 100, 1}));
}
