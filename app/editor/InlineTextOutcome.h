// What a finished inline text edit does to the store: the rules for
// trailing line breaks, boxes left empty and arrow labels.
#pragma once

#include <chrono>
#include <optional>

#include "app/editor/InlineTextSession.h"
#include "app/platform/InterfaceLanguage.h"

namespace quillet {

struct InlineTextOutcome {
    enum class Action { none, insert, remove, replace };
    Action action = Action::none;
    // The item to insert or to replace with; the removed item for remove.
    std::optional<AnnotationItem> item;
    // The undo step's name; unset for none.
    LocalizedString undoName{"", ""};

    // Trailing line feeds are dropped, then the text trimmed of white space
    // decides: a new box or note with text is inserted ("Text", "Comment"),
    // a new one left empty is dropped; an existing one emptied is deleted
    // ("Delete"), one whose text or style changed is replaced ("Text Edit").
    // A new arrow is inserted with its label, or without one when it is
    // empty ("Arrow"); an existing arrow whose label changed is replaced,
    // and an emptied label is removed from the arrow, which stays ("Text
    // Edit"). Inserted and replaced items carry `now` as their change time.
    static InlineTextOutcome of(InlineTextSession session, std::chrono::sys_seconds now);

    // The text without its trailing line feeds.
    static std::string withoutTrailingLineBreaks(std::string text);
    // Nothing but white space and line breaks.
    static bool isBlank(const std::string& text);
};

}  // namespace quillet
