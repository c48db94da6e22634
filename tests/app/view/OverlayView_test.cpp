#include "app/view/OverlayView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QPalette>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using Handle = OverlayView::Handle;

struct OverlayFixture : ::testing::Test {
    QApplication& app = testing::testApplication();  // before any widget
    QWidget viewport;
    OverlayView* overlay = nullptr;

    OverlayFixture() {
        viewport.resize(200, 100);
        QPalette blue = viewport.palette();
        blue.setColor(QPalette::Window, QColor(0, 0, 255));
        viewport.setPalette(blue);
        viewport.setAutoFillBackground(true);
        overlay = new OverlayView(&viewport);
        viewport.show();
    }

    QColor shownAt(int x, int y) { return viewport.grab().toImage().pixelColor(x, y); }
};

TEST_F(OverlayFixture, TakesNoClicksAndFollowsTheViewportSize) {
    EXPECT_TRUE(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(viewport.childAt(10, 10), nullptr);
    viewport.resize(300, 150);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 300, 150));
}

TEST_F(OverlayFixture, SelectionAndEraserFollowTheViewGeometry) {
    overlay->setSelection(QRectF(10.2, 20.7, 30, 40), {{Handle{Handle::Kind::corner, 2}, {40, 60}},
                                                       {Handle{Handle::Kind::head, 0}, {5, 5}}});
    EXPECT_EQ(overlay->selectionOutline(),
              QRectF(7.5, 17.5, 36, 46));  // grown 3, whole points, on pixel centres
    ASSERT_EQ(overlay->handles().size(), 2u);
    EXPECT_EQ(OverlayView::handlePath(overlay->handles()[0]).boundingRect(), QRectF(36, 56, 8, 8));
    EXPECT_EQ(OverlayView::handlePath(overlay->handles()[1]).boundingRect(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(OverlayView::eraserRect({50, 50}), QRectF(42, 42, 16, 16));
    overlay->setSelection(std::nullopt, {});
    EXPECT_FALSE(overlay->selectionOutline());
}

TEST_F(OverlayFixture, ALiveHighlighterMultipliesWithWhatIsBelow) {
    QTransform identity;
    overlay->showLiveStroke({{20, 50}, {80, 50}}, identity, RGBA(1, 1, 0, 1), 10, false);
    EXPECT_EQ(shownAt(50, 50), QColor(255, 255, 0));
    overlay->showLiveStroke({{20, 50}, {80, 50}}, QTransform::fromScale(2, 1), RGBA(1, 1, 0, 1), 10, true);
    QColor multiplied = shownAt(100, 50);  // yellow × blue: black
    EXPECT_LT(multiplied.red() + multiplied.green() + multiplied.blue(), 30);
    EXPECT_EQ(shownAt(100, 40), QColor(0, 0, 255));  // the view's width: 10 × the scale's 1.41
}

TEST_F(OverlayFixture, ADelayedClearSparesANewerStroke) {
    overlay->showLiveStroke({{1, 1}, {5, 5}}, {}, RGBA(1, 0, 0, 1), 2, false);
    overlay->clearLiveStroke(std::chrono::milliseconds(30));
    overlay->showLiveStroke({{9, 9}, {15, 15}}, {}, RGBA(1, 0, 0, 1), 2, false);
    testing::pumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(overlay->hasLiveStroke());
    overlay->clearLiveStroke(std::chrono::milliseconds(30));
    EXPECT_TRUE(testing::pumpUntil([&] { return !overlay->hasLiveStroke(); }));
}

TEST_F(OverlayFixture, AGrowingStrokeRepaintsOnlyItsNewEnd) {
    testing::PaintedAreas areas;
    overlay->installEventFilter(&areas);
    std::vector<Point> stroke = {{10, 10}, {60, 80}, {150, 20}};
    overlay->showLiveStroke(stroke, {}, RGBA(1, 0, 0, 1), 4, false);
    stroke.push_back({155, 30});
    const QRegion grown =
        areas.after([&] { overlay->showLiveStroke(stroke, {}, RGBA(1, 0, 0, 1), 4, false); });
    EXPECT_EQ(grown.boundingRect(), QRect(146, 16, 13, 18)) << "the last segment and half the pen around it";
    // A part repainted alone looks as it does in the whole stroke.
    const auto rendered = [&](const QRegion& area) {
        QImage image(overlay->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        overlay->render(&image, area.boundingRect().topLeft(), area);
        return image;
    };
    const QImage whole = rendered(QRegion(overlay->rect()));
    const QRect part(50, 60, 30, 30);
    EXPECT_EQ(rendered(QRegion(part)).copy(part), whole.copy(part));
    // Unchanged selection and eraser: nothing to repaint.
    EXPECT_TRUE(areas.after([&] { overlay->setSelection(std::nullopt, {}); }).isEmpty());
    // A stroke redrawn otherwise (Shift's straight line) repaints where it was and where it is.
    const QRegion redrawn = areas.after([&] {
        overlay->showLiveStroke({{10, 10}, {30, 12}}, {}, RGBA(1, 0, 0, 1), 4, false);
    });
    EXPECT_TRUE(redrawn.contains(QPoint(60, 80)));
    EXPECT_TRUE(areas.after([&] { overlay->clearLiveStroke(); }).contains(QPoint(20, 11)));
    EXPECT_EQ(shownAt(60, 78), QColor(0, 0, 255));
}

TEST_F(OverlayFixture, PeekAndPreviewComeAndGo) {
    UUID note = UUID::random();
    overlay->showPeek(note, ItemAppearance{}, {});
    EXPECT_EQ(overlay->peekedItem(), note);
    overlay->hidePeek();
    overlay->hidePeek();
    EXPECT_FALSE(overlay->peekedItem());
    overlay->showPreview({ItemAppearance{}}, {});
    EXPECT_TRUE(overlay->hasPreview());
    overlay->clearPreview();
    EXPECT_FALSE(overlay->hasPreview());
}

}  // namespace
}  // namespace quillet
