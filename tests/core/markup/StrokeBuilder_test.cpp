#include "core/markup/StrokeBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillet {
namespace {

using Points = std::vector<Point>;

TEST(StrokeBuilder, AddDropsNonFinitePointsAndPointsCloserThanMinDistance) {
    const double nan = std::nan("");
    StrokeBuilder b(1);
    b.add({nan, 0});  // dropped even as the first point
    b.add({0, std::numeric_limits<double>::infinity()});
    EXPECT_TRUE(b.points().empty());
    b.add({0, 0});
    b.add({0.5, 0.5});  // closer than 1
    b.add({0.6, 0.8});  // exactly 1 away: kept
    b.add({0.6, nan});
    EXPECT_EQ(b.points(), (Points{{0, 0}, {0.6, 0.8}}));
}

TEST(StrokeBuilder, FinishOfUpToTwoPointsOnlyRoundsHalvesAwayFromZero) {
    StrokeBuilder b;
    EXPECT_TRUE(b.finish(0.25).empty());
    b.add({12.3456, -0.125});
    EXPECT_EQ(b.finish(0.25), (Points{{12.35, -0.13}}));
    b.add({0.005, 2.675});
    EXPECT_EQ(b.finish(100), (Points{{12.35, -0.13}, {0.01, 2.68}}));
    EXPECT_EQ(b.points().size(), 2u) << "finish leaves the builder as it is";
}

TEST(StrokeBuilder, FinishSimplifiesLongerStrokes) {
    StrokeBuilder b;
    for (Point p : Points{{0, 0}, {1, 1.004}, {2, 2}}) b.add(p);
    EXPECT_EQ(b.finish(0.25), (Points{{0, 0}, {2, 2}}));
    StrokeBuilder corner;
    for (Point p : Points{{0, 0}, {5, 0.001}, {10, 0}, {10, 10.0049}}) corner.add(p);
    EXPECT_EQ(corner.finish(0.25), (Points{{0, 0}, {10, 0}, {10, 10}}));
}

TEST(StrokeBuilder, SimplifyKeepsOnlyPointsFartherThanTheTolerance) {
    Points zigzag{{0, 0}, {1, 0.2}, {2, -0.2}, {3, 2}, {4, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 1.5), (Points{{0, 0}, {3, 2}, {4, 0}}));
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 0.5), (Points{{0, 0}, {2, -0.2}, {3, 2}, {4, 0}}));
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 0.1), zigzag);
    // Exactly at the tolerance is close enough to drop.
    EXPECT_EQ(StrokeBuilder::simplify({{0, 0}, {1, 1}, {2, 0}}, 1), (Points{{0, 0}, {2, 0}}));
}

TEST(StrokeBuilder, SimplifyLeavesShortInputAndNonPositiveToleranceAlone) {
    Points line{{0, 0}, {1, 0}, {2, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(line, 0), line);
    EXPECT_EQ(StrokeBuilder::simplify(line, -1), line);
    EXPECT_EQ(StrokeBuilder::simplify(line, std::nan("")), line);
    EXPECT_EQ(StrokeBuilder::simplify({{0, 0}, {5, 5}}, 1), (Points{{0, 0}, {5, 5}}));
}

TEST(StrokeBuilder, ClosedStrokeMeasuresFromItsStartAndPrefersTheLowerIndexOnTies) {
    // Start and end coincide: distances are taken from the start point.
    Points loop{{0, 0}, {4, 0}, {2, 1}, {0, 4}, {0, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(loop, 0.8), (Points{{0, 0}, {4, 0}, {0, 4}, {0, 0}}));
    // (1, 1) and (2, 1) are equally far from the chord; taking the lower
    // index first leaves (2, 1) close to the new chord from (1, 1).
    Points tie{{0, 0}, {1, 1}, {2, 1}, {3, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(tie, 0.5), (Points{{0, 0}, {1, 1}, {3, 0}}));
}

TEST(StrokeBuilder, SimplifyKeepsEveryCornerOfALongZigzag) {
    // Every split is lopsided here, as deep as the stroke is long.
    Points wave;
    for (int i = 0; i < 3'000; ++i) wave.push_back({double(i), (i % 2) * 3.0});
    Points result = StrokeBuilder::simplify(wave, 1);
    EXPECT_EQ(result.size(), wave.size());
}

}  // namespace
}  // namespace quillet
