#include "app/editor/EraserTool.h"

#include <QPainter>
#include <QPixmap>

#include "app/editor/EditorStrings.h"
#include "app/editor/ToolContext.h"
#include "core/markup/HitTesting.h"

namespace quillet {

namespace {

// 18 × 18 with its hot spot at the centre.
QCursor eraserCursor() {
    QPixmap image(18, 18);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    painter.end();
    return QCursor(image, 9, 9);
}

}  // namespace

void EraserTool::deactivate() {
    complete();
}

void EraserTool::cancel() {
    erasing_.reset();
    context_.setEraserCentre(std::nullopt);
}

bool EraserTool::press(const PointerInput& input) {
    if (!input.location) {
        return false;
    }
    erasing_ = Erasing{input.location->page, input.location->point, {}};
    eraseAlong(input.location->point, input.location->point);
    context_.setEraserCentre(input.viewPoint);
    return true;
}

bool EraserTool::drag(const PointerInput& input) {
    if (!erasing_) {
        return false;
    }
    const Point p = context_.toPage(erasing_->page, input.viewPoint);
    eraseAlong(erasing_->last, p);
    erasing_->last = p;
    context_.setEraserCentre(input.viewPoint);
    return true;
}

bool EraserTool::release(const PointerInput&) {
    if (!erasing_) {
        return false;
    }
    complete();
    return true;
}

bool EraserTool::hover(const PointerInput& input) {
    context_.setCursorShape(eraserCursor());
    context_.setEraserCentre(input.location ? std::optional(input.viewPoint) : std::nullopt);
    return true;
}

void EraserTool::complete() {
    if (!erasing_) {
        return;
    }
    Erasing done = std::move(*erasing_);
    erasing_.reset();
    context_.record(EditorStrings::erase, done.removals);
}

void EraserTool::eraseAlong(Point from, Point to) {
    const double radius = context_.toPageLength(ToolContext::eraserRadius);
    std::vector<UUID> touched;
    for (const AnnotationItem& item : context_.itemsOnPage(erasing_->page)) {
        if (ItemGeometry::eraserHits(item, from, to, radius, context_.isExpanded(item))) {
            touched.push_back(item.id);
        }
    }
    if (touched.empty()) {
        return;
    }
    context_.applyNow(erasing_->removals, StoreChange::remove(std::move(touched)));
    if (context_.selectedID() && !context_.findItem(*context_.selectedID())) {
        context_.select(std::nullopt);
    }
}

}  // namespace quillet
