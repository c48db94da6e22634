#include "app/ui/PageLayout.h"

#include <algorithm>
#include <cmath>

namespace quillet {

double PageLayout::clampScale(double scale)
{
    if (!std::isfinite(scale)) {
        return 1;
    }
    return std::clamp(scale, minScale, maxScale);
}

double PageLayout::fitWidthScale(const std::vector<QSizeF>& pageSizes, double viewportWidth)
{
    double widest = 0;
    for (const QSizeF& size : pageSizes) {
        widest = std::max(widest, size.width());
    }
    if (widest <= 0) {
        return 1;
    }
    return clampScale((viewportWidth - 2 * margin) / widest);
}

PageLayout::PageLayout(std::vector<QSizeF> pageSizes, double scale, double viewportWidth)
    : scale_(clampScale(scale))
{
    double widest = 0;
    for (const QSizeF& size : pageSizes) {
        widest = std::max(widest, size.width() * scale_);
    }
    const double columnWidth = std::max(widest + 2 * margin, viewportWidth);
    double y = margin;
    rects_.reserve(pageSizes.size());
    for (const QSizeF& size : pageSizes) {
        const double w = size.width() * scale_;
        const double h = size.height() * scale_;
        // Whole-pixel origins keep a page image aligned with the screen's pixels.
        rects_.emplace_back(std::round((columnWidth - w) / 2), std::round(y), w, h);
        y += h + 2 * margin;
    }
    const double height = rects_.empty() ? 2 * margin : y - margin;
    contentSize_ = QSizeF(columnWidth, height);
}

QRectF PageLayout::pageRect(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount()) {
        return {};
    }
    return rects_[static_cast<size_t>(pageIndex)];
}

std::pair<int, int> PageLayout::pagesIn(const QRectF& area) const
{
    // Rectangles are sorted by y, so the visible ones form one run.
    const auto below = [](const QRectF& r, double top) { return r.bottom() <= top; };
    const auto first = std::lower_bound(rects_.begin(), rects_.end(), area.top(), below);
    int firstIndex = static_cast<int>(first - rects_.begin());
    int lastIndex = firstIndex - 1;
    for (auto it = first; it != rects_.end() && it->top() < area.bottom(); ++it) {
        lastIndex = static_cast<int>(it - rects_.begin());
    }
    return {firstIndex, lastIndex};
}

int PageLayout::mostVisiblePage(const QRectF& area) const
{
    const auto [first, last] = pagesIn(area);
    int best = std::clamp(first, 0, std::max(pageCount() - 1, 0));
    double bestHeight = 0;
    for (int i = first; i <= last; ++i) {
        const QRectF& r = rects_[static_cast<size_t>(i)];
        const double h = std::min(r.bottom(), area.bottom()) - std::max(r.top(), area.top());
        if (h > bestHeight) {
            best = i;
            bestHeight = h;
        }
    }
    return best;
}

}  // namespace quillet
