#include "app/view/PageView.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

// The platform's under-page colour and the paper's edge.
const QColor underPageColor(0x8a, 0x8d, 0x91);
const QColor pageEdgeColor(0, 0, 0, 60);
// Pages beyond the visible ones rendered ahead of scrolling.
constexpr int prefetchPages = 1;
// A screenful step leaves this much of the previous screen in view.
constexpr int screenOverlap = 40;
// One notch of a mouse wheel.
constexpr double wheelNotch = 120;

}  // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

void PageView::setDocument(std::shared_ptr<PDFDocument> pdf) {
    // The old renderer must stop before the document it renders goes away.
    renderer_.reset();
    pdf_ = std::move(pdf);
    if (pdf_) {
        renderer_ = std::make_unique<PageRenderer>(pdf_);
        connect(renderer_.get(), &PageRenderer::pageRendered, this, &PageView::pageArrived);
        connect(renderer_.get(), &PageRenderer::pageGeometriesRead, this, &PageView::geometriesArrived);
    }
    reloadDocument();
}

void PageView::reloadDocument() {
    textSelection_.setDocument(pdf_);
    // Only the first page is measured here; the others are read on the
    // renderer's thread and take the first page's size until they arrive.
    // Nothing here grows with the page count: one run of sizes, one geometry.
    const int count = pdf_ ? pdf_->pageCount() : 0;
    pageGeometries_.clear();
    const std::optional<PDFPageGeometry> first = count > 0 ? pdf_->pageGeometry(0) : std::nullopt;
    pageSizes_ = PageSizes(count, first ? first->displaySize() : QSizeF(612, 792));
    if (first) {
        pageGeometries_.emplace(0, *first);
    }
    findHighlights_.clear();
    if (renderer_) {
        renderer_->clear();
        renderer_->setPageSizes(pageSizes_);
        renderer_->scanPageGeometries(1, count - 1);
    }
    currentPage_ = 0;
    relayout();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit documentReloaded();
}

QSizeF PageView::pageDisplaySize(int pageIndex) const {
    return pageSizes_.at(pageIndex);
}

void PageView::geometriesArrived(int first, const std::vector<std::optional<PDFPageGeometry>>& geometries) {
    std::vector<QSizeF> sizes;
    sizes.reserve(geometries.size());
    for (size_t i = 0; i < geometries.size(); ++i) {
        const int page = first + static_cast<int>(i);
        if (page < 0 || page >= pageSizes_.count()) {
            break;
        }
        if (geometries[i]) {
            pageGeometries_.insert_or_assign(page, *geometries[i]);
        }
        sizes.push_back(geometries[i] ? geometries[i]->displaySize() : pageSizes_.at(page));
    }
    const PageSizes before = pageSizes_;
    pageSizes_.assign(first, sizes);
    const bool sizesChanged = pageSizes_ != before;
    // Documents whose pages all share one size never relayout here.
    if (sizesChanged) {
        if (renderer_) {
            renderer_->setPageSizes(pageSizes_);
        }
        relayoutKeepingPlace();
    }
}

void PageView::setScale(double scale) {
    applyScale(scale, false);
}

void PageView::setAutoScales(bool on) {
    applyScale(on ? scale() : manualScale_, on);
}

void PageView::zoomIn() {
    setScale(scale() * zoomStep);
}

void PageView::zoomOut() {
    setScale(scale() / zoomStep);
}

double PageView::actualSizeScale() const {
    return logicalDpiY() > 0 ? logicalDpiY() / 72.0 : 1.0;
}

void PageView::actualSize() {
    setScale(actualSizeScale());
}

void PageView::fitWidth() {
    setAutoScales(true);
}

void PageView::zoomAround(double factor, QPointF viewportPoint) {
    applyScale(scale() * factor, false, viewportPoint);
}

void PageView::applyScale(double scale, bool autoScales, std::optional<QPointF> anchorPoint) {
    // Keep the point under the anchor (the viewport's centre unless given)
    // where it is on its page.
    const Anchor anchor = anchorAt(anchorPoint.value_or(QRectF(viewport()->rect()).center()));
    autoScales_ = autoScales;
    if (!autoScales) {
        manualScale_ = PageLayout::clampScale(scale);
    }
    const double oldScale = layout_.scale();
    relayout();
    scrollToAnchor(anchor);
    viewport()->update();
    if (layout_.scale() != oldScale) {
        emit scaleChanged();
    }
}

