// Page space and display space for every rotation, against corners worked out
// by hand; the geometry's agreement with the renderer is pinned down by the
// document tests.
#include "app/platform/PDFPageGeometry.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// Crop box from (10, 20) to (210, 320): 200 wide, 300 high.
PDFPageGeometry turned(int rotation)
{
    return PDFPageGeometry{QRectF(10, 20, 200, 300), rotation};
}

TEST(PDFPageGeometryTest, ThePageCornerShownTopLeftDependsOnTheRotation)
{
    // Page-space corner that appears at the display origin.
    EXPECT_EQ(turned(0).toDisplay(QPointF(10, 320)), QPointF(0, 0));
    EXPECT_EQ(turned(90).toDisplay(QPointF(10, 20)), QPointF(0, 0));
    EXPECT_EQ(turned(180).toDisplay(QPointF(210, 20)), QPointF(0, 0));
    EXPECT_EQ(turned(270).toDisplay(QPointF(210, 320)), QPointF(0, 0));
    // And the opposite corner lands at the far display corner.
    EXPECT_EQ(turned(0).toDisplay(QPointF(210, 20)), QPointF(200, 300));
    EXPECT_EQ(turned(90).toDisplay(QPointF(210, 320)), QPointF(300, 200));
    EXPECT_EQ(turned(180).toDisplay(QPointF(10, 320)), QPointF(200, 300));
    EXPECT_EQ(turned(270).toDisplay(QPointF(10, 20)), QPointF(300, 200));
}

TEST(PDFPageGeometryTest, DisplaySizeSwapsForQuarterTurnsAndMappingsRoundTrip)
{
    for (int rotation : {0, 90, 180, 270}) {
        const PDFPageGeometry g = turned(rotation);
        EXPECT_EQ(g.displaySize(), rotation % 180 ? QSizeF(300, 200) : QSizeF(200, 300));
        EXPECT_EQ(g.toDisplay(g.bounds), QRectF(QPointF(0, 0), g.displaySize()));
        const QPointF p(37.5, 101.25);
        const QPointF back = g.toPage(g.toDisplay(p));
        EXPECT_NEAR(back.x(), p.x(), 1e-9);
        EXPECT_NEAR(back.y(), p.y(), 1e-9);
        const QRectF r(30, 40, 30, 50);
        EXPECT_EQ(g.toPage(g.toDisplay(r)), r);
    }
}

TEST(PDFPageGeometryTest, RotationValuesAreNormalisedToQuarterTurns)
{
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(0), 0);
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(450), 90);
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(-90), 270);
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(-540), 180);
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(45), 0);
    EXPECT_EQ(PDFPageGeometry::normalizedRotation(9'000'000'000'000'000'000LL), 0);
}

}  // namespace
}  // namespace quillet
