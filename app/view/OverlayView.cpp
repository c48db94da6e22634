#include "app/view/OverlayView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/platform/QtConversions.h"
#include "app/view/ItemPainter.h"

namespace quillet {

OverlayView::OverlayView(QWidget* viewport) : QWidget(viewport) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(viewport->rect());
    viewport->installEventFilter(this);
    raise();
    show();
}

bool OverlayView::eventFilter(QObject* watched, QEvent* event) {
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
                                 const RGBA& color, double width, bool highlighter) {
    std::vector<QPointF> points;
    points.reserve(pagePoints.size());
    for (const Point& p : pagePoints) {
        points.push_back(pageToView.map(QPointF(p.x, p.y)));
    }
    const double scale = std::sqrt(std::abs(pageToView.determinant()));
    const QColor shownColor = toQColor(color);
    const double shownWidth = width * std::max(scale, 0.01);
    // A stroke that only grew repaints its new end alone: the rest of the
    // view stays as it is, however long the stroke or heavy the page.
    const bool grew = !livePoints_.empty() && points.size() >= livePoints_.size() &&
                      points[livePoints_.size() - 1] == livePoints_.back() &&
                      points.front() == livePoints_.front() && shownColor == liveColor_ &&
                      shownWidth == liveWidth_ && highlighter == liveHighlighter_;
    if (grew) {
        update(strokeBounds(points, livePoints_.size() - 1, shownWidth));
    } else {
        update(strokeBounds(livePoints_, 0, liveWidth_));
        update(strokeBounds(points, 0, shownWidth));
    }
    livePoints_ = std::move(points);
    liveColor_ = shownColor;
    liveWidth_ = shownWidth;
    liveHighlighter_ = highlighter;
    ++liveSerial_;
}

