// Where a page is and how it is shown. Page space is the PDF's own: points,
// origin at the bottom left, y up. Display space is the page as the user sees
// it: points, origin at the top left of the shown (rotated) crop box, y down;
// a page rendered at scale s has its display point (x, y) at pixel (x*s, y*s).
// The values come from Poppler; the math is the core's PageBox, which the
// command-line tool uses too, so both place an item on a page alike.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "core/pdf/PageBox.h"

namespace quillet {

struct PDFPageGeometry {
    QRectF bounds;     // the crop box in page space (within the media box)
    int rotation = 0;  // clockwise display rotation: 0, 90, 180 or 270

    PageBox pageBox() const;
    QSizeF displaySize() const;
    QTransform pageToDisplay() const;
    QPointF toDisplay(QPointF pagePoint) const;
    QPointF toPage(QPointF displayPoint) const;
    QRectF toDisplay(const QRectF& pageRect) const;
    QRectF toPage(const QRectF& displayRect) const;
};

}  // namespace quillet
