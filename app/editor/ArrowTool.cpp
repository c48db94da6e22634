#include "app/editor/ArrowTool.h"

#include <QLineF>

#include "app/editor/ToolContext.h"

namespace quillet {

void ArrowTool::cancel() {
    arrow_.reset();
    context_.setPreview(std::nullopt);
}

bool ArrowTool::press(const PointerInput& input) {
    if (!input.location) {
        return false;
    }
    arrow_ = Arrow{input.location->page, input.location->point, input.location->point};
    showPreview();
    return true;
}

bool ArrowTool::drag(const PointerInput& input) {
    if (!arrow_) {
        return false;
    }
    arrow_->head = context_.toPage(arrow_->page, input.viewPoint);
    showPreview();
    return true;
}

bool ArrowTool::release(const PointerInput&) {
    if (!arrow_) {
        return false;
    }
    const Arrow arrow = *arrow_;
    cancel();
    const QLineF shown(context_.toView(arrow.page, arrow.tail), context_.toView(arrow.page, arrow.head));
    if (shown.length() < ToolContext::minArrowLength) {
        return true;
    }
    const ToolStyle style = context_.styleFor(Tool::arrow);
    const AnnotationItem item(
        UUID::random(), ArrowShape{roundTo2(arrow.tail), roundTo2(arrow.head), std::nullopt}, style.color,
        style.lineWidth, context_.pageRotation(arrow.page), context_.timestamp());
    const TextSpec label{"", style.fontSize, std::nullopt, style.boxed};
    context_.beginText(InlineTextSession{item, arrow.page, true, InlineTextTarget::of(item), label});
    return true;
}

bool ArrowTool::hover(const PointerInput&) {
    context_.setCursorShape(Qt::CrossCursor);
    return true;
}

void ArrowTool::showPreview() {
    const ToolStyle style = context_.styleFor(Tool::arrow);
    const AnnotationItem item(UUID(), ArrowShape{arrow_->tail, arrow_->head, std::nullopt}, style.color,
                              style.lineWidth, context_.pageRotation(arrow_->page), context_.timestamp());
    context_.setPreview(std::pair{item, arrow_->page});
}

}  // namespace quillet
