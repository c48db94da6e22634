#include "app/view/PageView.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QWheelEvent>
#include <atomic>
#include <thread>

#include "support/ForwardingPDFDocument.h"
#include "support/QtTestSupport.h"
#include "support/RasterCompare.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

// Counts the engine's page-geometry reads made on the main thread.
class CountingPDFDocument : public testing::ForwardingPDFDocument {
  public:
    using ForwardingPDFDocument::ForwardingPDFDocument;
    std::optional<PDFPageGeometry> pageGeometry(int i) const override {
        if (std::this_thread::get_id() == mainThread) {
            ++mainThreadReads;
        }
        return ForwardingPDFDocument::pageGeometry(i);
    }

    std::thread::id mainThread = std::this_thread::get_id();
    mutable std::atomic<int> mainThreadReads{0};
};

class PageViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::writeFile(dir.file("forty.pdf"), testing::simpleDocument(40));
        view.resize(800, 600);
        view.show();
    }

    void open(const char* name) {
        view.setDocument(std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file(name)))));
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        testing::pressKey(&view, key, modifiers);
    }

    testing::TempDir dir;
    QApplication& app = testing::testApplication();  // before the view
    PageView view;
};

TEST_F(PageViewTest, PageKeysStepThroughTheDocument) {
    open("forty.pdf");
    press(Qt::Key_End);
    EXPECT_EQ(view.currentPage(), 39);
    press(Qt::Key_Home);
    EXPECT_EQ(view.currentPage(), 0);
    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.currentPage(), 39);
    press(Qt::Key_Home, Qt::ControlModifier);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(view.currentPage(), 1);
    press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(view.currentPage(), 0);

    // Space moves a screenful down, keeping a strip of the previous one; Shift+Space back.
    const int top = view.verticalScrollBar()->value();
    press(Qt::Key_Space);
    const int step = view.verticalScrollBar()->value() - top;
    EXPECT_GT(step, view.viewport()->height() / 2);
    EXPECT_LT(step, view.viewport()->height());
    press(Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(view.verticalScrollBar()->value(), top);
    // Ctrl+Alt+arrows belong to the desktop.
    press(Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(view.currentPage(), 0);
}

TEST_F(PageViewTest, ResizingKeepsThePageAndThePointInView) {
    open("forty.pdf");
    view.goToPage(17);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 100);
    const QRectF before = view.pageRectInViewport(17);
    const double offset = -before.top() / before.height();  // how far down page 17 the view's top is

    for (const QSize size : {QSize(1400, 1000), QSize(520, 360), QSize(800, 600)}) {
        view.resize(size);
        testing::pumpFor(20ms);
        EXPECT_EQ(view.currentPage(), 17) << size.width();
        const QRectF after = view.pageRectInViewport(17);
        EXPECT_NEAR(-after.top() / after.height(), offset, 0.01) << size.width();
    }
}

TEST_F(PageViewTest, CtrlWheelZoomsAroundThePointer) {
    open("forty.pdf");
    view.goToPage(3);
    const QPointF pointer(200, 150);
    const QRectF page = view.pageRectInViewport(view.currentPage());
    const QPointF onPage((pointer.x() - page.left()) / page.width(),
                         (pointer.y() - page.top()) / page.height());
    const double scale = view.scale();
    QWheelEvent wheel(pointer, view.viewport()->mapToGlobal(pointer), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &wheel);

    EXPECT_NEAR(view.scale(), scale * PageView::zoomStep, 1e-9);
    const QRectF zoomed = view.pageRectInViewport(3);
    EXPECT_NEAR(zoomed.left() + onPage.x() * zoomed.width(), pointer.x(), 1.5);
    EXPECT_NEAR(zoomed.top() + onPage.y() * zoomed.height(), pointer.y(), 1.5);
}

TEST_F(PageViewTest, PageSizesArriveFromTheBackgroundWithoutMovingTheView) {
    testing::writeFile(dir.file("mixed.pdf"), testing::mixedSizeDocument(300));
    auto counting = std::make_shared<CountingPDFDocument>(
        std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file("mixed.pdf")))));
    view.setDocument(counting);
    // Only the first page is measured on the main thread.
    EXPECT_LE(counting->mainThreadReads.load(), 1);
    view.setScale(0.5);
    view.goToPage(5);

    ASSERT_TRUE(testing::pumpUntil([&] { return view.pageDisplaySize(299).width() == 1224; }));
    EXPECT_EQ(view.pageDisplaySize(298).width(), 612);
    EXPECT_NEAR(view.pageLayout().pageRect(9).width(), 1224 * 0.5, 1e-9);
    EXPECT_LE(counting->mainThreadReads.load(), 1);
    // The wider pages changed the layout; page 5 is still where the view is.
    EXPECT_EQ(view.currentPage(), 5);
    EXPECT_NEAR(view.pageRectInViewport(5).top(), PageLayout::margin, 1.5);
}

TEST_F(PageViewTest, AtTheDeepestZoomTheVisiblePartIsAsSharpAsTheScreen) {
    open("forty.pdf");
    view.setAutoScales(false);
    view.setScale(PageLayout::maxScale);
    // The first page's "page 1", 72 pt from its left and top edges.
    const QRectF page = view.pageRectInViewport(0).translated(view.horizontalScrollBar()->value(),
                                                              view.verticalScrollBar()->value());
    view.horizontalScrollBar()->setValue(static_cast<int>(page.left() + 60 * view.scale()));
    view.verticalScrollBar()->setValue(static_cast<int>(page.top() + 50 * view.scale()));
    view.requestShownPages();
    const QRect visible(view.horizontalScrollBar()->value() - static_cast<int>(page.left()),
                        view.verticalScrollBar()->value() - static_cast<int>(page.top()),
                        view.viewport()->width(), view.viewport()->height());
    const auto tiles = view.renderer()->tilesCovering(0, view.scale(), visible);
    ASSERT_FALSE(tiles.empty());
    ASSERT_TRUE(testing::pumpUntil(
        [&] {
            return std::all_of(tiles.begin(), tiles.end(), [&](const PageRenderer::Tile& tile) {
                return !view.renderer()->cachedTile(0, view.scale(), tile.index).isNull();
            });
        },
        30s));

    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRectF shown = view.pageRectInViewport(0) & QRectF(view.viewport()->rect());
    const QRect pixels = shown.translated(-view.pageRectInViewport(0).topLeft()).toAlignedRect();
    auto pdf = std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file("forty.pdf"))));
    const QImage direct =
        pdf->renderRegion(0, view.scale(), pixels, {}).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(direct.isNull());
    const QImage seen = shot.copy(shown.toAlignedRect());
    EXPECT_GT(testing::matchingShare(seen, direct, 8), 0.999)
        << "an enlarged smaller image is blurred at the edges";
}

}  // namespace
}  // namespace quillet
