// Where the pages are in the viewport: all an editor needs to know of the
// page view to turn pointer positions into page space and back. Viewport
// points are the view's points (they grow with zoom); page space is the
// PDF's user space of each page, whatever its rotation and crop.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <optional>

#include "app/platform/PDFDocument.h"

namespace quillet {

class PageCoordinates {
  public:
    // The page under a viewport point, without snapping to the nearest page.
    virtual std::optional<int> pageAt(QPointF viewportPoint) const = 0;
    virtual std::optional<PDFPageGeometry> pageGeometry(int pageIndex) const = 0;
    virtual QTransform pageToViewport(int pageIndex) const = 0;
    // Viewport points per page point.
    virtual double scale() const = 0;
    // The part of the page that is visible, in page space; empty when none is.
    virtual QRectF visiblePageRect(int pageIndex) const = 0;

    QPointF toPage(int pageIndex, QPointF viewportPoint) const {
        return pageToViewport(pageIndex).inverted().map(viewportPoint);
    }
    QPointF toViewport(int pageIndex, QPointF pagePoint) const {
        return pageToViewport(pageIndex).map(pagePoint);
    }

  protected:
    ~PageCoordinates() = default;
};

}  // namespace quillet
