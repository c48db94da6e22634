// Page space and display space for every rotation, against corners worked out by hand.
#include "app/platform/PDFPageGeometry.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(PDFPageGeometryTest, CornersDisplaySizeAndRoundTripsForEveryRotation)
{
    // Crop box from (10, 20) to (210, 320): the page corner shown top left,
    // and the opposite one at the far display corner.
    const std::tuple<int, QPointF, QPointF> corners[] = {{0, {10, 320}, {210, 20}},
                                                         {90, {10, 20}, {210, 320}},
                                                         {180, {210, 20}, {10, 320}},
                                                         {270, {210, 320}, {10, 20}}};
    for (const auto& [rotation, topLeft, farCorner] : corners) {
        SCOPED_TRACE(rotation);
        const PDFPageGeometry g{QRectF(10, 20, 200, 300), rotation};
        EXPECT_EQ(g.displaySize(), rotation % 180 ? QSizeF(300, 200) : QSizeF(200, 300));
        EXPECT_EQ(g.toDisplay(topLeft), QPointF(0, 0));
        EXPECT_EQ(g.toDisplay(farCorner), QPointF(g.displaySize().width(), g.displaySize().height()));
        EXPECT_EQ(g.toDisplay(g.bounds), QRectF(QPointF(0, 0), g.displaySize()));
        const QPointF back = g.toPage(g.toDisplay(QPointF(37.5, 101.25)));
        EXPECT_NEAR(back.x(), 37.5, 1e-9);
        EXPECT_NEAR(back.y(), 101.25, 1e-9);
        EXPECT_EQ(g.toPage(g.toDisplay(QRectF(30, 40, 30, 50))), QRectF(30, 40, 30, 50));
    }
}

TEST(PDFPageGeometryTest, RotationValuesAreNormalisedToQuarterTurns)
{
    const std::pair<long long, int> cases[] = {
        {0, 0}, {450, 90}, {-90, 270}, {-540, 180}, {45, 0}, {9'000'000'000'000'000'000LL, 0}};
    for (auto [given, normal] : cases) {
        EXPECT_EQ(PDFPageGeometry::normalizedRotation(given), normal) << given;
    }
}

}  // namespace
}  // namespace quillet
