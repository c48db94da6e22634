// The arrow: a drag from tail to head. An arrow shorter than 10 viewport
// points is dropped as a slip; otherwise its label is opened for typing and
// the arrow is stored when the typing ends.
#pragma once

#include <optional>

#include "app/editor/EditorTool.h"

namespace quillet {

class ArrowTool : public EditorTool {
  public:
    using EditorTool::EditorTool;

    void deactivate() override { cancel(); }
    void cancel() override;
    bool press(const PointerInput& input) override;
    bool drag(const PointerInput& input) override;
    bool release(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;
    bool isGestureRunning() const override { return arrow_.has_value(); }

  private:
    struct Arrow {
        int page = 0;
        Point tail;
        Point head;
    };
    void showPreview();

    std::optional<Arrow> arrow_;
};

}  // namespace quillet
