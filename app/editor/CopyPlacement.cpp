#include "app/editor/CopyPlacement.h"

#include "core/markup/ItemGeometry.h"

namespace quillet {

AnnotationItem CopyPlacement::place(const AnnotationItem& copy) const {
    const auto bounds = [this](const AnnotationItem& item) {
        return ItemGeometry::bounds(item, item.isNote() && notesExpanded);
    };
    // The offset is in viewport points, to the right and down whatever the
    // page's rotation.
    const QTransform toPageSpace = pageToViewport.inverted();
    const QPointF shift = toPageSpace.map(QPointF(offset, offset)) - toPageSpace.map(QPointF(0, 0));
    AnnotationItem placed = originalHere ? ItemGeometry::translated(copy, shift.x(), shift.y()) : copy;
    const Rect target = visiblePage.isEmpty() ? pageBounds
                                              : Rect{visiblePage.left(), visiblePage.top(),
                                                     visiblePage.width(), visiblePage.height()};
    if (!target.contains(bounds(placed))) {
        const Rect source = bounds(copy);
        placed = ItemGeometry::translated(copy, target.midX() - source.midX(), target.midY() - source.midY());
    }
    return placed;
}

}  // namespace quillet
