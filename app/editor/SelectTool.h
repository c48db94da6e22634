// The select tool: a click selects the topmost item under the pointer, a
// drag moves it (or only its label: a note's bubble, an arrow's tail with
// its label), the handles of the selection resize it, and a double click
// opens its text. A click on no item is left to the view (text selection).
#pragma once

#include <optional>

#include "app/editor/EditorTool.h"
#include "app/editor/ToolContext.h"

namespace quillet {

class SelectTool : public EditorTool {
  public:
    using EditorTool::EditorTool;

    // The smallest scale factor of one corner drag.
    static constexpr double minScaleFactor = 0.05;

    void deactivate() override { cancel(); }
    void cancel() override;
    bool press(const PointerInput& input) override;
    bool drag(const PointerInput& input) override;
    bool release(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;
    bool isGestureRunning() const override { return moving_.has_value() || resizing_.has_value(); }

  private:
    struct Moving {
        int page = 0;
        QPointF startView;
        AnnotationItem start;
        HitPart part = HitPart::body;
    };
    struct Resizing {
        int page = 0;
        SelectionHandle handle;
        Point anchor;      // page space; the fixed corner for corner handles
        Point startPoint;  // page space
        AnnotationItem start;
    };

    std::optional<SelectionHandle> handleAt(QPointF viewPoint) const;
    bool beginResize(const SelectionHandle& handle, const PointerInput& input);
    AnnotationItem moved(const Moving& moving, QPointF viewPoint) const;
    AnnotationItem resized(const Resizing& resizing, QPointF viewPoint) const;
    AnnotationItem widened(const Resizing& resizing, Point current) const;
    void show(const AnnotationItem& item, int page);
    void endShowing(const UUID& id);
    void finish(const AnnotationItem& start, const AnnotationItem& now, int page,
                const LocalizedString& name);

    std::optional<Moving> moving_;
    std::optional<Resizing> resizing_;
};

}  // namespace quillet
