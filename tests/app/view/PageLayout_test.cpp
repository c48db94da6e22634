#include "app/view/PageLayout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillet {
namespace {

// The column laid out page by page, as the layout must place them.
std::vector<QRectF> onePageAtATime(const std::vector<QSizeF>& sizes, double scale, double viewportWidth) {
    double widest = 0;
    for (const QSizeF& size : sizes) widest = std::max(widest, size.width() * scale);
    const double column = std::max(widest + 2 * PageLayout::margin, viewportWidth);
    std::vector<QRectF> rects;
    double y = PageLayout::margin;
    for (const QSizeF& size : sizes) {
        const double w = size.width() * scale, h = size.height() * scale;
        rects.emplace_back(std::round((column - w) / 2), std::round(y), w, h);
        y += h + 2 * PageLayout::margin;
    }
    return rects;
}

TEST(PageLayout, RunsOfSizesLayOutAsPageByPageDoes) {
    // Letter pages, a landscape spread, an odd size in the middle, letter again.
    std::vector<QSizeF> sizes(40, QSizeF(612, 792));
    PageSizes runs(40, QSizeF(612, 792));
    std::vector<QSizeF> changed = {{792, 612}, {792, 612}, {500.3, 700.7}};
    runs.assign(10, changed);
    std::copy(changed.begin(), changed.end(), sizes.begin() + 10);
    runs.assign(38, {{595, 842}, {595, 842}, {595, 842}});  // one past the end: ignored
    sizes[38] = sizes[39] = QSizeF(595, 842);
    ASSERT_EQ(runs.runs().size(), 5u);
    for (int page = 0; page < 40; ++page) EXPECT_EQ(runs.at(page), sizes[size_t(page)]) << page;
    EXPECT_EQ(runs.at(40), QSizeF());

    for (const double scale : {0.1, 0.77, 1.0, 2.35}) {
        const PageLayout layout(runs, scale, 900);
        const std::vector<QRectF> expected = onePageAtATime(sizes, scale, 900);
        for (int page = 0; page < 40; ++page)
            EXPECT_EQ(layout.pageRect(page), expected[size_t(page)]) << page;
        EXPECT_NEAR(layout.contentSize().height(), expected.back().bottom() + PageLayout::margin, 1);
        // Every band of the column, at edges and in gaps: the pages in it.
        for (double top = -20; top < layout.contentSize().height() + 20; top += 37.3) {
            const QRectF area(0, top, 900, 250);
            int first = 40, last = -1;
            for (int page = 0; page < 40; ++page) {
                const QRectF& r = expected[size_t(page)];
                if (r.bottom() > area.top() && r.top() < area.bottom())
                    first = std::min(first, page), last = page;
            }
            const auto [gotFirst, gotLast] = layout.pagesIn(area);
            if (last >= 0) {
                EXPECT_EQ(gotFirst, first) << scale << " " << top;
                EXPECT_EQ(gotLast, last) << scale << " " << top;
            } else {
                EXPECT_GT(gotFirst, gotLast) << scale << " " << top;
            }
        }
    }
}

TEST(PageLayout, ALongDocumentOfOneSizeIsOneRun) {
    PageSizes sizes(1'000'000, QSizeF(612, 792));
    sizes.assign(0, {{612, 792}, {612, 792}});
    EXPECT_EQ(sizes.runs().size(), 1u);
    const PageLayout layout(sizes, 1, 700);
    EXPECT_EQ(layout.pageCount(), 1'000'000);
    const QRectF last = layout.pageRect(999'999);
    EXPECT_EQ(last.top(), std::round(8 + 999'999.0 * (792 + 16)));
    EXPECT_EQ(layout.pagesIn(last.adjusted(0, 10, 0, -10)), std::make_pair(999'999, 999'999));
    EXPECT_EQ(layout.mostVisiblePage(QRectF(0, last.top() - 400, 700, 800)), 999'999);
}

}  // namespace
}  // namespace quillet