QRect OverlayView::strokeBounds(const std::vector<QPointF>& points, size_t from, double width) {
    if (from >= points.size()) {
        return {};
    }
    double left = points[from].x(), right = left, top = points[from].y(), bottom = top;
    for (size_t i = from + 1; i < points.size(); ++i) {
        left = std::min(left, points[i].x());
        right = std::max(right, points[i].x());
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    // Half the pen on each side, and a pixel or two for antialiasing.
    const double grow = width / 2 + 2;
    return QRectF(QPointF(left - grow, top - grow), QPointF(right + grow, bottom + grow)).toAlignedRect();
}

void OverlayView::clearLiveStroke() {
    if (livePoints_.empty()) {
        return;
    }
    update(strokeBounds(livePoints_, 0, liveWidth_));
    livePoints_.clear();
    ++liveSerial_;
}

void OverlayView::clearLiveStroke(std::chrono::milliseconds delay) {
    const std::uint64_t shown = liveSerial_;
    QTimer::singleShot(delay, this, [this, shown] {
        if (liveSerial_ == shown) {
            clearLiveStroke();
        }
    });
}

void OverlayView::showPreview(std::vector<ItemAppearance> appearances, const QTransform& pageToView) {
    previewLayer_ = Layer{std::move(appearances), pageToView};
    update();
}

void OverlayView::clearPreview() {
    if (previewLayer_.appearances.empty()) {
        return;
    }
    previewLayer_ = Layer{};
    update();
}

void OverlayView::showPeek(const UUID& item, ItemAppearance appearance, const QTransform& pageToView) {
    peekLayer_ = Layer{{std::move(appearance)}, pageToView};
    peekedItem_ = item;
    update();
}

void OverlayView::hidePeek() {
    if (!peekedItem_ && peekLayer_.appearances.empty()) {
        return;
    }
    peekLayer_ = Layer{};
    peekedItem_.reset();
    update();
}

void OverlayView::setSelection(std::optional<QRectF> boundsInView, std::vector<PlacedHandle> handles) {
    std::optional<QRectF> outline =
        boundsInView ? std::optional<QRectF>(outlineRect(*boundsInView)) : std::nullopt;
    if (outline == outline_ && handles == handles_) {
        return;  // the editor sets it on every change of the overlay
    }
    update(selectionBounds());
    outline_ = outline;
    handles_ = std::move(handles);
    update(selectionBounds());
}

QRect OverlayView::selectionBounds() const {
    QRectF bounds = outline_.value_or(QRectF());
    for (const PlacedHandle& handle : handles_) {
        bounds = bounds.united(handlePath(handle).boundingRect());
    }
    return bounds.isNull() ? QRect() : bounds.adjusted(-2, -2, 2, 2).toAlignedRect();
}

void OverlayView::setEraserCircle(std::optional<QPointF> centre) {
    if (eraser_ == centre) {
        return;
    }
    if (eraser_) {
        update(eraserRect(*eraser_).adjusted(-2, -2, 2, 2).toAlignedRect());
    }
    eraser_ = centre;
    if (eraser_) {
        update(eraserRect(*eraser_).adjusted(-2, -2, 2, 2).toAlignedRect());
    }
}

QRectF OverlayView::outlineRect(const QRectF& boundsInView) {
    const QRectF grown =
        boundsInView.normalized().adjusted(-outlineGrowth, -outlineGrowth, outlineGrowth, outlineGrowth);
    const double left = std::floor(grown.left());
    const double top = std::floor(grown.top());
    const double right = std::ceil(grown.right());
    const double bottom = std::ceil(grown.bottom());
    return QRectF(QPointF(left, top), QPointF(right, bottom)).adjusted(0.5, 0.5, -0.5, -0.5);
}

QPainterPath OverlayView::handlePath(const PlacedHandle& handle) {
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

QRectF OverlayView::eraserRect(QPointF centre) {
    return QRectF(centre.x() - eraserDiameter / 2, centre.y() - eraserDiameter / 2, eraserDiameter,
                  eraserDiameter);
}

void OverlayView::paintLayer(QPainter& painter, const Layer& layer) {
    for (const ItemAppearance& appearance : layer.appearances) {
        ItemPainter::paint(painter, appearance, layer.pageToView);
    }
}

QPainterPath OverlayView::liveStrokePart(const QRect& area) const {
    // The run of segments from the first to the last that reaches `area`:
    // within the area it strokes exactly as the whole stroke does (a round
    // cap where it starts covers what the round join did), and a growing
    // stroke's repaint strokes only its new end.
    const QRectF reach = QRectF(area).adjusted(-liveWidth_ / 2 - 2, -liveWidth_ / 2 - 2, liveWidth_ / 2 + 2,
                                               liveWidth_ / 2 + 2);
    const auto touches = [&](size_t i) {
        const QPointF& a = livePoints_[i];
        const QPointF& b = livePoints_[std::min(i + 1, livePoints_.size() - 1)];
        return std::max(a.x(), b.x()) >= reach.left() && std::min(a.x(), b.x()) <= reach.right() &&
               std::max(a.y(), b.y()) >= reach.top() && std::min(a.y(), b.y()) <= reach.bottom();
    };
    size_t first = 0;
    while (first < livePoints_.size() && !touches(first)) {
        ++first;
    }
    QPainterPath path;
    if (first == livePoints_.size()) {
        return path;
    }
    size_t last = livePoints_.size() - 1;
    while (last > first && !touches(last)) {
        --last;
    }
    path.moveTo(livePoints_[first]);
    for (size_t i = first; i <= std::min(last + 1, livePoints_.size() - 1); ++i) {
        path.lineTo(livePoints_[i]);  // a single point still shows as a dot
    }
    return path;
}

void OverlayView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintLayer(painter, previewLayer_);
    paintLayer(painter, peekLayer_);

    if (!livePoints_.empty()) {
        painter.save();
        if (liveHighlighter_) {
            painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        }
        painter.strokePath(liveStrokePart(event->rect()),
                           QPen(liveColor_, liveWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
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
