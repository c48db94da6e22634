// Find's marks over the pages: every match (callers pass at most the ones to
// draw) and the current one, darker and outlined. They are kept in page space
// and placed on screen by the view that paints them, so zooming and scrolling
// move them with their text.
#pragma once

#include <QRectF>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/platform/PDFDocument.h"

class QPainter;

namespace quillet {

class FindHighlights {
  public:
    // A page-space rectangle of a page in the painter's coordinates.
    using ToViewport = std::function<QRectF(int pageIndex, const QRectF& pageRect)>;

    void setMatches(const std::vector<PDFSearchMatch>& matches);
    void setCurrent(const std::optional<PDFSearchMatch>& match) { current_ = match; }
    void clear();
    int count() const { return static_cast<int>(matches_.size()); }

    // The marks on pages first to last.
    void paint(QPainter& painter, int first, int last, const ToViewport& toViewport) const;

  private:
    std::multimap<int, QRectF> matches_;  // page -> page-space rectangle
    std::optional<PDFSearchMatch> current_;
};

}  // namespace quillet
