// The pen and the highlighter: a drag draws one freehand stroke (a straight
// line while Shift is held). Pen strokes made in quick succession close to
// the previous one join its ink item, as handwriting does; highlighter
// strokes never join.
#pragma once

#include <chrono>
#include <optional>

#include "app/editor/EditorTool.h"
#include "core/markup/StrokeBuilder.h"
#include "core/markup/ToolStyle.h"
#include "core/markup/UUID.h"

namespace quillet {

class InkTool : public EditorTool {
  public:
    InkTool(ToolContext& context, bool highlighter) : EditorTool(context), highlighter_(highlighter) {}

    void deactivate() override;
    void cancel() override;
    bool press(const PointerInput& input) override;
    bool drag(const PointerInput& input) override;
    bool release(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;
    bool isGestureRunning() const override { return drawing_.has_value(); }

  private:
    struct Drawing {
        int page = 0;
        StrokeBuilder builder;
        Point start;
    };
    void commitStroke();
    bool mergeIntoLastInk(const std::vector<Point>& points, const ToolStyle& style);
    void showStroke();

    // The pen's last item, which the next stroke may join.
    struct LastInk {
        UUID id;
        int page = 0;
        std::chrono::system_clock::time_point time;
    };

    bool highlighter_;
    std::optional<Drawing> drawing_;
    std::optional<LastInk> lastInk_;
};

}  // namespace quillet
