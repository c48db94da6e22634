// Where each page sits in the continuous column of the page view, in view
// pixels (device-independent), for given page sizes in points and a scale.
// Pages are centred horizontally, one below the other, with a margin around
// each page break and the column's edges. Kept per run of equal page sizes
// (PageSizes): a relayout, a page's rectangle and the pages in an area cost
// by the runs, never by the document's pages.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <utility>
#include <vector>

#include "app/view/PageSizes.h"

namespace quillet {

class PageLayout {
  public:
    static constexpr double margin = 8;
    static constexpr double minScale = 0.1;
    static constexpr double maxScale = 16;

    static double clampScale(double scale);
    // The scale at which the widest page fills `viewportWidth` minus the margins.
    static double fitWidthScale(const PageSizes& pageSizes, double viewportWidth);

    PageLayout() = default;
    PageLayout(const PageSizes& pageSizes, double scale, double viewportWidth);

    double scale() const { return scale_; }
    int pageCount() const { return pageCount_; }
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
    // A run of pages of one size, laid out one below the other.
    struct Band {
        int first = 0;
        int count = 0;
        double top = 0;  // of its first page, before rounding
        double left = 0;
        double width = 0;
        double height = 0;
        double pitch() const { return height + 2 * margin; }
        double pageTop(int k) const;
    };
    const Band* bandOf(int pageIndex) const;
    // How many pages end at or above y; how many start above y.
    int pagesEndingBy(double y) const;
    int pagesStartingAbove(double y) const;

    std::vector<Band> bands_;
    int pageCount_ = 0;
    QSizeF contentSize_;
    double scale_ = 1;
};

}  // namespace quillet
