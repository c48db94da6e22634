// The page view's input: events go to the input handler first (the editor);
// what it leaves gets the viewer's behaviour, text selection by dragging,
// Ctrl+C and Select All. Also the page ⇄ viewport conversions the handler
// works with.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <utility>

#include "app/view/PageView.h"

namespace quillet {

namespace {

const QColor textSelectionColor(40, 110, 230, 80);

}  // namespace

std::optional<int> PageView::pageAt(QPointF viewportPoint) const {
    const auto [first, last] = layout_.pagesIn(visibleContentRect());
    for (int i = std::max(first, 0); i <= last && i < pageCount(); ++i) {
        if (pageRectInViewport(i).contains(viewportPoint)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<PDFPageGeometry> PageView::pageGeometry(int pageIndex) const {
    if (pageIndex < 0 || pageIndex >= pageSizes_.count() || !pdf_) {
        return std::nullopt;
    }
    if (const auto known = pageGeometries_.find(pageIndex); known != pageGeometries_.end()) {
        return known->second;
    }
    // Read now when the background read has not reached the page yet.
    std::optional<PDFPageGeometry> read = pdf_->pageGeometry(pageIndex);
    if (read) {
        pageGeometries_.emplace(pageIndex, *read);
    }
    return read;
}

QTransform PageView::pageToViewport(int pageIndex) const {
    const std::optional<PDFPageGeometry> geometry = pageGeometry(pageIndex);
    if (!geometry) {
        return {};
    }
    const QRectF target = pageRectInViewport(pageIndex);
    return geometry->pageToDisplay() * QTransform::fromScale(scale(), scale()) *
           QTransform::fromTranslate(target.left(), target.top());
}

QRectF PageView::visiblePageRect(int pageIndex) const {
    const QRectF shown = pageRectInViewport(pageIndex).intersected(QRectF(viewport()->rect()));
    if (shown.isEmpty()) {
        return {};
    }
    return pageToViewport(pageIndex).inverted().mapRect(shown);
}

void PageView::clearTextSelection() {
    if (hasTextSelection()) {
        viewport()->update();
    }
    textSelection_.clear();
    selectingText_ = false;
}

void PageView::selectAllText() {
    textSelection_.selectAll();
    viewport()->update();
    offerPrimarySelection();
}

void PageView::offerPrimarySelection() {
    if (!textSelection_.isEmpty() && primarySelection_) {
        primarySelection_(textSelection_.text());
    }
}

std::map<int, std::vector<PageTextSelection::Run>> PageView::selectedTextRuns() {
    std::map<int, std::vector<PageTextSelection::Run>> runs;
    if (const auto span = textSelection_.pageSpan()) {
        for (int page = span->first; page <= span->second; ++page) {
            if (std::vector<PageTextSelection::Run> onPage = textSelection_.runsOnPage(page);
                !onPage.empty()) {
                runs.emplace(page, std::move(onPage));
            }
        }
    }
    return runs;
}

bool PageView::copySelectedText() {
    const QString text = textSelection_.text();
    if (text.isEmpty()) {
        return false;
    }
    QApplication::clipboard()->setText(text);
    return true;
}

void PageView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (inputHandler_ != nullptr && inputHandler_->mousePress(event)) {
        event->accept();
        return;
    }
    viewerMousePress(event);
}

void PageView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The handler tells a double click by the event's type.
    mousePressEvent(event);
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
    if (inputHandler_ != nullptr && inputHandler_->mouseMove(event)) {
        event->accept();
        return;
    }
    viewerMouseMove(event);
}

void PageView::mouseReleaseEvent(QMouseEvent* event) {
    if (inputHandler_ != nullptr && inputHandler_->mouseRelease(event)) {
        event->accept();
        return;
    }
    if (std::exchange(selectingText_, false)) {
        offerPrimarySelection();
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void PageView::keyPressEvent(QKeyEvent* event) {
    if (inputHandler_ != nullptr && inputHandler_->keyPress(event)) {
        event->accept();
        return;
    }
    if (event == QKeySequence::Copy && copySelectedText()) {
        event->accept();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAllText();
        event->accept();
        return;
    }
    if (handleNavigationKey(event)) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PageView::contextMenuEvent(QContextMenuEvent* event) {
    if (inputHandler_ != nullptr && inputHandler_->contextMenu(event)) {
        event->accept();
        return;
    }
    QAbstractScrollArea::contextMenuEvent(event);
}

bool PageView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave && inputHandler_ != nullptr) {
        inputHandler_->pointerLeft();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PageView::viewerMousePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    clearTextSelection();
    const std::optional<int> page = pageAt(event->position());
    if (!page) {
        return;
    }
    if (const auto at = textSelection_.positionAt(*page, toPage(*page, event->position()))) {
        textSelection_.begin(*at);
        selectingText_ = true;
    }
}

void PageView::viewerMouseMove(QMouseEvent* event) {
    const std::optional<int> page = pageAt(event->position());
    if (!(event->buttons() & Qt::LeftButton)) {
        const bool overText = page && textSelection_.isOverText(*page, toPage(*page, event->position()));
        viewport()->setCursor(overText ? Qt::IBeamCursor : Qt::ArrowCursor);
        return;
    }
    if (!selectingText_ || !page) {
        return;
    }
    if (const auto at = textSelection_.positionAt(*page, toPage(*page, event->position()))) {
        textSelection_.extendTo(*at);
        viewport()->update();
    }
}

void PageView::paintTextSelection(QPainter& painter, int pageIndex) {
    if (!hasTextSelection()) {
        return;
    }
    const QTransform toView = pageToViewport(pageIndex);
    for (const QRectF& rect : textSelection_.rectsOnPage(pageIndex)) {
        painter.fillRect(toView.mapRect(rect), textSelectionColor);
    }
}

}  // namespace quillet
