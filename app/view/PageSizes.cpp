#include "app/view/PageSizes.h"

#include <algorithm>

namespace quillet {

PageSizes::PageSizes(int count, QSizeF size) : count_(std::max(count, 0)) {
    append(runs_, size, count_);
}

QSizeF PageSizes::at(int page) const {
    if (page < 0 || page >= count_) {
        return {};
    }
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), page,
                                        [](int p, const Run& run) { return p < run.first; });
    return std::prev(after)->size;
}

void PageSizes::assign(int first, const std::vector<QSizeF>& sizes) {
    const int begin = std::clamp(first, 0, count_);
    const int end = std::clamp(first + static_cast<int>(sizes.size()), begin, count_);
    if (begin == end) {
        return;
    }
    // One pass: the runs before the range, the range, the runs after it.
    std::vector<Run> merged;
    merged.reserve(runs_.size() + 2);
    for (const Run& run : runs_) {
        append(merged, run.size, std::min(run.first + run.count, begin) - run.first);
    }
    for (int page = begin; page < end; ++page) {
        append(merged, sizes[static_cast<size_t>(page - first)], 1);
    }
    for (const Run& run : runs_) {
        const int from = std::max(run.first, end);
        append(merged, run.size, run.first + run.count - from);
    }
    runs_ = std::move(merged);
}

double PageSizes::widestWidth() const {
    double widest = 0;
    for (const Run& run : runs_) {
        widest = std::max(widest, run.size.width());
    }
    return widest;
}

void PageSizes::append(std::vector<Run>& runs, QSizeF size, int count) {
    if (count <= 0) {
        return;
    }
    if (!runs.empty() && runs.back().size == size) {
        runs.back().count += count;
        return;
    }
    const int first = runs.empty() ? 0 : runs.back().first + runs.back().count;
    runs.push_back(Run{first, count, size});
}

}  // namespace quillet
