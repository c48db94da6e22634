#include "app/platform/RasterFidelity.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace quillet {
namespace {

// A black bar on white, its left edge at `left`.
QImage bar(double left, bool withSquare = false, bool withHairline = false) {
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(left, 10, 30, 80), Qt::black);
    if (withSquare) {
        painter.fillRect(QRectF(60, 40, 20, 20), Qt::red);
    }
    if (withHairline) {
        painter.fillRect(QRect(70, 10, 1, 80), Qt::black);
    }
    return image;
}

TEST(RasterFidelityTest, EdgesAPixelApartMatchWhileMissingContentDoesNot) {
    EXPECT_EQ(RasterFidelity::matchingShare(bar(20), bar(20)), 1.0);
    // Half a pixel and one pixel over: every pixel is within its neighbours' range.
    EXPECT_EQ(RasterFidelity::matchingShare(bar(20.5), bar(20)), 1.0);
    EXPECT_EQ(RasterFidelity::matchingShare(bar(21), bar(20)), 1.0);
    EXPECT_LT(RasterFidelity::matchingShare(bar(21), bar(20), RasterFidelity::defaultTolerance, 0), 0.99);
    // A 20 x 20 square missing from a 100 x 100 drawing: every pixel of it.
    EXPECT_NEAR(RasterFidelity::matchingShare(bar(20), bar(20, true)), 1 - 0.04, 1e-9);
    EXPECT_LT(RasterFidelity::matchingShare(bar(20), bar(20, true)), RasterFidelity::faithfulShare);
    // A hairline drawn by one side only: each of its pixels, whichever side lacks it.
    EXPECT_NEAR(RasterFidelity::matchingShare(bar(20), bar(20, false, true)), 1 - 0.008, 1e-9);
    EXPECT_NEAR(RasterFidelity::matchingShare(bar(20, false, true), bar(20)), 1 - 0.008, 1e-9);
    EXPECT_EQ(RasterFidelity::matchingShare(bar(20), bar(20).scaled(50, 50)), 0.0);
}

}  // namespace
}  // namespace quillet
