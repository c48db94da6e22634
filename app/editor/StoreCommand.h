// One undo step of markup: a store change and the change that takes it back,
// naming items by identifier (never by pointer), under an action name the
// undo menu shows. Works on any QUndoStack and store the caller owns.
#pragma once

#include <QUndoCommand>

#include "app/document/AnnotationStore.h"
#include "app/document/StoreChange.h"

namespace quillet {

class StoreCommand : public QUndoCommand {
public:
    // `forward` is applied by the first redo (QUndoStack::push does that);
    // `backward` must take the store back to the state before it.
    StoreCommand(AnnotationStore& store, const QString& name, StoreChange forward, StoreChange backward);

    // Applies `change` through the stack as one named step, with its inverse
    // computed against the store as it is now. Empty changes push nothing.
    static void push(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange change);
    // Registers a step whose change the store already holds (an eraser
    // gesture applies its removals as it goes): the first redo does nothing.
    static void record(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange applied,
                       StoreChange backward);

    // The change that undoes `change` if it were applied to the store now:
    // insertions become removals, removals insertions at the items' current
    // places, replacements replacements by the current values; a batch is
    // undone member by member in reverse order (its members must name
    // distinct items).
    static StoreChange inverse(const AnnotationStore& store, const StoreChange& change);

    // Steps pushed with the same key one after another join into one (the
    // changes of one style popover visit): the first step's way back, the
    // last step's change.
    void setMergeKey(int key) { mergeKey_ = key; }
    int id() const override { return mergeKey_ != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override;

    void undo() override;
    void redo() override;

    const StoreChange& forward() const { return forward_; }
    const StoreChange& backward() const { return backward_; }

private:
    AnnotationStore& store_;
    StoreChange forward_;
    StoreChange backward_;
    bool skipRedo_ = false;
    int mergeKey_ = 0;
};

}  // namespace quillet
