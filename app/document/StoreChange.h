// One change to the markup of a document, as a plain value: items inserted at
// positions, items removed or replaced by identifier, or a batch of changes
// applied in order. Undo commands hold one for each direction.
#pragma once

#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/UUID.h"

namespace quillet {

struct StoreChange {
    enum class Kind { insert, remove, replace, batch };

    struct Insertion {
        AnnotationItem item;
        int page = 0;
        // Position in the page's drawing order; clamped into 0...list length.
        int index = 0;

        bool operator==(const Insertion&) const = default;
    };

    Kind kind = Kind::batch;
    std::vector<Insertion> insertions;        // insert
    std::vector<UUID> removals;               // remove
    std::vector<AnnotationItem> replacements;  // replace: each by its identifier
    std::vector<StoreChange> members;         // batch, applied in order

    static StoreChange insert(std::vector<Insertion> insertions);
    static StoreChange insert(AnnotationItem item, int page, int index);
    static StoreChange remove(std::vector<UUID> ids);
    static StoreChange replace(std::vector<AnnotationItem> items);
    static StoreChange batch(std::vector<StoreChange> members);

    // True when the change's list is empty or, for a batch, every member is.
    bool isEmpty() const;

    bool operator==(const StoreChange&) const = default;
};

}  // namespace quillet
