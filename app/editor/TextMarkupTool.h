// Marks text as it is dragged over: the page view selects the text as it
// does for any reader, and letting go marks the selection with the tool's
// kind of markup. Over the page's text the pointer is an I-beam.
#pragma once

#include "app/editor/EditorTool.h"
#include "core/markup/TextMarkupKind.h"

namespace quillet {

class TextMarkupTool : public EditorTool {
  public:
    TextMarkupTool(ToolContext& context, TextMarkupKind kind) : EditorTool(context), kind_(kind) {}

    // The page view takes press, drag and hover: it selects text.
    bool release(const PointerInput& input) override;

  private:
    TextMarkupKind kind_;
};

}  // namespace quillet
