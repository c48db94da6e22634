// One undo step of markup: a store change and the change that takes it back,
// naming items by identifier (never by pointer), under an action name the
// undo menu shows. Works on any QUndoStack and store the caller owns.
#pragma once

#include <QUndoCommand>
#include <optional>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/document/StoreChange.h"

class QUndoStack;

namespace quillet {

// Changes applied to a store one after another, each noted with the change
// that takes it back as the store was just before it: what a step records.
// The one place where a change is inverted: a batch member by member, its
// way back the members' in reverse order.
class AppliedChanges {
  public:
    // Applies `change` to `store` and notes it.
    void apply(AnnotationStore& store, const StoreChange& change);

    bool isEmpty() const;
    // Everything applied, in order.
    StoreChange forward() const;
    // What takes it all back: the inverses, last first.
    StoreChange backward() const;

  private:
    std::vector<StoreChange> forward_;
    std::vector<StoreChange> backward_;
};

class StoreCommand : public QUndoCommand {
  public:
    // Applies `change` through the stack as one named step (its first redo
    // applies it). Steps pushed one after another with the same non-zero
    // `mergeKey` join into one (the changes of one style popover visit); a
    // joined step that ends where it began takes the store back to its start
    // and leaves the stack. Empty changes push nothing.
    static void push(QUndoStack& stack, AnnotationStore& store, const QString& name, StoreChange change,
                     int mergeKey = 0);
    // Registers a step whose changes the store already holds (an eraser
    // gesture applies its removals as it goes): the first redo does nothing.
    static void record(QUndoStack& stack, AnnotationStore& store, const QString& name,
                       const AppliedChanges& applied);

    int id() const override { return mergeKey_ != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override;

    void undo() override;
    void redo() override;

    const StoreChange& forward() const { return forward_; }
    // Known once the step was first applied.
    const std::optional<StoreChange>& backward() const { return backward_; }

  private:
    StoreCommand(AnnotationStore& store, const QString& name, StoreChange forward,
                 std::optional<StoreChange> backward, int mergeKey);

    AnnotationStore& store_;
    StoreChange forward_;
    std::optional<StoreChange> backward_;  // computed by the first redo
    bool skipRedo_ = false;
    int mergeKey_ = 0;
};

}  // namespace quillet
