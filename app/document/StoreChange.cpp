#include "app/document/StoreChange.h"

#include <algorithm>

namespace quillet {

bool StoreChange::Batch::operator==(const Batch& other) const {
    return members == other.members;
}

StoreChange StoreChange::insert(std::vector<Insertion> insertions) {
    return StoreChange{Insert{std::move(insertions)}};
}

StoreChange StoreChange::insert(AnnotationItem item, int page, int index) {
    return insert({Insertion{std::move(item), page, index}});
}

StoreChange StoreChange::remove(std::vector<UUID> ids) {
    return StoreChange{Remove{std::move(ids)}};
}

StoreChange StoreChange::replace(std::vector<AnnotationItem> items) {
    return StoreChange{Replace{std::move(items)}};
}

StoreChange StoreChange::batch(std::vector<StoreChange> members) {
    return StoreChange{Batch{std::move(members)}};
}

bool StoreChange::isEmpty() const {
    if (const Batch* batch = asBatch()) {
        return std::all_of(batch->members.begin(), batch->members.end(),
                           [](const StoreChange& member) { return member.isEmpty(); });
    }
    return std::visit(
        [](const auto& change) {
            using Kind = std::decay_t<decltype(change)>;
            if constexpr (std::is_same_v<Kind, Insert>) return change.insertions.empty();
            if constexpr (std::is_same_v<Kind, Remove>) return change.ids.empty();
            if constexpr (std::is_same_v<Kind, Replace>) return change.items.empty();
            return true;
        },
        value);
}

}  // namespace quillet
