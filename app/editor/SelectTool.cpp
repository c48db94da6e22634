#include "app/editor/SelectTool.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

#include "app/editor/EditorStrings.h"
#include "app/platform/QtConversions.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/TextLayout.h"

namespace quillet {

void SelectTool::cancel() {
    if (moving_) {
        endShowing(moving_->start.id);
    } else if (resizing_) {
        endShowing(resizing_->start.id);
    }
    moving_.reset();
    resizing_.reset();
}

std::optional<SelectionHandle> SelectTool::handleAt(QPointF viewPoint) const {
    const std::vector<SelectionHandle>& handles = context_.overlay().handles;
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        if (std::abs(it->position.x() - viewPoint.x()) <= ToolContext::handleGrabDistance &&
            std::abs(it->position.y() - viewPoint.y()) <= ToolContext::handleGrabDistance) {
            return *it;
        }
    }
    return std::nullopt;
}

bool SelectTool::press(const PointerInput& input) {
    if (input.button != Qt::LeftButton) {
        return false;
    }
    if (context_.selectedID()) {
        if (const std::optional<SelectionHandle> handle = handleAt(input.viewPoint)) {
            if (beginResize(*handle, input)) {
                return true;
            }
        }
    }
    const std::optional<std::pair<AnnotationItem, HitPart>> hit =
        input.location ? context_.itemAt(*input.location) : std::nullopt;
    if (!hit) {
        context_.select(std::nullopt);
        return false;
    }
    context_.clearTextSelection();
    context_.select(hit->first.id);
    // textSpec: a text box, a note, or an arrow with a label.
    if (input.clickCount >= 2 && hit->first.textSpec()) {
        context_.startTextEditing(hit->first.id);
        return true;
    }
    // Markup over text stays on its text.
    if (!hit->first.isTextMarkup()) {
        moving_ = Moving{input.location->page, input.viewPoint, hit->first, hit->second};
    }
    return true;
}

bool SelectTool::beginResize(const SelectionHandle& handle, const PointerInput& input) {
    const std::optional<AnnotationStore::LocatedItem> located = context_.findItem(*context_.selectedID());
    if (!located) {
        return false;
    }
    const int page = located->page;
    Point anchor;
    if (handle.kind == SelectionHandle::Kind::corner && context_.overlay().selectionOutline) {
        // The opposite corner of the box as shown.
        const QRectF box = context_.pageToViewport(page).mapRect(
            toQRectF(ItemGeometry::bounds(located->item, context_.isExpanded(located->item))));
        const QPointF opposite[] = {box.bottomRight(), box.bottomLeft(), box.topLeft(), box.topRight()};
        anchor = context_.toPage(page, opposite[handle.corner & 3]);
    }
    resizing_ = Resizing{page, handle, anchor, context_.toPage(page, input.viewPoint), located->item};
    return true;
}

bool SelectTool::drag(const PointerInput& input) {
    if (moving_) {
        show(moved(*moving_, input.viewPoint), moving_->page);
        return true;
    }
    if (resizing_) {
        show(resized(*resizing_, input.viewPoint), resizing_->page);
        return true;
    }
    return false;
}

bool SelectTool::release(const PointerInput& input) {
    if (moving_) {
        const Moving moving = std::move(*moving_);
        moving_.reset();
        finish(moving.start, moved(moving, input.viewPoint), moving.page, EditorStrings::move);
        return true;
    }
    if (resizing_) {
        const Resizing resizing = std::move(*resizing_);
        resizing_.reset();
        finish(resizing.start, resized(resizing, input.viewPoint), resizing.page, EditorStrings::resize);
        return true;
    }
    return false;
}

bool SelectTool::hover(const PointerInput& input) {
    if (context_.selectedID() && handleAt(input.viewPoint)) {
        context_.setCursorShape(Qt::CrossCursor);
        return true;
    }
    const std::optional<std::pair<AnnotationItem, HitPart>> hit =
        input.location ? context_.itemAt(*input.location) : std::nullopt;
    if (!hit) {
        context_.setHoveredNote(std::nullopt);
        return false;
    }
    // A note whose text is hidden shows it while the pointer rests on it.
    if (hit->first.isNote() && !context_.showsCommentText()) {
        context_.setHoveredNote(std::pair{hit->first, input.location->page});
    } else {
        context_.setHoveredNote(std::nullopt);
    }
    context_.setCursorShape(Qt::ArrowCursor);
    return true;
}

