#include "app/editor/ArrowTool.h"

#include <QLineF>

#include "app/editor/EditorController.h"
#include "app/editor/ToolSettings.h"

namespace quillet {

void ArrowTool::cancel()
{
    arrow_.reset();
    editor_.setPreview(std::nullopt);
}

bool ArrowTool::press(const PointerInput& input)
{
    if (!input.location) {
        return false;
    }
    arrow_ = Arrow{input.location->page, input.location->point, input.location->point};
    showPreview();
    return true;
}

bool ArrowTool::drag(const PointerInput& input)
{
    if (!arrow_) {
        return false;
    }
    arrow_->head = editor_.toPage(arrow_->page, input.viewPoint);
    showPreview();
    return true;
}

bool ArrowTool::release(const PointerInput&)
{
    if (!arrow_) {
        return false;
    }
    const Arrow arrow = *arrow_;
    cancel();
    const QLineF shown(editor_.toView(arrow.page, arrow.tail), editor_.toView(arrow.page, arrow.head));
    if (shown.length() < EditorController::minArrowLength) {
        return true;
    }
    const ToolStyle style = editor_.settings().styleFor(Tool::arrow);
    const AnnotationItem item(UUID::random(), ArrowShape{roundTo2(arrow.tail), roundTo2(arrow.head), std::nullopt},
                              style.color, style.lineWidth, editor_.pageRotation(arrow.page), editor_.timestamp());
    const TextSpec label{"", style.fontSize, std::nullopt, style.boxed};
    editor_.beginText(InlineTextSession{item, arrow.page, true, InlineTextTarget::of(item), label});
    return true;
}

bool ArrowTool::hover(const PointerInput&)
{
    editor_.setCursorShape(Qt::CrossCursor);
    return true;
}

void ArrowTool::showPreview()
{
    const ToolStyle style = editor_.settings().styleFor(Tool::arrow);
    const AnnotationItem item(UUID(), ArrowShape{arrow_->tail, arrow_->head, std::nullopt}, style.color,
                              style.lineWidth, editor_.pageRotation(arrow_->page), editor_.timestamp());
    editor_.setPreview(std::pair{item, arrow_->page});
}

}  // namespace quillet