PageView::Anchor PageView::anchorAt(QPointF viewportPoint) const {
    Anchor anchor;
    anchor.viewportPoint = viewportPoint;
    const QPointF content = viewportPoint + visibleContentRect().topLeft();
    // The page under the point, else the one most in view.
    const auto [first, last] = layout_.pagesIn(QRectF(content, QSizeF(1, 1)));
    anchor.page = first <= last ? first : layout_.mostVisiblePage(visibleContentRect());
    const QRectF page = layout_.pageRect(anchor.page);
    if (!page.isEmpty()) {
        anchor.fx = (content.x() - page.left()) / page.width();
        anchor.fy = (content.y() - page.top()) / page.height();
    }
    return anchor;
}

void PageView::scrollToAnchor(const Anchor& anchor) {
    const QRectF page = layout_.pageRect(anchor.page);
    if (page.isEmpty()) {
        return;
    }
    horizontalScrollBar()->setValue(
        static_cast<int>(std::lround(page.left() + anchor.fx * page.width() - anchor.viewportPoint.x())));
    verticalScrollBar()->setValue(
        static_cast<int>(std::lround(page.top() + anchor.fy * page.height() - anchor.viewportPoint.y())));
}

void PageView::relayoutKeepingPlace() {
    // The current page stays current, and the point at the top of the view
    // stays at the top: growing the window shows more below, not another page.
    const int keptPage = currentPage_;
    Anchor anchor = anchorAt(QPointF(viewport()->width() / 2.0, 0));
    if (anchor.page != keptPage && layout_.pageCount() > keptPage) {
        const QRectF page = layout_.pageRect(keptPage);
        const QRectF visible = visibleContentRect();
        anchor.page = keptPage;
        anchor.fx = page.width() > 0 ? (visible.center().x() - page.left()) / page.width() : 0.5;
        anchor.fy = page.height() > 0 ? (visible.top() - page.top()) / page.height() : 0;
    }
    relayout();
    scrollToAnchor(anchor);
    const auto [first, last] = layout_.pagesIn(visibleContentRect());
    if (keptPage >= first && keptPage <= last && keptPage != currentPage_) {
        currentPage_ = keptPage;
        emit currentPageChanged(keptPage);
    }
    viewport()->update();
    emit visibleAreaChanged();
}

void PageView::relayout() {
    const double width = shownViewportSize().width();
    const double oldScale = layout_.scale();
    const double scale = autoScales_ ? PageLayout::fitWidthScale(pageSizes_, width) : manualScale_;
    layout_ = PageLayout(pageSizes_, scale, width);
    updateScrollBars();
    updateCurrentPage();
    if (autoScales_ && layout_.scale() != oldScale) {
        emit scaleChanged();
    }
}

void PageView::updateScrollBars() {
    const QSize viewportSize = shownViewportSize();
    const QSizeF content = layout_.contentSize();
    horizontalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(content.width())) - viewportSize.width()));
    horizontalScrollBar()->setPageStep(viewportSize.width());
    verticalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(content.height())) - viewportSize.height()));
    verticalScrollBar()->setPageStep(viewportSize.height());
}

QRectF PageView::visibleContentRect() const {
    return QRectF(QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()), shownViewportSize());
}

QSize PageView::shownViewportSize() const {
    // Resized while hidden, the view lays its viewport out only when shown;
    // the size it will have is known from its own (the scroll bar is always
    // there).
    return testAttribute(Qt::WA_PendingResizeEvent) ? maximumViewportSize() : viewport()->size();
}

void PageView::requestShownPages() {
    requestVisiblePages(devicePixelRatioF());
}

QRectF PageView::pageRectInViewport(int pageIndex) const {
    return layout_.pageRect(pageIndex).translated(-horizontalScrollBar()->value(),
                                                  -verticalScrollBar()->value());
}

