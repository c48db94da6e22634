#include "app/editor/InkTool.h"

#include "app/editor/EditorController.h"
#include "app/editor/EditorStrings.h"
#include "app/editor/ToolSettings.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

void InkTool::deactivate()
{
    if (drawing_) {
        commitStroke();
    }
}

void InkTool::cancel()
{
    drawing_.reset();
    editor_.setHighFrequencyInput(false);
    editor_.setStroke(-1, {}, highlighter_, ToolStyle{});
}

bool InkTool::press(const PointerInput& input)
{
    if (!input.location) {
        return false;
    }
    drawing_ = Drawing{input.location->page, StrokeBuilder(editor_.toPageLength(EditorController::strokeMinDistance)),
                       input.location->point};
    drawing_->builder.add(input.location->point);
    editor_.setHighFrequencyInput(true);
    showStroke();
    return true;
}

bool InkTool::drag(const PointerInput& input)
{
    if (!drawing_) {
        return false;
    }
    const Point p = editor_.toPage(drawing_->page, input.viewPoint);
    if (input.modifiers & Qt::ShiftModifier) {
        drawing_->builder = StrokeBuilder(drawing_->builder.minDistance());
        drawing_->builder.add(drawing_->start);
    }
    drawing_->builder.add(p);
    showStroke();
    return true;
}

bool InkTool::release(const PointerInput&)
{
    if (!drawing_) {
        return false;
    }
    commitStroke();
    return true;
}

bool InkTool::hover(const PointerInput&)
{
    editor_.setCursorShape(Qt::CrossCursor);
    return true;
}

void InkTool::showStroke()
{
    const ToolStyle style = editor_.settings().styleFor(highlighter_ ? Tool::highlighter : Tool::pen);
    editor_.setStroke(drawing_->page, drawing_->builder.points(), highlighter_, style);
}

void InkTool::commitStroke()
{
    const Drawing drawing = std::move(*drawing_);
    drawing_.reset();
    editor_.setHighFrequencyInput(false);
    editor_.setStroke(-1, {}, highlighter_, ToolStyle{});
    const std::vector<Point> points = drawing.builder.finish(editor_.toPageLength(EditorController::strokeTolerance));
    if (points.empty()) {
        return;
    }
    const Tool tool = highlighter_ ? Tool::highlighter : Tool::pen;
    const ToolStyle style = editor_.settings().styleFor(tool);
    const auto now = editor_.now();
    if (!highlighter_ && editor_.lastInk && editor_.lastInk->page == drawing.page &&
        now - editor_.lastInk->time < EditorController::inkMergeWindow && mergeIntoLastInk(points, style)) {
        editor_.lastInk->time = now;
        return;
    }
    AnnotationItem item(UUID::random(), InkShape{highlighter_ ? InkKind::highlighter : InkKind::pen, {points}},
                        style.color, style.lineWidth, editor_.pageRotation(drawing.page), editor_.timestamp());
    const int index = static_cast<int>(editor_.store().itemsOnPage(drawing.page).size());
    editor_.commit(highlighter_ ? EditorStrings::highlight : EditorStrings::drawing,
                   StoreChange::insert(item, drawing.page, index));
    if (!highlighter_) {
        editor_.lastInk = EditorController::LastInk{item.id, drawing.page, now};
    }
}

bool InkTool::mergeIntoLastInk(const std::vector<Point>& points, const ToolStyle& style)
{
    const std::optional<AnnotationStore::LocatedItem> last = editor_.store().locate(editor_.lastInk->id);
    if (!last || last->page != editor_.lastInk->page) {
        return false;
    }
    const InkShape* ink = last->item.shape.ink();
    if (ink == nullptr || ink->kind != InkKind::pen || last->item.color != style.color ||
        last->item.lineWidth != style.lineWidth || ink->strokes.size() >= ItemCodec::kMaxStrokes) {
        return false;
    }
    const Rect near = ItemGeometry::bounds(last->item, false)
                          .insetBy(-EditorController::inkMergeMargin, -EditorController::inkMergeMargin);
    if (!near.intersects(ItemGeometry::inkBounds({points}))) {
        return false;
    }
    AnnotationItem merged = last->item;
    merged.shape.ink()->strokes.push_back(points);
    merged.modified = editor_.timestamp();
    editor_.commit(EditorStrings::drawing, StoreChange::replace({merged}));
    return true;
}

}  // namespace quillet
