#include "app/document/StoreCommand.h"

#include <QUndoStack>
#include <algorithm>
#include <tuple>

namespace quillet {
namespace {

// The change that takes back `change` (not a batch) if it were applied to the
// store now: insertions become removals, removals insertions at the items'
// current places, replacements replacements by the current values.
StoreChange inverseOf(const AnnotationStore& store, const StoreChange& change) {
    if (const auto* insert = std::get_if<StoreChange::Insert>(&change.value)) {
        std::vector<UUID> ids;
        for (const StoreChange::Insertion& insertion : insert->insertions) {
            ids.push_back(insertion.item.id);
        }
        return StoreChange::remove(std::move(ids));
    }
    if (const auto* remove = std::get_if<StoreChange::Remove>(&change.value)) {
        std::vector<StoreChange::Insertion> restore;
        for (const UUID& id : remove->ids) {
            if (auto located = store.locate(id)) {
                restore.push_back({std::move(located->item), located->page, located->index});
            }
        }
        // Put back in ascending order, so every item lands at its old index.
        std::sort(restore.begin(), restore.end(), [](const auto& a, const auto& b) {
            return std::tie(a.page, a.index) < std::tie(b.page, b.index);
        });
        return StoreChange::insert(std::move(restore));
    }
    std::vector<AnnotationItem> previous;
    if (const auto* replace = std::get_if<StoreChange::Replace>(&change.value)) {
        for (const AnnotationItem& item : replace->items) {
            if (auto located = store.locate(item.id)) {
                previous.push_back(std::move(located->item));
            }
        }
    }
    return StoreChange::replace(std::move(previous));
}

// Whether the items `a` gives are those `b` gives, but for when they were
// last modified: a style visit that came back to the start.
bool sameButForModification(const StoreChange& a, const StoreChange& b) {
    const auto* first = std::get_if<StoreChange::Replace>(&a.value);
    const auto* second = std::get_if<StoreChange::Replace>(&b.value);
    if (first == nullptr || second == nullptr || first->items.size() != second->items.size()) {
        return a == b;
    }
    for (size_t i = 0; i < first->items.size(); ++i) {
        AnnotationItem item = first->items[i];
        item.modified = second->items[i].modified;
        if (!(item == second->items[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

void AppliedChanges::apply(AnnotationStore& store, const StoreChange& change) {
    if (const StoreChange::Batch* batch = change.asBatch()) {
        for (const StoreChange& member : batch->members) {
            apply(store, member);
        }
        return;
    }
    backward_.push_back(inverseOf(store, change));
    store.apply(change);
    forward_.push_back(change);
}

bool AppliedChanges::isEmpty() const {
    return std::all_of(forward_.begin(), forward_.end(), [](const StoreChange& c) { return c.isEmpty(); });
}

StoreChange AppliedChanges::forward() const {
    return forward_.size() == 1 ? forward_.front() : StoreChange::batch(forward_);
}

StoreChange AppliedChanges::backward() const {
    if (backward_.size() == 1) {
        return backward_.front();
    }
    return StoreChange::batch(std::vector<StoreChange>(backward_.rbegin(), backward_.rend()));
}

StoreCommand::StoreCommand(AnnotationStore& store, const QString& name, StoreChange forward,
                           std::optional<StoreChange> backward, int mergeKey)
    : QUndoCommand(name),
      store_(store),
      forward_(std::move(forward)),
      backward_(std::move(backward)),
      mergeKey_(mergeKey) {}

void StoreCommand::push(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange change,
                        int mergeKey) {
    if (change.isEmpty()) {
        return;
    }
    stack.push(new StoreCommand(store, name, std::move(change), std::nullopt, mergeKey));
}

void StoreCommand::record(QUndoStack& stack, AnnotationStore& store, const QString& name,
                          const AppliedChanges& applied) {
    if (applied.isEmpty()) {
        return;
    }
    auto* command = new StoreCommand(store, name, applied.forward(), applied.backward(), 0);
    command->skipRedo_ = true;
    stack.push(command);
}

bool StoreCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const StoreCommand*>(other);
    if (next == nullptr || mergeKey_ == 0 || next->mergeKey_ != mergeKey_ || &next->store_ != &store_) {
        return false;
    }
    forward_ = next->forward_;
    if (backward_ && sameButForModification(forward_, *backward_)) {
        // Back where the visit began: the store exactly so, and no step left.
        store_.apply(*backward_);
        setObsolete(true);
    }
    return true;
}

void StoreCommand::redo() {
    if (skipRedo_) {
        skipRedo_ = false;
        return;
    }
    if (!backward_) {
        AppliedChanges applied;
        applied.apply(store_, forward_);
        backward_ = applied.backward();
        return;
    }
    store_.apply(forward_);
}

void StoreCommand::undo() {
    if (backward_) {
        store_.apply(*backward_);
    }
}

}  // namespace quillet
