#include "app/editor/InkTool.h"

#include "app/editor/EditorStrings.h"
#include "app/editor/ToolContext.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

void InkTool::deactivate() {
    if (drawing_) {
        commitStroke();
    }
}

void InkTool::cancel() {
    drawing_.reset();
    context_.setHighFrequencyInput(false);
    context_.setStroke(-1, {}, highlighter_, ToolStyle{});
}

bool InkTool::press(const PointerInput& input) {
    if (!input.location) {
        return false;
    }
    drawing_ =
        Drawing{input.location->page, StrokeBuilder(context_.toPageLength(ToolContext::strokeMinDistance)),
                input.location->point};
    drawing_->builder.add(input.location->point);
    context_.setHighFrequencyInput(true);
    showStroke();
    return true;
}

bool InkTool::drag(const PointerInput& input) {
    if (!drawing_) {
        return false;
    }
    const Point p = context_.toPage(drawing_->page, input.viewPoint);
    if (input.modifiers & Qt::ShiftModifier) {
        drawing_->builder = StrokeBuilder(drawing_->builder.minDistance());
        drawing_->builder.add(drawing_->start);
    }
    drawing_->builder.add(p);
    showStroke();
    return true;
}

bool InkTool::release(const PointerInput&) {
    if (!drawing_) {
        return false;
    }
    commitStroke();
    return true;
}

bool InkTool::hover(const PointerInput&) {
    context_.setCursorShape(Qt::CrossCursor);
    return true;
}

void InkTool::showStroke() {
    const ToolStyle style = context_.styleFor(highlighter_ ? Tool::highlighter : Tool::pen);
    context_.setStroke(drawing_->page, drawing_->builder.points(), highlighter_, style);
}

void InkTool::commitStroke() {
    const Drawing drawing = std::move(*drawing_);
    drawing_.reset();
    context_.setHighFrequencyInput(false);
    context_.setStroke(-1, {}, highlighter_, ToolStyle{});
    const std::vector<Point> points =
        drawing.builder.finish(context_.toPageLength(ToolContext::strokeTolerance));
    if (points.empty()) {
        return;
    }
    const Tool tool = highlighter_ ? Tool::highlighter : Tool::pen;
    const ToolStyle style = context_.styleFor(tool);
    const auto now = context_.now();
    if (!highlighter_ && lastInk_ && lastInk_->page == drawing.page &&
        now - lastInk_->time < ToolContext::inkMergeWindow && mergeIntoLastInk(points, style)) {
        lastInk_->time = now;
        return;
    }
    AnnotationItem item(UUID::random(),
                        InkShape{highlighter_ ? InkKind::highlighter : InkKind::pen, {points}}, style.color,
                        style.lineWidth, context_.pageRotation(drawing.page), context_.timestamp());
    context_.insertOnTop(highlighter_ ? EditorStrings::highlight : EditorStrings::drawing, item,
                         drawing.page);
    if (!highlighter_) {
        lastInk_ = LastInk{item.id, drawing.page, now};
    }
}

bool InkTool::mergeIntoLastInk(const std::vector<Point>& points, const ToolStyle& style) {
    const std::optional<AnnotationStore::LocatedItem> last = context_.findItem(lastInk_->id);
    if (!last || last->page != lastInk_->page) {
        return false;
    }
    const InkShape* ink = last->item.shape.ink();
    if (ink == nullptr || ink->kind != InkKind::pen || last->item.color != style.color ||
        last->item.lineWidth != style.lineWidth || ink->strokes.size() >= ItemCodec::kMaxStrokes) {
        return false;
    }
    const Rect near = ItemGeometry::bounds(last->item, false)
                          .insetBy(-ToolContext::inkMergeMargin, -ToolContext::inkMergeMargin);
    if (!near.intersects(ItemGeometry::inkBounds({points}))) {
        return false;
    }
    AnnotationItem merged = last->item;
    merged.shape.ink()->strokes.push_back(points);
    merged.modified = context_.timestamp();
    context_.commit(EditorStrings::drawing, StoreChange::replace({merged}));
    return true;
}

}  // namespace quillet
