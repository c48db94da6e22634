// The menu an item's right click opens: edit its text (items with text),
// another kind (markup over text), the palette's colours, copy, duplicate
// and delete; and the menu on selected text: copy it or mark it. Each deletes
// itself when closed; the actions run against what it was opened on.
#pragma once

#include <QMenu>
#include <QPoint>
#include <functional>
#include <optional>

#include "core/markup/ToolStyle.h"

namespace quillet {

struct ItemMenuActions {
    std::function<void()> editText;  // empty for items without text
    // Markup over text only: turns it into another kind of markup.
    std::function<void(TextMarkupKind)> changeKind;
    std::optional<TextMarkupKind> currentKind;
    std::function<void(const RGBA&)> recolor;
    std::function<void()> copy;
    std::function<void()> duplicate;  // empty where a copy has no place
    std::function<void()> remove;
};

// Pops the menu up at a global position, owned by `parent`.
QMenu* showItemContextMenu(QWidget* parent, const ItemMenuActions& actions, QPoint globalPos);
QMenu* showTextSelectionMenu(QWidget* parent, const std::function<void()>& copy,
                             const std::function<void(TextMarkupKind)>& mark, QPoint globalPos);

}  // namespace quillet