void PageView::updateCurrentPage() {
    const int page = layout_.pageCount() == 0 ? 0 : layout_.mostVisiblePage(visibleContentRect());
    if (page != currentPage_) {
        currentPage_ = page;
        emit currentPageChanged(page);
    }
}

void PageView::goToPage(int pageIndex) {
    if (pageIndex < 0 || pageIndex >= pageCount()) {
        return;
    }
    verticalScrollBar()->setValue(static_cast<int>(layout_.pageRect(pageIndex).top() - PageLayout::margin));
    // The last pages may not reach the top of the view; they are still the current one.
    if (currentPage_ != pageIndex) {
        currentPage_ = pageIndex;
        emit currentPageChanged(pageIndex);
    }
}

void PageView::goToNextPage() {
    goToPage(currentPage_ + 1);
}

void PageView::goToPreviousPage() {
    goToPage(currentPage_ - 1);
}

void PageView::goToFirstPage() {
    goToPage(0);
}

void PageView::goToLastPage() {
    goToPage(pageCount() - 1);
}

void PageView::scrollScreen(int direction) {
    const int step = std::max(viewport()->height() - screenOverlap, viewport()->height() / 2);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + direction * step);
}

bool PageView::handleNavigationKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Home:
            if (plain || ctrl) {
                goToFirstPage();
                return true;
            }
            return false;
        case Qt::Key_End:
            if (plain || ctrl) {
                goToLastPage();
                return true;
            }
            return false;
        case Qt::Key_Space:
            if (plain || modifiers == Qt::ShiftModifier) {
                scrollScreen(plain ? 1 : -1);
                return true;
            }
            return false;
        case Qt::Key_PageDown:
            if (ctrl) {
                goToNextPage();
                return true;
            }
            return false;
        case Qt::Key_PageUp:
            if (ctrl) {
                goToPreviousPage();
                return true;
            }
            return false;
        default:
            return false;
    }
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayoutKeepingPlace();
}

void PageView::scrollContentsBy(int, int) {
    updateCurrentPage();
    viewport()->update();
    emit visibleAreaChanged();
}

void PageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0) {
            // Whole notches step like Ctrl++; touchpads' small deltas zoom smoothly.
            zoomAround(std::pow(zoomStep, delta / wheelNotch), event->position());
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

QRectF PageView::viewportRectFromPage(int pageIndex, const QRectF& pageSpaceRect) const {
    if (!pageGeometry(pageIndex)) {
        return {};
    }
    return pageToViewport(pageIndex).mapRect(pageSpaceRect);
}

void PageView::setFindHighlights(const std::vector<PDFSearchMatch>& matches) {
    findHighlights_.setMatches(matches);
    viewport()->update();
}

void PageView::setCurrentFindMatch(const std::optional<PDFSearchMatch>& match) {
    findHighlights_.setCurrent(match);
    if (match) {
        // Centre the match unless it is in view already.
        const QRectF shown = viewportRectFromPage(match->pageIndex, match->bounds);
        if (!shown.isEmpty() && !QRectF(viewport()->rect()).contains(shown)) {
            const QRectF content = shown.translated(visibleContentRect().topLeft());
            horizontalScrollBar()->setValue(
                static_cast<int>(content.center().x() - viewport()->width() / 2.0));
            verticalScrollBar()->setValue(
                static_cast<int>(content.center().y() - viewport()->height() / 2.0));
        }
    }
    viewport()->update();
}

void PageView::paintEvent(QPaintEvent* event) {
    const double pixelRatio = viewport()->devicePixelRatioF();
    // First, so that an image made before the file's copies of the page's
    // items were known is dropped rather than painted.
    requestVisiblePages(pixelRatio);
    QPainter painter(viewport());
    painter.fillRect(event->rect(), underPageColor);
    const auto [first, last] = layout_.pagesIn(visibleContentRect());
    for (int i = first; i <= last; ++i) {
        paintPage(painter, i, pixelRatio);
        paintItems(painter, i);
        paintTextSelection(painter, i);
    }
    findHighlights_.paint(painter, first, last,
                          [this](int page, const QRectF& rect) { return viewportRectFromPage(page, rect); });
}

void PageView::paintPage(QPainter& painter, int pageIndex, double pixelRatio) {
    const QRectF target = pageRectInViewport(pageIndex);
    painter.fillRect(target.adjusted(-1, -1, 1, 1), pageEdgeColor);
    painter.fillRect(target, Qt::white);
    if (!renderer_) {
        return;
    }
    const double pixelScale = scale() * pixelRatio;
    QImage image = renderer_->cachedImage(pageIndex, pixelScale);
    if (image.isNull()) {
        image = renderer_->closestImage(pageIndex, pixelScale);
    }
    if (!image.isNull()) {
        paintWholePage(painter, target, image, pixelRatio);
    }
    paintTiles(painter, pageIndex, pixelRatio);
}

void PageView::paintWholePage(QPainter& painter, const QRectF& target, QImage image, double pixelRatio) {
    const bool pixelExact = std::abs(image.width() - target.width() * pixelRatio) <= 1.0 &&
                            std::abs(image.height() - target.height() * pixelRatio) <= 1.0;
    if (pixelExact) {
        // One image pixel per device pixel: sharp on high-density screens.
        image.setDevicePixelRatio(pixelRatio);
        painter.drawImage(target.topLeft(), image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, image, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
}

QRect PageView::visiblePagePixels(int pageIndex, double pixelRatio) const {
    const QRectF target = pageRectInViewport(pageIndex);
    const QRectF shown = target & QRectF(QPointF(0, 0), QSizeF(shownViewportSize()));
    if (shown.isEmpty()) {
        return {};
    }
    const QRectF pixels = shown.translated(-target.topLeft());
    return QRectF(pixels.topLeft() * pixelRatio, pixels.size() * pixelRatio).toAlignedRect();
}

void PageView::paintTiles(QPainter& painter, int pageIndex, double pixelRatio) {
    const double pixelScale = scale() * pixelRatio;
    const QPointF origin = pageRectInViewport(pageIndex).topLeft();
    for (const PageRenderer::Tile& tile :
         renderer_->tilesCovering(pageIndex, pixelScale, visiblePagePixels(pageIndex, pixelRatio))) {
        QImage image = renderer_->cachedTile(pageIndex, pixelScale, tile.index);
        if (image.isNull()) {
            continue;  // the reduced whole page shows meanwhile
        }
        image.setDevicePixelRatio(pixelRatio);
        painter.drawImage(origin + QPointF(tile.pixels.topLeft()) / pixelRatio, image);
    }
}

void PageView::requestVisiblePages(double pixelRatio) {
    if (!renderer_ || pageCount() == 0) {
        return;
    }
    const auto [first, last] = layout_.pagesIn(visibleContentRect());
    std::vector<int> pages;
    // The current page first, then the rest of what is visible, then one page
    // on either side.
    pages.push_back(currentPage_);
    for (int i = first; i <= last; ++i) {
        if (i != currentPage_) {
            pages.push_back(i);
        }
    }
    for (int d = 1; d <= prefetchPages; ++d) {
        if (last + d < pageCount()) {
            pages.push_back(last + d);
        }
        if (first - d >= 0) {
            pages.push_back(first - d);
        }
    }
    hideStoredAnnotations(pages);
    const double pixelScale = scale() * pixelRatio;
    // The visible tiles first: they are small, and what is seen sharp.
    std::vector<PageRenderer::Wanted> wanted;
    for (int i = first; i <= last; ++i) {
        for (const PageRenderer::Tile& tile :
             renderer_->tilesCovering(i, pixelScale, visiblePagePixels(i, pixelRatio))) {
            wanted.push_back(PageRenderer::Wanted{i, pixelScale, tile.index});
        }
    }
    for (int page : pages) {
        wanted.push_back(PageRenderer::Wanted{page, pixelScale});
    }
    renderer_->request(wanted);
}

void PageView::pageArrived(int pageIndex) {
    const QRectF rect = pageRectInViewport(pageIndex);
    if (rect.intersects(QRectF(viewport()->rect()))) {
        viewport()->update(rect.toAlignedRect().adjusted(-1, -1, 1, 1));
    }
}

}  // namespace quillet