AnnotationItem SelectTool::moved(const Moving& moving, QPointF viewPoint) const {
    if (QLineF(moving.startView, viewPoint).length() < ToolContext::moveThreshold) {
        return moving.start;
    }
    const Rect page = context_.pageBounds(moving.page);
    Point current = context_.toPage(moving.page, viewPoint);
    current.x = std::clamp(current.x, page.minX(), page.maxX());
    current.y = std::clamp(current.y, page.minY(), page.maxY());
    const Point delta = current - context_.toPage(moving.page, moving.startView);
    AnnotationItem item = moving.start;
    if (moving.part == HitPart::label) {
        if (NoteShape* note = item.shape.note()) {
            note->bubble = roundTo2(note->bubble + delta);
            return item;
        }
        if (ArrowShape* arrow = item.shape.arrow()) {
            arrow->from = roundTo2(arrow->from + delta);
            return item;
        }
    }
    return ItemGeometry::translated(item, delta.x, delta.y);
}

AnnotationItem SelectTool::resized(const Resizing& resizing, QPointF viewPoint) const {
    const Point current = context_.toPage(resizing.page, viewPoint);
    AnnotationItem item = resizing.start;
    switch (resizing.handle.kind) {
        case SelectionHandle::Kind::corner: {
            const Point s = resizing.startPoint - resizing.anchor;
            const Point c = current - resizing.anchor;
            const double s2 = dot(s, s);
            if (s2 <= 1) {
                return item;
            }
            return ItemGeometry::scaled(item, std::max(dot(c, s) / s2, minScaleFactor), resizing.anchor);
        }
        case SelectionHandle::Kind::left:
        case SelectionHandle::Kind::right:
            return widened(resizing, current);
        case SelectionHandle::Kind::tail:
            if (ArrowShape* arrow = item.shape.arrow()) {
                arrow->from = roundTo2(current);
            }
            return item;
        case SelectionHandle::Kind::head:
            if (ArrowShape* arrow = item.shape.arrow()) {
                arrow->to = roundTo2(current);
            }
            return item;
    }
    return item;
}

// A text box's side handle sets its wrapping width; the opposite side stays.
AnnotationItem SelectTool::widened(const Resizing& resizing, Point current) const {
    AnnotationItem item = resizing.start;
    TextShape* text = item.shape.text();
    if (text == nullptr) {
        return item;
    }
    const AffineTransform turn = AffineTransform::rotationDegrees(static_cast<double>(item.rotation));
    const AffineTransform back = AffineTransform::rotationDegrees(-static_cast<double>(item.rotation));
    const TextLayoutResult layout = TextLayout::layout(text->spec);
    const double startWidth = text->spec.fixedWidth.value_or(layout.boxSize.width - 2 * layout.padding);
    const double along = back.applyToVector(current - resizing.startPoint).x;
    const bool left = resizing.handle.kind == SelectionHandle::Kind::left;
    const double width = std::max(startWidth + (left ? -along : along), 1.2 * text->spec.fontSize);
    text->spec.fixedWidth = roundTo2(Point{width, 0}).x;
    if (left) {
        text->origin = roundTo2(text->origin + turn.applyToVector({startWidth - *text->spec.fixedWidth, 0}));
    }
    return item;
}

// While dragged, the item is drawn in its new place by the overlay and its
// stored self is hidden.
void SelectTool::show(const AnnotationItem& item, int page) {
    context_.setItemHidden(item.id, true);
    context_.setPreview(std::pair{item, page});
    context_.refreshSelection();
}

void SelectTool::endShowing(const UUID& id) {
    context_.setItemHidden(id, false);
    context_.setPreview(std::nullopt);
}

void SelectTool::finish(const AnnotationItem& start, const AnnotationItem& now, int,
                        const LocalizedString& name) {
    endShowing(start.id);
    if (now != start && context_.findItem(start.id)) {
        AnnotationItem changed = now;
        changed.modified = context_.timestamp();
        context_.commit(name, StoreChange::replace({changed}));
    }
    context_.refreshSelection();
}

}  // namespace quillet
