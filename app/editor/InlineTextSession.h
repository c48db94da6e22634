// One inline text edit: the item whose text is typed, where its box sits and
// the text as typed so far.
#pragma once

#include "core/markup/AnnotationItem.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

// What the text belongs to, with the points that place its box.
struct InlineTextTarget {
    enum class Kind { text, arrowLabel, note };
    Kind kind = Kind::text;
    // text: the box's origin; arrowLabel: the arrow's tail; note: the anchor.
    Point first;
    // arrowLabel: the arrow's head; note: the bubble; unused for text.
    Point second;

    // The target of an item with text (a text box, an arrow, a note); for ink
    // a text target at the origin.
    static InlineTextTarget of(const AnnotationItem& item);
    bool operator==(const InlineTextTarget&) const = default;
};

struct InlineTextSession {
    AnnotationItem item;  // as it was when the edit began (or the new item)
    int page = 0;
    bool isNew = false;  // not in the store yet
    InlineTextTarget target;
    TextSpec spec;  // what is being typed, with its style

    // `item` with `spec` as its text and `target`'s points: the draft, and
    // the item the edit commits.
    AnnotationItem itemWithText() const;
    // The box being typed into, on the page.
    PlacedBox placedBox() const;
};

}  // namespace quillet
