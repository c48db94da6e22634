#include "app/document/StoreChange.h"

#include <algorithm>

namespace quillet {

StoreChange StoreChange::insert(std::vector<Insertion> insertions) {
    StoreChange change;
    change.kind = Kind::insert;
    change.insertions = std::move(insertions);
    return change;
}

StoreChange StoreChange::insert(AnnotationItem item, int page, int index) {
    return insert({Insertion{std::move(item), page, index}});
}

StoreChange StoreChange::remove(std::vector<UUID> ids) {
    StoreChange change;
    change.kind = Kind::remove;
    change.removals = std::move(ids);
    return change;
}

StoreChange StoreChange::replace(std::vector<AnnotationItem> items) {
    StoreChange change;
    change.kind = Kind::replace;
    change.replacements = std::move(items);
    return change;
}

StoreChange StoreChange::batch(std::vector<StoreChange> members) {
    StoreChange change;
    change.kind = Kind::batch;
    change.members = std::move(members);
    return change;
}

bool StoreChange::isEmpty() const {
    switch (kind) {
    case Kind::insert: return insertions.empty();
    case Kind::remove: return removals.empty();
    case Kind::replace: return replacements.empty();
    case Kind::batch:
        return std::all_of(members.begin(), members.end(), [](const StoreChange& m) { return m.isEmpty(); });
    }
    return true;
}

}  // namespace quillet
