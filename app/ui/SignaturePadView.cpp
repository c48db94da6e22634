#include "app/ui/SignaturePadView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTabletEvent>

#include "app/platform/InterfaceLanguage.h"
#include "app/platform/QtConversions.h"
#include "core/markup/StrokePath.h"

namespace quillet {

namespace {
constexpr LocalizedString kPrompt{"Sign with your mouse or trackpad", "Распишитесь мышью или на трекпаде"};
}  // namespace

SignaturePadView::SignaturePadView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TabletTracking, false);
    setCursor(Qt::CrossCursor);
    setMinimumSize(sizeHint());
}

void SignaturePadView::clear() {
    strokes_.clear();
    current_ = StrokeBuilder(minDistance);
    drawing_ = false;
    update();
    if (onChange) onChange();
}

Point SignaturePadView::toPad(QPointF viewPoint) const {
    return {viewPoint.x(), height() - viewPoint.y()};
}

void SignaturePadView::begin(QPointF at) {
    current_ = StrokeBuilder(minDistance);
    current_.add(toPad(at));
    drawing_ = true;
    update();
}

void SignaturePadView::extend(QPointF at) {
    if (!drawing_) return;
    current_.add(toPad(at));
    update();
}

void SignaturePadView::end() {
    if (!drawing_) return;
    drawing_ = false;
    Stroke stroke = current_.finish(finishTolerance);
    if (!stroke.empty()) strokes_.push_back(std::move(stroke));
    current_ = StrokeBuilder(minDistance);
    update();
    if (onChange) onChange();
}

void SignaturePadView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) begin(event->position());
}

void SignaturePadView::mouseMoveEvent(QMouseEvent* event) {
    extend(event->position());
}

void SignaturePadView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) end();
}

void SignaturePadView::tabletEvent(QTabletEvent* event) {
    switch (event->type()) {
        case QEvent::TabletPress:
            begin(event->position());
            break;
        case QEvent::TabletMove:
            extend(event->position());
            break;
        case QEvent::TabletRelease:
            end();
            break;
        default:
            return;
    }
    event->accept();  // no synthesized mouse events on top
}

void SignaturePadView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(pal.color(QPalette::Mid), 1));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(bounds, 8, 8);

    // The guide line sits at 0.3 of the height from the bottom.
    const double guideY = height() - 0.3 * height();
    QPen dashed(pal.color(QPalette::PlaceholderText), 1);
    dashed.setDashPattern({4, 4});
    painter.setPen(dashed);
    painter.drawLine(QPointF(30, guideY), QPointF(width() - 30, guideY));

    if (strokes_.empty() && current_.points().empty()) {
        QFont font = painter.font();
        font.setPointSizeF(13);
        painter.setFont(font);
        painter.setPen(pal.color(QPalette::PlaceholderText));
        const QString prompt = kPrompt.text();
        const double textWidth = QFontMetricsF(font).horizontalAdvance(prompt);
        painter.drawText(QPointF((width() - textWidth) / 2, guideY - 10), prompt);
    }

    std::vector<Stroke> all = strokes_;
    if (!current_.points().empty()) all.push_back(current_.points());
    painter.setPen(QPen(pal.color(QPalette::Text), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.translate(0, height());
    painter.scale(1, -1);
    painter.drawPath(toQPainterPath(StrokePath::path(all)));
}

}  // namespace quillet
