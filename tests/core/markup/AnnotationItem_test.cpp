#include "core/markup/AnnotationItem.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/markup/StrokeBuilder.h"

namespace quillet {
namespace {

TEST(AnnotationItem, RotationIsNormalizedToAQuarterTurnInZeroTo270) {
    const std::pair<int64_t, int64_t> cases[] = {
        {450, 90}, {-90, 270}, {100, 90}, {89, 0}, {std::numeric_limits<int64_t>::min(), 270}};
    for (auto [given, held] : cases)
        EXPECT_EQ(AnnotationItem(UUID(), InkShape{}, RGBA::defaultInk(), 2, given, {}).rotation, held)
            << given;
}

TEST(StrokeBuilder, SimplifyKeepsEveryCornerOfALongZigzag) {
    // Every split is lopsided here, as deep as the stroke is long.
    std::vector<Point> wave;
    for (int i = 0; i < 3'000; ++i) wave.push_back({double(i), (i % 2) * 3.0});
    EXPECT_EQ(StrokeBuilder::simplify(wave, 1).size(), wave.size());
}

}  // namespace
}  // namespace quillet
