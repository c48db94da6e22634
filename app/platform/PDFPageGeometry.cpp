#include "app/platform/PDFPageGeometry.h"

namespace quillet {

PageBox PDFPageGeometry::pageBox() const {
    const QRectF box = bounds.normalized();
    return PageBox{Rect{box.x(), box.y(), box.width(), box.height()}, rotation};
}

QSizeF PDFPageGeometry::displaySize() const {
    const Size size = pageBox().displaySize();
    return {size.width, size.height};
}

QTransform PDFPageGeometry::pageToDisplay() const {
    const AffineTransform t = pageBox().pageToDisplay();
    return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
}

QPointF PDFPageGeometry::toDisplay(QPointF pagePoint) const {
    return pageToDisplay().map(pagePoint);
}

QPointF PDFPageGeometry::toPage(QPointF displayPoint) const {
    return pageToDisplay().inverted().map(displayPoint);
}

QRectF PDFPageGeometry::toDisplay(const QRectF& pageRect) const {
    return pageToDisplay().mapRect(pageRect.normalized());
}

QRectF PDFPageGeometry::toPage(const QRectF& displayRect) const {
    return pageToDisplay().inverted().mapRect(displayRect.normalized());
}

}  // namespace quillet
