// The changes of one visit to the style popover: each restyles one item at
// once, and all changes to that item until the visit ends join into one
// undo step "Style Change" (none when the visit ends where it began).
#pragma once

#include <chrono>
#include <optional>

#include "app/document/AnnotationStore.h"
#include "core/markup/ToolStyle.h"

class QUndoStack;

namespace quillet {

class StyleSession {
  public:
    StyleSession(QUndoStack& undoStack, AnnotationStore& store) : undoStack_(undoStack), store_(store) {}

    // Gives the item `id` the colour, line width and, for text, the font
    // size and box of `style`, modified at `now`.
    void apply(const ToolStyle& style, const UUID& id, std::chrono::sys_seconds now);
    // The next change starts a step of its own.
    void end();

    // `item` with the parts of `style` its kind has.
    static AnnotationItem restyled(AnnotationItem item, const ToolStyle& style);

  private:
    QUndoStack& undoStack_;
    AnnotationStore& store_;
    std::optional<UUID> item_;
    // The merge key of the current visit's step; a new one for each visit.
    int serial_ = 0;
};

}  // namespace quillet
