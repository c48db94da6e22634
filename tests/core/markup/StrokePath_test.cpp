#include "core/markup/StrokePath.h"

#include <gtest/gtest.h>

using namespace quillet;
using Kind = PathElement::Kind;

namespace {

PathElement element(Kind kind, Point a = {}, Point b = {}) {
    return {kind, {a, b, {}}};
}

}  // namespace

TEST(StrokePath, ShortStrokesBecomeDotsAndLines) {
    const Path path = StrokePath::path({{{3, 4}}, {}, {{1, 1}, {2, 5}}});
    const std::vector<PathElement> expected{element(Kind::moveTo, {3, 4}), element(Kind::lineTo, {3, 4}),
                                            element(Kind::moveTo, {1, 1}), element(Kind::lineTo, {2, 5})};
    EXPECT_EQ(path.elements(), expected);
}

TEST(StrokePath, LongerStrokesCurveThroughMidpointsAndEndOnTheLastPoint) {
    const Path path = StrokePath::path({{{0, 0}, {10, 0}, {10, 10}, {20, 10}}});
    const std::vector<PathElement> expected{
        element(Kind::moveTo, {0, 0}),
        element(Kind::quadTo, {10, 0}, {10, 5}),
        element(Kind::quadTo, {10, 10}, {15, 10}),
        element(Kind::lineTo, {20, 10}),
    };
    EXPECT_EQ(path.elements(), expected);
}

TEST(StrokePath, NoPointsGiveAnEmptyPath) {
    EXPECT_TRUE(StrokePath::path({}).isEmpty());
    EXPECT_TRUE(StrokePath::path({{}, {}}).isEmpty());
}
