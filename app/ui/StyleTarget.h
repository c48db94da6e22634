// What the style popover edits when it opens: the selected item (while the
// select or eraser tool is active), the current tool, or else the last tool
// that had a style. Every change is also kept as the target tool's style.
#pragma once

#include <functional>
#include <optional>

#include "app/editor/ToolSettings.h"
#include "core/markup/AnnotationItem.h"

namespace quillet {

struct StyleTarget {
    Tool tool = Tool::pen;
    ToolStyle style;
    // True when the style is the selected item's: the window then hands each
    // change to the editor as well.
    bool targetsSelection = false;

    // `selected`: the selected item, or nullptr. `lastStyledTool`: the last
    // tool with a style the window had.
    static StyleTarget choose(Tool currentTool, const AnnotationItem* selected, Tool lastStyledTool,
                              const ToolSettings& settings);

    // What the popover calls on every change: keeps the style as the target
    // tool's (so restyling a selected highlight also restyles the
    // highlighter) and, when the target is the selection, hands it to
    // `applyToSelection` (the editor's style session).
    std::function<void(const ToolStyle&)> changeHandler(
        ToolSettings& settings, std::function<void(const ToolStyle&)> applyToSelection) const;

    // The tool that makes items like this one.
    static Tool toolFor(const AnnotationItem& item);
    // The tool's style overlaid with the item's colour and width and, for
    // items with text, its text size and border.
    static ToolStyle styleOf(const AnnotationItem& item, const ToolStyle& toolStyle);
};

}  // namespace quillet
