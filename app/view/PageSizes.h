// The displayed (rotated) sizes of a document's pages in points, kept as runs
// of equal sizes: a document whose pages share one size is one run however
// many pages it has, so holding, changing and laying out the sizes costs by
// the number of size changes along the document, not by its pages.
#pragma once

#include <QSizeF>
#include <vector>

namespace quillet {

class PageSizes {
  public:
    struct Run {
        int first = 0;
        int count = 0;
        QSizeF size;
        bool operator==(const Run&) const = default;
    };

    PageSizes() = default;
    // `count` pages of `size`.
    PageSizes(int count, QSizeF size);

    int count() const { return count_; }
    // Empty for an index out of range.
    QSizeF at(int page) const;
    // Pages first, first + 1, ... take `sizes` (those past the end are ignored).
    void assign(int first, const std::vector<QSizeF>& sizes);

    const std::vector<Run>& runs() const { return runs_; }
    // The widest page's width; 0 without pages.
    double widestWidth() const;

    bool operator==(const PageSizes&) const = default;

  private:
    static void append(std::vector<Run>& runs, QSizeF size, int count);

    std::vector<Run> runs_;
    int count_ = 0;
};

}  // namespace quillet
