// The menu an item's right click opens: edit its text (items with text),
// the palette's colours, copy, duplicate and delete. It deletes itself when
// closed; the actions run against the item it was opened on.
#pragma once

#include <QMenu>
#include <QPoint>
#include <functional>

#include "core/markup/ToolStyle.h"

namespace quillet {

struct ItemMenuActions {
    std::function<void()> editText;  // empty for items without text
    std::function<void(const RGBA&)> recolor;
    std::function<void()> copy;
    std::function<void()> duplicate;
    std::function<void()> remove;
};

// Pops the menu up at a global position, owned by `parent`.
QMenu* showItemContextMenu(QWidget* parent, const ItemMenuActions& actions, QPoint globalPos);

}  // namespace quillet
