#include "app/view/FindHighlights.h"

#include <QPainter>

namespace quillet {

namespace {

// The system yellow at half alpha; the current match darker, outlined.
const QColor matchColor(255, 204, 0, 128);
const QColor currentMatchColor(255, 149, 0, 160);

}  // namespace

void FindHighlights::setMatches(const std::vector<PDFSearchMatch>& matches) {
    matches_.clear();
    for (const PDFSearchMatch& match : matches) {
        matches_.emplace(match.pageIndex, match.bounds);
    }
}

void FindHighlights::clear() {
    matches_.clear();
    current_.reset();
}

void FindHighlights::paint(QPainter& painter, int first, int last, const ToViewport& toViewport) const {
    for (auto it = matches_.lower_bound(first); it != matches_.end() && it->first <= last; ++it) {
        painter.fillRect(toViewport(it->first, it->second), matchColor);
    }
    if (current_ && current_->pageIndex >= first && current_->pageIndex <= last) {
        const QRectF shown = toViewport(current_->pageIndex, current_->bounds);
        painter.fillRect(shown, currentMatchColor);
        painter.setPen(QPen(currentMatchColor.darker(150), 1));
        painter.drawRect(shown);
    }
}

}  // namespace quillet
