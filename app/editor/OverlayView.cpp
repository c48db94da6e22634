#include "app/editor/OverlayView.h"

#include <cmath>

#include <QEvent>
#include <QPainter>
#include <QTimer>

#include "app/editor/ItemPainter.h"

namespace quillet {

OverlayView::OverlayView(QWidget* viewport) : QWidget(viewport)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(viewport->rect());
    viewport->installEventFilter(this);
    raise();
    show();
}

bool OverlayView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget()) {
        if (event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
        } else if (event->type() == QEvent::ChildAdded) {
            // Stay above what is added later (an inline text field excepted:
            // it raises itself when it opens).
            QTimer::singleShot(0, this, [this] { raise(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OverlayView::showLiveStroke(const std::vector<Point>& pagePoints, const QTransform& pageToView,
                                 const RGBA& color, double width, bool highlighter)
{
    QPainterPath path;
    for (size_t i = 0; i < pagePoints.size(); ++i) {
        const QPointF p = pageToView.map(QPointF(pagePoints[i].x, pagePoints[i].y));
        if (i == 0) {
            path.moveTo(p);
        }
        path.lineTo(p);  // a single point still shows as a dot
    }
    const double scale = std::sqrt(std::abs(pageToView.determinant()));
    livePath_ = path;
    liveColor_ = ItemPainter::color(color);
    liveWidth_ = width * std::max(scale, 0.01);
    liveHighlighter_ = highlighter;
    ++liveSerial_;
    update();
}

void OverlayView::clearLiveStroke()
{
    if (livePath_.isEmpty()) {
        return;
    }
    livePath_ = QPainterPath();
    ++liveSerial_;
    update();
}

void OverlayView::clearLiveStroke(std::chrono::milliseconds delay)
{
    const std::uint64_t shown = liveSerial_;
    QTimer::singleShot(delay, this, [this, shown] {
        if (liveSerial_ == shown) {
            clearLiveStroke();
        }
    });
}

void OverlayView::showPreview(std::vector<ItemAppearance> appearances, const QTransform& pageToView)
{
    previewLayer_ = Layer{std::move(appearances), pageToView};
    update();
}

void OverlayView::clearPreview()
{
    if (previewLayer_.appearances.empty()) {
        return;
    }
    previewLayer_ = Layer{};
    update();
}

void OverlayView::showPeek(const UUID& item, ItemAppearance appearance, const QTransform& pageToView)
{
    peekLayer_ = Layer{{std::move(appearance)}, pageToView};
    peekedItem_ = item;
    update();
}

void OverlayView::hidePeek()
{
    if (!peekedItem_ && peekLayer_.appearances.empty()) {
        return;
    }
    peekLayer_ = Layer{};
    peekedItem_.reset();
    update();
}

void OverlayView::setSelection(std::optional<QRectF> boundsInView, std::vector<PlacedHandle> handles)
{
    outline_ = boundsInView ? std::optional<QRectF>(outlineRect(*boundsInView)) : std::nullopt;
    handles_ = std::move(handles);
    update();
}

void OverlayView::setEraserCircle(std::optional<QPointF> centre)
{
    if (eraser_ == centre) {
        return;
    }
    eraser_ = centre;
    update();
}

QRectF OverlayView::outlineRect(const QRectF& boundsInView)
{
    const QRectF grown = boundsInView.normalized().adjusted(-outlineGrowth, -outlineGrowth, outlineGrowth, outlineGrowth);
    const double left = std::floor(grown.left());
    const double top = std::floor(grown.top());
    const double right = std::ceil(grown.right());
    const double bottom = std::ceil(grown.bottom());
    return QRectF(QPointF(left, top), QPointF(right, bottom)).adjusted(0.5, 0.5, -0.5, -0.5);
}

QPainterPath OverlayView::handlePath(const PlacedHandle& handle)
{
    QPainterPath path;
    const bool round = handle.handle.kind == Handle::Kind::tail || handle.handle.kind == Handle::Kind::head;
    const double side = round ? roundHandleDiameter : squareHandleSide;
    const QRectF box(handle.position.x() - side / 2, handle.position.y() - side / 2, side, side);
    if (round) {
        path.addEllipse(box);
    } else {
        path.addRect(box);
    }
    return path;
}

QRectF OverlayView::eraserRect(QPointF centre)
{
    return QRectF(centre.x() - eraserDiameter / 2, centre.y() - eraserDiameter / 2, eraserDiameter, eraserDiameter);
}

void OverlayView::paintLayer(QPainter& painter, const Layer& layer)
{
    for (const ItemAppearance& appearance : layer.appearances) {
        ItemPainter::paint(painter, appearance, layer.pageToView);
    }
}

void OverlayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintLayer(painter, previewLayer_);
    paintLayer(painter, peekLayer_);

    if (!livePath_.isEmpty()) {
        painter.save();
        if (liveHighlighter_) {
            painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        }
        painter.strokePath(livePath_, QPen(liveColor_, liveWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.restore();
    }

    const QColor accent = palette().color(QPalette::Highlight);
    if (outline_) {
        QPen dashed(accent, 1);
        dashed.setDashPattern({4, 3});
        painter.setPen(dashed);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*outline_);
    }
    for (const PlacedHandle& handle : handles_) {
        painter.setPen(QPen(accent, 1.5));
        painter.setBrush(Qt::white);
        painter.drawPath(handlePath(handle));
    }
    if (eraser_) {
        QColor grey = palette().color(QPalette::Mid);
        QColor fill = grey;
        fill.setAlphaF(0.15f);
        grey.setAlphaF(0.8f);
        painter.setPen(QPen(grey, 1));
        painter.setBrush(fill);
        painter.drawEllipse(eraserRect(*eraser_));
    }
}

}  // namespace quillet
