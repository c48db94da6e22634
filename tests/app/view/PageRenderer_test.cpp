#include "app/view/PageRenderer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

// Blank pages whose renders wait while the gate is shut; records which pages
// were rendered and on which threads.
class GatedPDFDocument : public PDFDocument {
  public:
    QString path() const override { return {}; }
    bool isEncrypted() const override { return false; }
    bool isLocked() const override { return false; }
    bool unlock(const QString&) override { return true; }
    int pageCount() const override { return 4; }
    std::optional<PDFPageGeometry> pageGeometry(int) const override { return std::nullopt; }
    QImage renderPage(int page, double, const QSet<QString>& hidden) override {
        std::unique_lock lock(mutex);
        rendered.push_back(page);
        hiddenNames.push_back(hidden);
        threads.insert(std::this_thread::get_id());
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(Qt::white);
        return image;
    }
    std::vector<PDFTextBox> textBoxes(int) override { return {}; }
    std::shared_ptr<PDFSearch> beginFind(const QString&, PDFSearchCallbacks) override { return nullptr; }
    void write(const QString&, PDFWriteOptions) const override {}

    void setOpen(bool value) {
        std::lock_guard lock(mutex);
        open = value;
        changed.notify_all();
    }
    bool waitForRenders(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return rendered.size() >= count; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    std::vector<int> rendered;
    std::vector<QSet<QString>> hiddenNames;  // of each render
    std::set<std::thread::id> threads;
};

TEST(PageRendererTest, RendersRequestedPagesOnItsOwnThreadAndAnnouncesEach) {
    testing::testApplication();
    auto pdf = std::make_shared<GatedPDFDocument>();
    PageRenderer renderer(pdf);
    std::vector<int> announced;
    QObject::connect(&renderer, &PageRenderer::pageRendered, [&](int page) { announced.push_back(page); });

    renderer.request({2, 0}, 1.0);
    ASSERT_TRUE(testing::pumpUntil([&] { return announced.size() == 2; }));
    EXPECT_EQ(announced, (std::vector<int>{2, 0}));
    EXPECT_FALSE(renderer.cachedImage(0, 1.0).isNull());
    std::lock_guard lock(pdf->mutex);
    EXPECT_EQ(pdf->threads.size(), 1u);
    EXPECT_FALSE(pdf->threads.contains(std::this_thread::get_id()));
}

TEST(PageRendererTest, DestructionReturnsMidRenderAndTheLatePageGoesNowhere) {
    testing::testApplication();
    auto pdf = std::make_shared<GatedPDFDocument>();
    std::weak_ptr<PDFDocument> held = pdf;
    pdf->setOpen(false);
    auto renderer = std::make_unique<PageRenderer>(pdf);
    int announced = 0;
    QObject::connect(renderer.get(), &PageRenderer::pageRendered, [&](int) { ++announced; });
    renderer->request({0, 1, 2}, 1.0);
    ASSERT_TRUE(pdf->waitForRenders(1));

    renderer.reset();  // page 0 is still being rendered
    pdf->setOpen(true);
    PageRenderer::finishRetiredWorkers();
    testing::pumpFor(std::chrono::milliseconds(50));

    EXPECT_EQ(pdf->rendered, std::vector<int>{0}) << "pages still queued are never rendered";
    EXPECT_EQ(announced, 0);
    pdf.reset();
    EXPECT_TRUE(held.expired()) << "the finished worker let go of the document";
}

TEST(PageRendererTest, ARenderBegunBeforeItsPageLeftAnnotationsOutIsDoneAgain) {
    testing::testApplication();
    auto pdf = std::make_shared<GatedPDFDocument>();
    pdf->setOpen(false);
    PageRenderer renderer(pdf);
    renderer.request({0}, 1.0);
    ASSERT_TRUE(pdf->waitForRenders(1));

    // The view learns of the file's copy of an item while page 0 renders.
    renderer.setHiddenAnnotations(0, HiddenAnnotations{{QStringLiteral("ours")}, {}});
    renderer.request({0}, 1.0);
    pdf->setOpen(true);
    ASSERT_TRUE(
        testing::pumpUntil([&] { return renderer.pendingCount() == 0 && renderer.hasImage(0, 1.0); }));
    {
        std::lock_guard lock(pdf->mutex);
        ASSERT_EQ(pdf->rendered, (std::vector<int>{0, 0}));
        EXPECT_TRUE(pdf->hiddenNames.back().contains(QStringLiteral("ours")));
    }

    // The same list again keeps the image; another drops it, and its bytes
    // leave the shared budget with it.
    renderer.setHiddenAnnotations(0, HiddenAnnotations{{QStringLiteral("ours")}, {}});
    EXPECT_TRUE(renderer.hasImage(0, 1.0));
    renderer.setHiddenAnnotations(0, HiddenAnnotations{});
    EXPECT_FALSE(renderer.hasImage(0, 1.0));
    EXPECT_EQ(renderer.cachedBytes(), 0);
    EXPECT_EQ(PageRenderer::totalCachedBytes(), 0);
}

TEST(PageRendererTest, AllRenderersShareOneImageBudget) {
    testing::testApplication();
    testing::TempDir dir;
    testing::writeFile(dir.file("four.pdf"), testing::simpleDocument(4));
    auto open = [&] {
        return std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file("four.pdf"))));
    };
    PageRenderer first(open());
    PageRenderer second(open());
    // A 612 x 792 page at scale 1 takes about 1.9 MB: room for three pages.
    const qint64 page = 612LL * 792 * 4;
    PageRenderer::setCacheByteLimit(3 * page + page / 2);

    first.request({0, 1, 2}, 1.0);
    ASSERT_TRUE(
        testing::pumpUntil([&] { return first.pendingCount() == 0 && first.cachedBytes() >= 3 * page; }));
    second.request({0, 1}, 1.0);
    ASSERT_TRUE(
        testing::pumpUntil([&] { return second.pendingCount() == 0 && second.cachedBytes() >= 2 * page; }));

    // The second renderer's pages pushed out the first renderer's oldest.
    EXPECT_LE(PageRenderer::totalCachedBytes(), PageRenderer::cacheByteLimit());
    EXPECT_EQ(PageRenderer::totalCachedBytes(), first.cachedBytes() + second.cachedBytes());
    EXPECT_TRUE(first.cachedImage(0, 1.0).isNull());
    EXPECT_TRUE(first.cachedImage(1, 1.0).isNull());
    EXPECT_FALSE(first.cachedImage(2, 1.0).isNull());
    EXPECT_FALSE(second.cachedImage(1, 1.0).isNull());
    PageRenderer::setCacheByteLimit(PageRenderer::defaultCacheByteLimit);
}

