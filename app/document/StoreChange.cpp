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
    if (const auto* insert = std::get_if<Insert>(&value)) return insert->insertions.empty();
    if (const auto* remove = std::get_if<Remove>(&value)) return remove->ids.empty();
    if (const auto* replace = std::get_if<Replace>(&value)) return replace->items.empty();
    const std::vector<StoreChange>& members = std::get<Batch>(value).members;
    return std::all_of(members.begin(), members.end(),
                       [](const StoreChange& member) { return member.isEmpty(); });
}

}  // namespace quillet
