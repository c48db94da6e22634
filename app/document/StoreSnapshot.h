// What a save or the recovery journal sees of a store: the item lists of
// every page touched since the document was opened (the draft included) and
// the generation they belong to.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "core/markup/AnnotationItem.h"

namespace quillet {

struct StoreSnapshot {
    std::map<int, std::vector<AnnotationItem>> pages;
    int64_t generation = 0;

    bool operator==(const StoreSnapshot&) const = default;
};

}  // namespace quillet
