#include "core/pdf/XRefTable.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr int kKindShift = 62;
constexpr int kLocationShift = 22;
constexpr uint64_t kIndexMask = (uint64_t{1} << kLocationShift) - 1;
constexpr uint64_t kLocationMask = (uint64_t{1} << 40) - 1;

}  // namespace

XRefEntry XRefTable::entry(int64_t num) const {
    if (num < 0 || num >= size()) return {};
    uint64_t w = slots_[static_cast<size_t>(num)];
    auto kind = static_cast<XRefEntry::Kind>(w >> kKindShift);
    if (kind == XRefEntry::Kind::none) return {};
    return {kind, static_cast<int64_t>((w >> kLocationShift) & kLocationMask),
            static_cast<int64_t>(w & kIndexMask)};
}

void XRefTable::reserve(int64_t slots) {
    slots = std::min(slots, kMaxObjects);
    if (slots > 0 && static_cast<size_t>(slots) > slots_.capacity())
        slots_.reserve(static_cast<size_t>(slots));
}

bool XRefTable::store(int64_t num, XRefEntry e) {
    if (num < 0 || num >= kMaxObjects || e.kind == XRefEntry::Kind::none) return false;
    if (e.kind == XRefEntry::Kind::free) e.location = e.index = 0;
    if (e.location < 0 || e.location >= kLocationLimit || e.index < 0 || e.index >= kIndexLimit) return false;
    if (num < size() && slots_[static_cast<size_t>(num)] != 0) return false;
    if (num >= size()) {
        // Grow geometrically: sections list objects in ascending runs, and
        // growing one slot at a time would copy the table over and over.
        size_t wanted = static_cast<size_t>(num) + 1;
        if (wanted > slots_.capacity())
            slots_.reserve(
                std::min<size_t>(std::max(wanted, slots_.capacity() * 2), static_cast<size_t>(kMaxObjects)));
        slots_.resize(wanted, 0);
    }
    slots_[static_cast<size_t>(num)] = (static_cast<uint64_t>(e.kind) << kKindShift) |
                                       (static_cast<uint64_t>(e.location) << kLocationShift) |
                                       static_cast<uint64_t>(e.index);
    return true;
}

}  // namespace quillet
