#include "app/ui/PageRenderer.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(PageRendererTest, AllRenderersShareOneImageBudget)
{
    testing::testApplication();
    testing::TempDir dir;
    testing::writeFile(dir.file("four.pdf"), testing::simpleDocument(4));
    auto open = [&] { return std::shared_ptr<PDFDocument>(openPDFDocument(testing::qpath(dir.file("four.pdf")))); };
    PageRenderer first(open());
    PageRenderer second(open());
    // A 612 x 792 page at scale 1 takes about 1.9 MB: room for three pages.
    const qint64 page = 612LL * 792 * 4;
    PageRenderer::setCacheByteLimit(3 * page + page / 2);

    first.request({0, 1, 2}, 1.0);
    ASSERT_TRUE(testing::pumpUntil([&] { return first.pendingCount() == 0 && first.cachedBytes() >= 3 * page; }));
    second.request({0, 1}, 1.0);
    ASSERT_TRUE(testing::pumpUntil([&] { return second.pendingCount() == 0 && second.cachedBytes() >= 2 * page; }));

    // The second renderer's pages pushed out the first renderer's oldest.
    EXPECT_LE(PageRenderer::totalCachedBytes(), PageRenderer::cacheByteLimit());
    EXPECT_EQ(PageRenderer::totalCachedBytes(), first.cachedBytes() + second.cachedBytes());
    EXPECT_TRUE(first.cachedImage(0, 1.0).isNull());
    EXPECT_TRUE(first.cachedImage(1, 1.0).isNull());
    EXPECT_FALSE(first.cachedImage(2, 1.0).isNull());
    EXPECT_FALSE(second.cachedImage(1, 1.0).isNull());
    PageRenderer::setCacheByteLimit(PageRenderer::defaultCacheByteLimit);
}

}  // namespace
}  // namespace quillet
