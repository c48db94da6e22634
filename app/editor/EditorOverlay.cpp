#include "app/editor/EditorOverlay.h"

#include <cmath>

#include "app/platform/QtConversions.h"
#include "app/view/OverlayView.h"
#include "app/view/PageCoordinates.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

void EditorOverlay::clearSelection() {
    selectionBounds.reset();
    selectionOutline.reset();
    handles.clear();
}

void EditorOverlay::setSelection(const AnnotationItem& item, const QTransform& toView, bool expanded) {
    const QRectF box = toView.mapRect(toQRectF(ItemGeometry::bounds(item, expanded)));
    selectionBounds = box;
    // The outline stands off the item and lies on whole pixels, so that it
    // stays one crisp pixel wide.
    const QRectF grown = box.adjusted(-3, -3, 3, 3);
    selectionOutline = QRectF(QPointF(std::floor(grown.left()), std::floor(grown.top())),
                              QPointF(std::ceil(grown.right()), std::ceil(grown.bottom())))
                           .adjusted(0.5, 0.5, -0.5, -0.5);
    using Kind = SelectionHandle::Kind;
    if (item.shape.ink()) {
        handles = {{Kind::corner, 0, box.topLeft()},
                   {Kind::corner, 1, box.topRight()},
                   {Kind::corner, 2, box.bottomRight()},
                   {Kind::corner, 3, box.bottomLeft()}};
    } else if (item.isText()) {
        handles = {{Kind::left, 0, QPointF(box.left(), box.center().y())},
                   {Kind::right, 0, QPointF(box.right(), box.center().y())}};
    } else if (const ArrowShape* arrow = item.shape.arrow()) {
        handles = {{Kind::tail, 0, toView.map(QPointF(arrow->from.x, arrow->from.y))},
                   {Kind::head, 0, toView.map(QPointF(arrow->to.x, arrow->to.y))}};
    } else {
        handles.clear();
    }
}

void EditorOverlay::showOn(OverlayView& shown, const PageCoordinates& pages,
                           const std::function<bool(const AnnotationItem&)>& expanded) const {
    if (strokePage >= 0 && !stroke.empty()) {
        shown.showLiveStroke(stroke, pages.pageToViewport(strokePage), strokeColor, strokeWidth,
                             strokeIsHighlighter);
    } else if (shown.hasLiveStroke()) {
        shown.clearLiveStroke();
    }
    if (preview) {
        const auto& [item, page] = *preview;
        shown.showPreview({ItemAppearanceBuilder::build(item, expanded(item))}, pages.pageToViewport(page));
    } else if (shown.hasPreview()) {
        shown.clearPreview();
    }
    if (peek) {
        const auto& [item, page] = *peek;
        shown.showPeek(item.id, ItemAppearanceBuilder::build(item, true), pages.pageToViewport(page));
    } else {
        shown.hidePeek();
    }
    std::vector<OverlayView::PlacedHandle> placed;
    for (const SelectionHandle& handle : handles) {
        placed.push_back(
            {{static_cast<OverlayView::Handle::Kind>(handle.kind), handle.corner}, handle.position});
    }
    shown.setSelection(selectionBounds, std::move(placed));
    shown.setEraserCircle(eraserCentre);
}

}  // namespace quillet
