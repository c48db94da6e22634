#include "app/editor/StoreCommand.h"

#include <algorithm>
#include <tuple>

#include <QUndoStack>

namespace quillet {

StoreCommand::StoreCommand(AnnotationStore& store, const QString& name, StoreChange forward, StoreChange backward)
    : QUndoCommand(name), store_(store), forward_(std::move(forward)), backward_(std::move(backward))
{
}

void StoreCommand::push(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange change)
{
    if (change.isEmpty()) {
        return;
    }
    StoreChange backward = inverse(store, change);
    stack.push(new StoreCommand(store, name, std::move(change), std::move(backward)));
}

void StoreCommand::record(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange applied,
                          StoreChange backward)
{
    if (applied.isEmpty()) {
        return;
    }
    auto* command = new StoreCommand(store, name, std::move(applied), std::move(backward));
    command->skipRedo_ = true;
    stack.push(command);
}

StoreChange StoreCommand::inverse(const AnnotationStore& store, const StoreChange& change)
{
    switch (change.kind) {
    case StoreChange::Kind::insert: {
        std::vector<UUID> ids;
        for (const StoreChange::Insertion& insertion : change.insertions) {
            ids.push_back(insertion.item.id);
        }
        return StoreChange::remove(std::move(ids));
    }
    case StoreChange::Kind::remove: {
        std::vector<StoreChange::Insertion> restore;
        for (const UUID& id : change.removals) {
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
    case StoreChange::Kind::replace: {
        std::vector<AnnotationItem> previous;
        for (const AnnotationItem& item : change.replacements) {
            if (auto located = store.locate(item.id)) {
                previous.push_back(std::move(located->item));
            }
        }
        return StoreChange::replace(std::move(previous));
    }
    case StoreChange::Kind::batch:
        break;
    }
    std::vector<StoreChange> members;
    for (auto it = change.members.rbegin(); it != change.members.rend(); ++it) {
        members.push_back(inverse(store, *it));
    }
    return StoreChange::batch(std::move(members));
}

bool StoreCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = dynamic_cast<const StoreCommand*>(other);
    if (next == nullptr || mergeKey_ == 0 || next->mergeKey_ != mergeKey_ || &next->store_ != &store_) {
        return false;
    }
    forward_ = next->forward_;
    return true;
}

void StoreCommand::redo()
{
    if (skipRedo_) {
        skipRedo_ = false;
        return;
    }
    store_.apply(forward_);
}

void StoreCommand::undo()
{
    store_.apply(backward_);
}

}  // namespace quillet
