// Where each page sits in the continuous column of the page view, in view
// pixels (device-independent), for given page sizes in points and a scale.
// Pages are centred horizontally, one below the other, with a margin around
// each page break and the column's edges.
#pragma once

#include <vector>

#include <QRectF>
#include <QSizeF>

namespace quillet {

class PageLayout {
public:
    static constexpr double margin = 8;
    static constexpr double minScale = 0.1;
    static constexpr double maxScale = 16;

    static double clampScale(double scale);
    // The scale at which the widest page fills `viewportWidth` minus the margins.
    static double fitWidthScale(const std::vector<QSizeF>& pageSizes, double viewportWidth);

    PageLayout() = default;
    // `pageSizes` are the displayed (rotated) sizes in points.
    PageLayout(std::vector<QSizeF> pageSizes, double scale, double viewportWidth);

    double scale() const { return scale_; }
    int pageCount() const { return static_cast<int>(rects_.size()); }
    QSizeF contentSize() const { return contentSize_; }
    // The page's rectangle; empty for an index out of range.
    QRectF pageRect(int pageIndex) const;

    // The pages that intersect `area` (first, last inclusive); first > last
    // when none does.
    std::pair<int, int> pagesIn(const QRectF& area) const;
    // The page showing the most of `area`; the earlier one on a tie, 0 when
    // no page is in it.
    int mostVisiblePage(const QRectF& area) const;

private:
    std::vector<QRectF> rects_;
    QSizeF contentSize_;
    double scale_ = 1;
};

}  // namespace quillet
