// The eraser removes whole items: everything its circle (8 viewport points
// across the radius) sweeps over during one drag goes, and the drag is one
// undo step. It never cuts an item.
#pragma once

#include <optional>
#include <vector>

#include "app/document/StoreChange.h"
#include "app/document/StoreCommand.h"
#include "app/editor/EditorTool.h"

namespace quillet {

class EraserTool : public EditorTool {
  public:
    using EditorTool::EditorTool;

    void deactivate() override;
    void cancel() override;
    bool press(const PointerInput& input) override;
    bool drag(const PointerInput& input) override;
    bool release(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;
    bool isGestureRunning() const override { return erasing_.has_value(); }
    // Registers what the running drag removed as one undo step.
    void complete();

  private:
    struct Erasing {
        int page = 0;
        Point last;
        AppliedChanges removals;
    };
    void eraseAlong(Point from, Point to);

    std::optional<Erasing> erasing_;
};

}  // namespace quillet