TEST(PageRendererTest, ADeepZoomIsRenderedInTilesAtTheWantedScaleThatNeverStandInForThePage) {
    testing::testApplication();
    testing::TempDir dir;
    testing::writeFile(dir.file("one.pdf"), testing::simpleDocument(1));
    PageRenderer renderer(std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file("one.pdf")))));
    renderer.setPageSizes(PageSizes(1, QSizeF(612, 792)));
    constexpr double deep = 16;  // 9792 x 12672 pixels: more than a whole page may take

    EXPECT_FALSE(renderer.usesTiles(0, 2.0));
    EXPECT_TRUE(renderer.tilesCovering(0, 2.0, QRect(0, 0, 800, 600)).empty());
    ASSERT_TRUE(renderer.usesTiles(0, deep));
    // The view's 800 x 600 part across tile borders; the page's last column is narrower.
    const auto tiles = renderer.tilesCovering(0, deep, QRect(500, 100, 800, 600));
    ASSERT_EQ(tiles.size(), 6u);  // columns 0..2, rows 0..1
    EXPECT_EQ(tiles.front().pixels, QRect(0, 0, 512, 512));
    EXPECT_EQ(tiles.back().pixels, QRect(1024, 512, 512, 512));
    const auto edge = renderer.tilesCovering(0, deep, QRect(9750, 12600, 400, 400));
    ASSERT_EQ(edge.size(), 1u);
    EXPECT_EQ(edge.front().pixels, QRect(9728, 12288, 64, 384));

    std::vector<PageRenderer::Wanted> wanted;
    for (const PageRenderer::Tile& tile : tiles) {
        wanted.push_back({0, deep, tile.index});
    }
    wanted.push_back({0, deep, edge.front().index});
    renderer.request(wanted);
    ASSERT_TRUE(
        testing::pumpUntil([&] { return renderer.cachedBytes() == 6 * 512 * 512 * 4 + 64 * 384 * 4; }));
    EXPECT_EQ(renderer.cachedTile(0, deep, tiles.front().index).size(), QSize(512, 512));
    EXPECT_EQ(renderer.cachedTile(0, deep, edge.front().index).size(), QSize(64, 384));
    EXPECT_TRUE(renderer.closestImage(0, deep).isNull()) << "a tile is never drawn over the whole page";
}

}  // namespace
}  // namespace quillet
