// Replaying drawing commands with QPainter, and the page's items rasterized
// with Splash's edges.
#include "app/view/ItemPainter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "app/document/ItemAnnotation.h"
#include "app/platform/QtConversions.h"
#include "app/view/ItemRaster.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemGeometry.h"
#include "core/save/SaveTestItems.h"
#include "support/RasterCompare.h"

namespace quillet {
namespace {

// A 100 × 100 point page shown at 2 pixels per point, y flipped.
const QTransform kPageToImage(2, 0, 0, -2, 0, 200);

QImage whiteImage() {
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

Path linePath(Point a, Point b) {
    PathBuilder builder;
    builder.moveTo(a);
    builder.lineTo(b);
    return builder.build();
}

Path rectPath(const Rect& r) {
    PathBuilder builder;
    builder.addRect(r);
    return builder.build();
}

TEST(ItemPainter, PaintsStrokesAndFillsWherePageSpacePutsThem) {
    QImage image = whiteImage();
    QPainter painter(&image);
    ItemPainter::paint(painter,
                       {{linePath({10, 90}, {90, 90}), Paint::stroke(4), RGBA(1, 0, 0, 1), false},
                        {rectPath({10, 10, 20, 20}), Paint::fill(), RGBA(0, 0, 1, 1), false}},
                       kPageToImage);
    painter.end();
    EXPECT_EQ(image.pixelColor(100, 20), QColor(Qt::red));    // page (50, 90)
    EXPECT_EQ(image.pixelColor(100, 30), QColor(Qt::white));  // 5 points below it
    EXPECT_EQ(image.pixelColor(18, 20), QColor(Qt::red));     // the round cap reaches (8, 90)
    EXPECT_EQ(image.pixelColor(40, 160), QColor(Qt::blue));   // page (20, 20)
    EXPECT_EQ(image.pixelColor(70, 160), QColor(Qt::white));
}

TEST(ItemPainter, HighlighterMultipliesWithWhatIsUnderIt) {
    QImage image = whiteImage();
    QPainter painter(&image);
    ItemPainter::paint(painter, {{rectPath({0, 0, 100, 50}), Paint::fill(), RGBA(0, 0, 1, 1), false}},
                       kPageToImage);
    AnnotationItem marker =
        testing::inkItem(1, {{10, 50}, {90, 50}}, RGBA(1, 1, 0, 1), InkKind::highlighter, 20);
    ItemPainter::paint(painter, ItemAppearanceBuilder::build(marker, false), kPageToImage);
    painter.end();
    // Yellow at 40 % over white: (1, 1, 0.6); multiplied over blue: (0, 0, 0.6).
    QColor overWhite = image.pixelColor(100, 90);  // page (50, 55)
    QColor overBlue = image.pixelColor(100, 110);  // page (50, 45)
    EXPECT_NEAR(overWhite.blueF(), 0.6, 0.02);
    EXPECT_EQ(overWhite.red(), 255);
    EXPECT_LE(overBlue.red() + overBlue.green(), 2);
    EXPECT_NEAR(overBlue.blueF(), 0.6, 0.02);
}

TEST(ItemPainter, SkipsHiddenAndOffscreenItems) {
    ItemAnnotation shown(testing::inkItem(1, {{20, 20}, {30, 20}}, RGBA(1, 0, 0, 1)));
    ItemAnnotation hidden(testing::inkItem(2, {{20, 60}, {30, 60}}, RGBA(1, 0, 0, 1)), false);
    ItemAnnotation elsewhere(testing::inkItem(3, {{70, 20}, {80, 20}}, RGBA(1, 0, 0, 1)));
    QImage image = whiteImage();
    QPainter painter(&image);
    ItemPainter::paintAnnotations(painter, {&shown, &hidden, &elsewhere}, kPageToImage, true,
                                  QRectF(0, 0, 50, 100));
    painter.end();
    EXPECT_EQ(image.pixelColor(50, 160), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(50, 80), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(150, 160), QColor(Qt::white));
}

TEST(ItemPainter, KeepsCurvesAsCurves) {
    PathBuilder builder;
    builder.moveTo({0, 0});
    builder.quadTo({5, 10}, {10, 0});
    builder.cubicTo({12, 5}, {18, 5}, {20, 0});
    builder.close();
    QPainterPath path = toQPainterPath(builder.build());
    EXPECT_EQ(path.elementCount(), 1 + 3 + 3 + 1);       // move, quad as cubic, cubic, close
    EXPECT_NEAR(path.boundingRect().height(), 5, 1e-6);  // the curve's top, not its control point's
    EXPECT_GT(path.controlPointRect().height(), 6);
}

// Splash's coverage: a cell counts when an edge touches it (so an edge on a
// pixel boundary reaches one cell into the next pixel), and the covered share
// goes through a 1.5 gamma. QPainter would give 96 for the half pixel and
// nothing beyond the exact one.
TEST(ItemRaster, CoverageIsSplashsTouchedCellsThroughItsGamma) {
    struct Case {
        QRectF box;
        std::vector<uint8_t> expected;  // 3 × 3 pixels from (0, 0)
    };
    const std::vector<Case> cases = {
        {{0, 0, 0.5, 0.75}, {166, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{0, 0, 1, 1}, {255, 32, 0, 32, 4, 0, 0, 0, 0}},
        {{0.5, 0.5, 1, 1}, {32, 59, 0, 59, 108, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        QPainterPath path;
        path.addRect(c.box);
        EXPECT_EQ(ItemRaster::coverage(path, QRect(0, 0, 3, 3)), c.expected)
            << c.box.x() << "," << c.box.width();
    }
}

// Repaints reuse an item's raster while the zoom and the pixel fraction stay;
// scrolling by whole pixels moves it, a new zoom makes a new one.
TEST(ItemPainter, KeepsAnItemsRasterUntilTheZoomChanges) {
    ItemAnnotation stroke(testing::inkItem(1, {{20, 20}, {60, 40}}, RGBA(1, 0, 0, 1), InkKind::pen, 3));
    auto draw = [&](const QTransform& toImage) {
        QImage image = whiteImage();
        QPainter painter(&image);
        ItemPainter::paintAnnotations(painter, {&stroke}, toImage, false);
        return image;
    };
    const int64_t before = ItemPainter::rasterizedCount();
    const QImage first = draw(kPageToImage);
    EXPECT_EQ(draw(kPageToImage), first);
    const QImage scrolled = draw(kPageToImage * QTransform::fromTranslate(5, -7));
    EXPECT_EQ(scrolled.copy(5, 0, 195, 193), first.copy(0, 7, 195, 193));
    EXPECT_EQ(ItemPainter::rasterizedCount(), before + 1);
    draw(QTransform(3, 0, 0, -3, 0, 300));
    EXPECT_EQ(ItemPainter::rasterizedCount(), before + 2);
}

// Composed (two maps over the page) the items look as drawn one by one, a
// highlighter over a pen stroke over a coloured page included, and moving one
// item recomposes only around it.
TEST(ItemPainter, ComposedItemsLookAsDrawnOneByOne) {
    std::vector<ItemAnnotation> items;
    items.emplace_back(testing::inkItem(1, {{10, 50}, {90, 60}}, RGBA(0.1, 0.2, 0.9, 1), InkKind::pen, 4));
    items.emplace_back(
        testing::inkItem(2, {{20, 55}, {80, 55}}, RGBA(1, 0.9, 0, 1), InkKind::highlighter, 12));
    items.emplace_back(testing::textItem(3, {30, 30}, "Hi", RGBA(0, 0.5, 0, 1), 12));
    auto draw = [&](ItemPainter::PageItemLayers* composed) {
        QImage image = whiteImage();
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, 100, 200), QColor(200, 120, 60));
        std::vector<const ItemAnnotation*> list;
        for (const ItemAnnotation& item : items) list.push_back(&item);
        ItemPainter::paintAnnotations(painter, list, kPageToImage, false, std::nullopt, composed);
        return image;
    };
    ItemPainter::PageItemLayers composed;
    EXPECT_EQ(testing::matchingShare(draw(&composed), draw(nullptr), 2), 1.0);
    const int64_t before = composed.recomposedPixels();
    items[2] = ItemAnnotation(ItemGeometry::translated(items[2].item(), 5, 0));
    EXPECT_EQ(testing::matchingShare(draw(&composed), draw(nullptr), 2), 1.0);
    EXPECT_LT(composed.recomposedPixels() - before, 60 * 40);
}

}  // namespace
}  // namespace quillet
