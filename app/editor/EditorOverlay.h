// What the editor shows above the pages while it works: the stroke being
// drawn, the item being created or dragged, the eraser's circle, a peeked
// note and the selection with its handles. The editor keeps one and hands
// it to the page view's overlay after each change.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/markup/AnnotationItem.h"

namespace quillet {

class OverlayView;
class PageCoordinates;

// A handle of the selected item, at its position in the viewport.
struct SelectionHandle {
    enum class Kind { corner, left, right, tail, head };
    Kind kind = Kind::corner;
    int corner = 0;  // 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, as shown
    QPointF position;

    bool operator==(const SelectionHandle&) const = default;
};

struct EditorOverlay {
    // The stroke being drawn, page space.
    int strokePage = -1;
    std::vector<Point> stroke;
    bool strokeIsHighlighter = false;
    RGBA strokeColor;
    double strokeWidth = 0;  // page points
    // The item being created (an arrow while it is dragged), page space.
    std::optional<std::pair<AnnotationItem, int>> preview;
    // The eraser's circle, viewport.
    std::optional<QPointF> eraserCentre;
    // A note whose hidden text is peeked while the pointer rests on it, page space.
    std::optional<std::pair<AnnotationItem, int>> peek;
    // The selected item's bounds and outline, and its handles, viewport.
    std::optional<QRectF> selectionBounds;
    std::optional<QRectF> selectionOutline;
    std::vector<SelectionHandle> handles;

    // Shows `item` (drawn as `expanded` or not) as selected, with the
    // handles its kind has.
    void setSelection(const AnnotationItem& item, const QTransform& toView, bool expanded);
    void clearSelection();

    // Hands all of it to the view's overlay; `expanded` tells how each note
    // is drawn.
    void showOn(OverlayView& shown, const PageCoordinates& pages,
                const std::function<bool(const AnnotationItem&)>& expanded) const;
};

}  // namespace quillet
