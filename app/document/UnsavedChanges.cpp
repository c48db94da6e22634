#include "app/document/UnsavedChanges.h"

#include <unordered_map>

#include "app/document/AnnotationStore.h"

namespace quillet {

namespace {

using Index = std::unordered_map<UUID, UnsavedChanges::Placed>;

Index indexOf(const UnsavedChanges::Pages& pages) {
    Index index;
    for (const auto& [page, items] : pages) {
        for (const AnnotationItem& item : items) {
            index.emplace(item.id, UnsavedChanges::Placed{item, page});
        }
    }
    return index;
}

}  // namespace

UnsavedChanges UnsavedChanges::between(const Pages& baseline, const Pages& current) {
    const Index before = indexOf(baseline);
    UnsavedChanges changes;
    std::unordered_map<UUID, bool> seen;
    for (const auto& [page, items] : current) {
        for (const AnnotationItem& item : items) {
            seen[item.id] = true;
            const auto old = before.find(item.id);
            if (old == before.end()) {
                changes.added_.push_back({item, page});
            } else if (old->second.page != page || !(old->second.item == item)) {
                changes.changed_.push_back({item, page});
            }
        }
    }
    // In baseline order, so a removal is reported where the file had it.
    for (const auto& [page, items] : baseline) {
        for (const AnnotationItem& item : items) {
            if (!seen.contains(item.id)) {
                changes.removed_.push_back(item.id);
            }
        }
    }
    return changes;
}

UnsavedChanges::Outcome UnsavedChanges::applyTo(AnnotationStore& store, const Pages& baseline) const {
    // The store reads pages when first asked: the pages these changes name
    // are read now, so that their items can be found by id.
    for (const auto& [page, items] : baseline) {
        store.loadPage(page);
    }
    for (const std::vector<Placed>* placed : {&added_, &changed_}) {
        for (const Placed& each : *placed) {
            store.loadPage(each.page);
        }
    }
    const Index before = indexOf(baseline);
    Outcome outcome;
    // The other version changed this item (or removed it) since the baseline.
    const auto changedThere = [&](const UUID& id) {
        const std::optional<AnnotationStore::LocatedItem> there = store.locate(id);
        const auto old = before.find(id);
        if (old == before.end()) {
            return false;  // not in the file before: only the user made it
        }
        return !there || !(there->item == old->second.item) || there->page != old->second.page;
    };

    std::vector<StoreChange> members;
    std::map<int, int> appended;  // the next free position at the end of each page
    const auto insertAtEnd = [&](const Placed& placed) {
        if (!store.isPageWritable(placed.page)) {
            outcome.setAside[placed.page].push_back(placed.item);
            return;
        }
        auto [next, fresh] = appended.try_emplace(placed.page, 0);
        if (fresh) {
            next->second = static_cast<int>(store.itemsOnPage(placed.page).size());
        }
        members.push_back(StoreChange::insert(placed.item, placed.page, next->second++));
        ++outcome.applied;
    };

    for (const UUID& id : removed_) {
        if (!store.locate(id)) {
            continue;  // removed there too: nothing to tell
        }
        if (changedThere(id)) {
            ++outcome.conflicts;
        }
        members.push_back(StoreChange::remove({id}));
        ++outcome.applied;
    }
    for (const Placed& placed : changed_) {
        if (changedThere(placed.item.id)) {
            ++outcome.conflicts;
        }
        const std::optional<int> page = store.pageOf(placed.item.id);
        if (page == placed.page) {
            members.push_back(StoreChange::replace({placed.item}));
            ++outcome.applied;
            continue;
        }
        if (page) {
            members.push_back(StoreChange::remove({placed.item.id}));
        }
        insertAtEnd(placed);
    }
    for (const Placed& placed : added_) {
        // The same item in the other version (copied from this one): ours replaces it.
        if (store.pageOf(placed.item.id) == placed.page) {
            members.push_back(StoreChange::replace({placed.item}));
            ++outcome.applied;
            continue;
        }
        if (store.locate(placed.item.id)) {
            members.push_back(StoreChange::remove({placed.item.id}));
        }
        insertAtEnd(placed);
    }
    if (!members.empty()) {
        store.apply(StoreChange::batch(std::move(members)));
    }
    return outcome;
}

}  // namespace quillet
