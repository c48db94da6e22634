#include "app/ui/PageLayout.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

constexpr double m = PageLayout::margin;

TEST(PageLayout, PagesStackWithAMarginAroundEveryBreakAndAreCentred)
{
    const PageLayout layout({{100, 200}, {300, 100}}, 2.0, 500);
    EXPECT_EQ(layout.pageCount(), 2);
    // The column is as wide as the widest page plus its margins.
    EXPECT_EQ(layout.pageRect(0), QRectF(208, m, 200, 400));
    EXPECT_EQ(layout.pageRect(1), QRectF(m, m + 400 + 2 * m, 600, 200));
    EXPECT_EQ(layout.contentSize(), QSizeF(600 + 2 * m, m + 400 + 2 * m + 200 + m));
    // A narrow column is widened to the viewport, the page centred in it.
    EXPECT_EQ(PageLayout({{100, 100}}, 1.0, 500).pageRect(0).left(), 200);
    EXPECT_TRUE(layout.pageRect(2).isEmpty());
    EXPECT_TRUE(layout.pageRect(-1).isEmpty());
}

TEST(PageLayout, PageOriginsSitOnWholePixels)
{
    const PageLayout layout({{101, 33.3}, {100, 20}}, 1.0, 300);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(layout.pageRect(i).left(), std::round(layout.pageRect(i).left()));
        EXPECT_EQ(layout.pageRect(i).top(), std::round(layout.pageRect(i).top()));
    }
}

TEST(PageLayout, FitWidthFillsTheViewportBetweenTheMarginsAndIsClamped)
{
    EXPECT_DOUBLE_EQ(PageLayout::fitWidthScale({{100, 100}, {200, 50}}, 400 + 2 * m), 2.0);
    EXPECT_DOUBLE_EQ(PageLayout::fitWidthScale({{1e6, 10}}, 100), PageLayout::minScale);
    EXPECT_DOUBLE_EQ(PageLayout::fitWidthScale({{1, 1}}, 1e6), PageLayout::maxScale);
    EXPECT_DOUBLE_EQ(PageLayout::fitWidthScale({}, 500), 1.0);
    EXPECT_DOUBLE_EQ(PageLayout::clampScale(std::nan("")), 1.0);
}

TEST(PageLayout, VisiblePagesAndTheMostVisibleOne)
{
    // Three pages 100 high: tops at 8, 124, 240.
    const PageLayout layout({{100, 100}, {100, 100}, {100, 100}}, 1.0, 200);
    EXPECT_EQ(layout.pagesIn(QRectF(0, 0, 200, 50)), std::make_pair(0, 0));
    EXPECT_EQ(layout.pagesIn(QRectF(0, 100, 200, 50)), std::make_pair(0, 1));
    const auto inGap = layout.pagesIn(QRectF(0, 110, 200, 10));
    EXPECT_GT(inGap.first, inGap.second) << "a gap between pages shows none of them";
    EXPECT_EQ(layout.mostVisiblePage(QRectF(0, 80, 200, 100)), 1);
    EXPECT_EQ(layout.mostVisiblePage(QRectF(0, 20, 200, 100)), 0);
    EXPECT_EQ(layout.mostVisiblePage(QRectF(0, 1000, 200, 100)), 2);
    EXPECT_EQ(PageLayout().mostVisiblePage(QRectF(0, 0, 10, 10)), 0);
}

}  // namespace
}  // namespace quillet
