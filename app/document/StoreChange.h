// One change to the markup of a document, as a plain value: items inserted at
// positions, items removed or replaced by identifier, or a batch of changes
// applied in order; exactly one of these. Undo commands hold one for each
// direction.
#pragma once

#include <variant>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/UUID.h"

namespace quillet {

struct StoreChange {
    struct Insertion {
        AnnotationItem item;
        int page = 0;
        // Position in the page's drawing order; clamped into 0...list length.
        int index = 0;

        bool operator==(const Insertion&) const = default;
    };
    struct Insert {
        std::vector<Insertion> insertions;
        bool operator==(const Insert&) const = default;
    };
    struct Remove {
        std::vector<UUID> ids;
        bool operator==(const Remove&) const = default;
    };
    struct Replace {
        std::vector<AnnotationItem> items;  // each by its identifier
        bool operator==(const Replace&) const = default;
    };
    struct Batch {
        std::vector<StoreChange> members;  // applied in order
        bool operator==(const Batch& other) const;
    };

    std::variant<Insert, Remove, Replace, Batch> value = Batch{};

    static StoreChange insert(std::vector<Insertion> insertions);
    static StoreChange insert(AnnotationItem item, int page, int index);
    static StoreChange remove(std::vector<UUID> ids);
    static StoreChange replace(std::vector<AnnotationItem> items);
    static StoreChange batch(std::vector<StoreChange> members);

    // The batch, or null for another kind of change.
    const Batch* asBatch() const { return std::get_if<Batch>(&value); }

    // True when the change's list is empty or, for a batch, every member is.
    bool isEmpty() const;

    bool operator==(const StoreChange&) const = default;
};

}  // namespace quillet
