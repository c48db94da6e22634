#include "app/ui/DocumentWindowController.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/ui/PageView.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

// Renders like the engine it wraps, only slowly, the way a heavy page does.
class SlowPDFDocument : public PDFDocument {
public:
    SlowPDFDocument(std::shared_ptr<PDFDocument> inner, std::chrono::milliseconds delay)
        : inner_(std::move(inner)), delay_(delay)
    {
    }
    QString path() const override { return inner_->path(); }
    bool isEncrypted() const override { return inner_->isEncrypted(); }
    bool isLocked() const override { return inner_->isLocked(); }
    bool unlock(const QString& password) override { return inner_->unlock(password); }
    int pageCount() const override { return inner_->pageCount(); }
    std::optional<PDFPageGeometry> pageGeometry(int i) const override { return inner_->pageGeometry(i); }
    QImage renderPage(int i, double scale, const QSet<QString>& hidden) override
    {
        std::this_thread::sleep_for(delay_);
        ++renders;
        return inner_->renderPage(i, scale, hidden);
    }
    std::vector<PDFTextBox> textBoxes(int i) override { return inner_->textBoxes(i); }
    std::shared_ptr<PDFSearch> beginFind(const QString& text, PDFSearchCallbacks callbacks) override
    {
        return inner_->beginFind(text, std::move(callbacks));
    }
    void write(const QString& destination, PDFWriteOptions options) const override
    {
        inner_->write(destination, options);
    }

    std::atomic<int> renders{0};

private:
    std::shared_ptr<PDFDocument> inner_;
    std::chrono::milliseconds delay_;
};

class DocumentWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        InterfaceLanguage::fix(Language::en);
        testing::writeFile(dir.file("three.pdf"), testing::simpleDocument(3));
    }

    QString path(const char* name) const { return testing::qpath(dir.file(name)); }

    // A shown window; deleted by the test's end unless it closed itself.
    QPointer<DocumentWindowController> show(OpenedPDF document)
    {
        auto* window = new DocumentWindowController(std::move(document));
        window->show();
        owned.append(window);
        return window;
    }

    // A window on the three-page fixture whose renders each take 1.5 s.
    std::pair<QPointer<DocumentWindowController>, std::shared_ptr<SlowPDFDocument>> showSlow()
    {
        OpenedPDF document = OpenedPDF::open(path("three.pdf"));
        auto slow = std::make_shared<SlowPDFDocument>(document.pdf, 1500ms);
        document.pdf = slow;
        return {show(std::move(document)), slow};
    }

    void TearDown() override
    {
        for (const QPointer<DocumentWindowController>& w : owned) {
            delete w.data();
        }
    }

    static bool pageRendered(DocumentWindowController& window, int page)
    {
        PageView* view = window.pageView();
        const double pixelScale = view->scale() * view->viewport()->devicePixelRatioF();
        return !view->renderer()->cachedImage(page, pixelScale).isNull();
    }

    testing::TempDir dir;
    QList<QPointer<DocumentWindowController>> owned;
};

struct PixelCount {
    int white = 0, dark = 0;
};

PixelCount countPixels(const QImage& image, const QRect& area)
{
    PixelCount count;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count.white += testing::isWhite(c);
            count.dark += c.red() < 90 && c.green() < 90 && c.blue() < 90;
        }
    }
    return count;
}

TEST_F(DocumentWindowControllerTest, ShowsTheFirstPageWithItsTextAndZooms)
{
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("three.pdf")));
    PageView* view = window->pageView();
    ASSERT_EQ(view->pageCount(), 3);
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(window->subtitle(), "Page 1 of 3");
    EXPECT_TRUE(view->autoScales());
    ASSERT_TRUE(testing::pumpUntil([&] { return pageRendered(*window, 0); }));
    testing::pumpFor(50ms);

    // The page's top band holds "page 1" in black on white paper.
    const QImage shot = view->viewport()->grab().toImage();
    const QRect page = view->pageRectInViewport(0).toAlignedRect();
    const QRect textBand(page.left(), page.top(), page.width() / 2, page.height() / 5);
    const PixelCount pixels = countPixels(shot, textBand);
    EXPECT_GT(pixels.white, textBand.width() * textBand.height() / 2);
    EXPECT_GT(pixels.dark, 50) << "no text drawn on the page";

    const double fitted = view->scale();
    view->zoomIn();
    EXPECT_FALSE(view->autoScales());
    EXPECT_NEAR(view->scale(), fitted * PageView::zoomStep, 1e-9);
    EXPECT_NEAR(view->pageRectInViewport(0).width(), 612 * fitted * PageView::zoomStep, 1e-6);
}

TEST_F(DocumentWindowControllerTest, ASlowRendererNeverBlocksTheEventLoop)
{
    auto [window, slow] = showSlow();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
        ++ticks;
    });
    timer.start();
    // Zooming and scrolling while the first renders are still under way.
    QTimer::singleShot(100, window, [&] { window->pageView()->zoomIn(); });
    QTimer::singleShot(250, window, [&] { window->pageView()->goToNextPage(); });
    ASSERT_TRUE(testing::pumpUntil([&] { return slow->renders >= 2; }, 20s));
    timer.stop();

    EXPECT_GT(ticks, 20);
    // A render blocking the loop would stall it for 1.5 s at least.
    EXPECT_LT(longestGap, 1000) << "the event loop stalled for " << longestGap << " ms";
    // What is on screen now arrives as well.
    EXPECT_TRUE(testing::pumpUntil([&] { return pageRendered(*window, window->pageView()->currentPage()); }, 20s));
}

}  // namespace
}  // namespace quillet
