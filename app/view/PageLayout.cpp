#include "app/view/PageLayout.h"

#include <algorithm>
#include <cmath>

namespace quillet {

double PageLayout::clampScale(double scale) {
    if (!std::isfinite(scale)) {
        return 1;
    }
    return std::clamp(scale, minScale, maxScale);
}

double PageLayout::fitWidthScale(const PageSizes& pageSizes, double viewportWidth) {
    const double widest = pageSizes.widestWidth();
    if (widest <= 0) {
        return 1;
    }
    return clampScale((viewportWidth - 2 * margin) / widest);
}

// Whole-pixel origins keep a page image aligned with the screen's pixels.
double PageLayout::Band::pageTop(int k) const {
    return std::round(top + k * pitch());
}

PageLayout::PageLayout(const PageSizes& pageSizes, double scale, double viewportWidth)
    : pageCount_(pageSizes.count()), scale_(clampScale(scale)) {
    const double columnWidth = std::max(pageSizes.widestWidth() * scale_ + 2 * margin, viewportWidth);
    double y = margin;
    bands_.reserve(pageSizes.runs().size());
    for (const PageSizes::Run& run : pageSizes.runs()) {
        Band band;
        band.first = run.first;
        band.count = run.count;
        band.top = y;
        band.width = run.size.width() * scale_;
        band.height = run.size.height() * scale_;
        band.left = std::round((columnWidth - band.width) / 2);
        bands_.push_back(band);
        y += band.count * band.pitch();
    }
    const double height = bands_.empty() ? 2 * margin : y - margin;
    contentSize_ = QSizeF(columnWidth, height);
}

const PageLayout::Band* PageLayout::bandOf(int pageIndex) const {
    if (pageIndex < 0 || pageIndex >= pageCount_) {
        return nullptr;
    }
    const auto after = std::upper_bound(bands_.begin(), bands_.end(), pageIndex,
                                        [](int page, const Band& band) { return page < band.first; });
    return &*std::prev(after);
}

QRectF PageLayout::pageRect(int pageIndex) const {
    const Band* band = bandOf(pageIndex);
    if (band == nullptr) {
        return {};
    }
    return QRectF(band->left, band->pageTop(pageIndex - band->first), band->width, band->height);
}

int PageLayout::pagesEndingBy(double y) const {
    // Pages are sorted by y: skip the bands that end by y, then count within one.
    const auto band = std::partition_point(
        bands_.begin(), bands_.end(), [y](const Band& b) { return b.pageTop(b.count - 1) + b.height <= y; });
    if (band == bands_.end()) {
        return pageCount_;
    }
    int k = std::clamp(static_cast<int>(std::floor((y - band->top - band->height) / band->pitch())) + 1, 0,
                       band->count);
    // The rounding of the tops may put the estimate one page off.
    while (k < band->count && band->pageTop(k) + band->height <= y) {
        ++k;
    }
    while (k > 0 && band->pageTop(k - 1) + band->height > y) {
        --k;
    }
    return band->first + k;
}

int PageLayout::pagesStartingAbove(double y) const {
    const auto band = std::partition_point(bands_.begin(), bands_.end(),
                                           [y](const Band& b) { return b.pageTop(b.count - 1) < y; });
    if (band == bands_.end()) {
        return pageCount_;
    }
    int k = std::clamp(static_cast<int>(std::ceil((y - band->top) / band->pitch())), 0, band->count);
    while (k < band->count && band->pageTop(k) < y) {
        ++k;
    }
    while (k > 0 && band->pageTop(k - 1) >= y) {
        --k;
    }
    return band->first + k;
}

std::pair<int, int> PageLayout::pagesIn(const QRectF& area) const {
    const int first = pagesEndingBy(area.top());
    const int last = std::max(pagesStartingAbove(area.bottom()) - 1, first - 1);
    return {first, last};
}

int PageLayout::mostVisiblePage(const QRectF& area) const {
    const auto [first, last] = pagesIn(area);
    int best = std::clamp(first, 0, std::max(pageCount() - 1, 0));
    double bestHeight = 0;
    for (int i = first; i <= last; ++i) {
        const QRectF r = pageRect(i);
        const double h = std::min(r.bottom(), area.bottom()) - std::max(r.top(), area.top());
        if (h > bestHeight) {
            best = i;
            bestHeight = h;
        }
    }
    return best;
}

}  // namespace quillet
