// One tool of the editor as a class: it is activated and deactivated as the
// user switches tools, and turns the pointer events it gets into markup
// edits through the narrow context it is given (ToolContext). Each handler answers whether it took the
// event; the page view acts as a viewer on whatever a tool leaves.
#pragma once

#include <QCursor>
#include <QPointF>
#include <optional>

#include "core/pdf/Geometry.h"

namespace quillet {

class ToolContext;

// Where a viewport point falls on a page.
struct EditorLocation {
    int page = 0;
    Point point;        // page space
    QPointF viewPoint;  // viewport
};

struct PointerInput {
    QPointF viewPoint;
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    int clickCount = 1;
    // Absent off the pages.
    std::optional<EditorLocation> location;
};

class EditorTool {
  public:
    explicit EditorTool(ToolContext& context) : context_(context) {}
    virtual ~EditorTool() = default;
    EditorTool(const EditorTool&) = delete;
    EditorTool& operator=(const EditorTool&) = delete;

    virtual void activate() {}
    // Ends whatever gesture runs; a gesture with effect is committed.
    virtual void deactivate() {}
    // Drops the running gesture without any effect (before a revert).
    virtual void cancel() {}

    virtual bool press(const PointerInput&) { return false; }
    virtual bool drag(const PointerInput&) { return false; }
    virtual bool release(const PointerInput&) { return false; }
    // Pointer moved with no button held: sets the cursor and hover state.
    virtual bool hover(const PointerInput&) { return false; }
    virtual bool isGestureRunning() const { return false; }

  protected:
    ToolContext& context_;
};

}  // namespace quillet
