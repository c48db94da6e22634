// Markup items on the clipboard: the item's payload text ("QLT1:…") exactly
// as the codec writes it, under the application's private type, plus the
// text of a text box, note or labelled arrow as plain text for other
// applications.
#pragma once

#include <optional>

#include "core/markup/AnnotationItem.h"

namespace quillet::ItemClipboard {

// Replaces the clipboard's content; false without a GUI application.
bool copy(const AnnotationItem& item);
// The item on the clipboard; absent when there is none or it does not decode.
std::optional<AnnotationItem> paste();
// Whether the clipboard holds data of the item type (decodable or not).
bool holdsItem();

}  // namespace quillet::ItemClipboard
