#include "app/platform/PDFPageGeometry.h"

namespace quillet {

int PDFPageGeometry::normalizedRotation(long long degrees)
{
    if (degrees % 90 != 0) {
        return 0;
    }
    const long long turned = degrees % 360;
    return static_cast<int>(turned < 0 ? turned + 360 : turned);
}

QSizeF PDFPageGeometry::displaySize() const
{
    const QSizeF size = bounds.size();
    return rotation == 90 || rotation == 270 ? size.transposed() : size;
}

QTransform PDFPageGeometry::pageToDisplay() const
{
    const double x0 = bounds.left();
    const double y0 = bounds.top();  // QRectF's top is the smaller y: the bottom edge in page space
    const double x1 = bounds.right();
    const double y1 = bounds.bottom();
    // QTransform(m11, m12, m21, m22, dx, dy): x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
    switch (rotation) {
    case 90:
        return QTransform(0, 1, 1, 0, -y0, -x0);  // x' = y - y0, y' = x - x0
    case 180:
        return QTransform(-1, 0, 0, 1, x1, -y0);  // x' = x1 - x, y' = y - y0
    case 270:
        return QTransform(0, -1, -1, 0, y1, x1);  // x' = y1 - y, y' = x1 - x
    default:
        return QTransform(1, 0, 0, -1, -x0, y1);  // x' = x - x0, y' = y1 - y
    }
}

QPointF PDFPageGeometry::toDisplay(QPointF pagePoint) const
{
    return pageToDisplay().map(pagePoint);
}

QPointF PDFPageGeometry::toPage(QPointF displayPoint) const
{
    return pageToDisplay().inverted().map(displayPoint);
}

QRectF PDFPageGeometry::toDisplay(const QRectF& pageRect) const
{
    return pageToDisplay().mapRect(pageRect.normalized());
}

QRectF PDFPageGeometry::toPage(const QRectF& displayRect) const
{
    return pageToDisplay().inverted().mapRect(displayRect.normalized());
}

}  // namespace quillet
