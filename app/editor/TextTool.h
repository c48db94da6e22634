// The text and comment tools: a click on a text box (or note) edits its
// text; a click elsewhere places a new, empty one and opens it for typing.
#pragma once

#include "app/editor/EditorTool.h"

namespace quillet {

class TextTool : public EditorTool {
  public:
    // note: places comment notes instead of text boxes.
    TextTool(ToolContext& context, bool note) : EditorTool(context), note_(note) {}

    bool press(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;

  private:
    void placeTextBox(const EditorLocation& at);
    void placeNote(const EditorLocation& at);

    bool note_;
};

}  // namespace quillet
