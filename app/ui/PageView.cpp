#include "app/ui/PageView.h"

#include <algorithm>
#include <cmath>

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace quillet {

namespace {

// The platform's under-page colour and the paper's edge.
const QColor underPageColor(0x8a, 0x8d, 0x91);
const QColor pageEdgeColor(0, 0, 0, 60);
// Pages beyond the visible ones rendered ahead of scrolling.
constexpr int prefetchPages = 1;

}  // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

void PageView::setDocument(std::shared_ptr<PDFDocument> pdf)
{
    // The old renderer must stop before the document it renders goes away.
    renderer_.reset();
    pdf_ = std::move(pdf);
    if (pdf_) {
        renderer_ = std::make_unique<PageRenderer>(pdf_);
        connect(renderer_.get(), &PageRenderer::pageRendered, this, &PageView::pageArrived);
    }
    reloadDocument();
}

void PageView::reloadDocument()
{
    pageSizes_.clear();
    pageGeometries_.clear();
    textSelection_.setDocument(pdf_);
    const int count = pdf_ ? pdf_->pageCount() : 0;
    for (int i = 0; i < count; ++i) {
        const std::optional<PDFPageGeometry> geometry = pdf_->pageGeometry(i);
        pageGeometries_.push_back(geometry.value_or(PDFPageGeometry{QRectF(0, 0, 612, 792), 0}));
        pageSizes_.push_back(pageGeometries_.back().displaySize());
    }
    if (renderer_) {
        renderer_->clear();
        renderer_->setPageSizes(pageSizes_);
    }
    currentPage_ = 0;
    relayout();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void PageView::setScale(double scale)
{
    applyScale(scale, false);
}

void PageView::setAutoScales(bool on)
{
    applyScale(on ? scale() : manualScale_, on);
}

void PageView::zoomIn()
{
    setScale(scale() * zoomStep);
}

void PageView::zoomOut()
{
    setScale(scale() / zoomStep);
}

void PageView::actualSize()
{
    setScale(1.0);
}

void PageView::fitWidth()
{
    setAutoScales(true);
}

void PageView::applyScale(double scale, bool autoScales)
{
    // Keep the point under the viewport's centre where it is on its page.
    const QRectF visible = visibleContentRect();
    const QPointF centre = visible.center();
    const int anchorPage = layout_.mostVisiblePage(visible);
    const QRectF before = layout_.pageRect(anchorPage);
    const double fx = before.width() > 0 ? (centre.x() - before.left()) / before.width() : 0.5;
    const double fy = before.height() > 0 ? (centre.y() - before.top()) / before.height() : 0;

    autoScales_ = autoScales;
    if (!autoScales) {
        manualScale_ = PageLayout::clampScale(scale);
    }
    const double oldScale = layout_.scale();
    relayout();
    const QRectF after = layout_.pageRect(anchorPage);
    if (!after.isEmpty()) {
        horizontalScrollBar()->setValue(
            static_cast<int>(std::lround(after.left() + fx * after.width() - viewport()->width() / 2.0)));
        verticalScrollBar()->setValue(
            static_cast<int>(std::lround(after.top() + fy * after.height() - viewport()->height() / 2.0)));
    }
    viewport()->update();
    if (layout_.scale() != oldScale) {
        emit scaleChanged();
    }
}

void PageView::relayout()
{
    const double width = viewport()->width();
    const double scale = autoScales_ ? PageLayout::fitWidthScale(pageSizes_, width) : manualScale_;
    layout_ = PageLayout(pageSizes_, scale, width);
    updateScrollBars();
    updateCurrentPage();
}

void PageView::updateScrollBars()
{
    const QSize viewportSize = viewport()->size();
    const QSizeF content = layout_.contentSize();
    horizontalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(content.width())) - viewportSize.width()));
    horizontalScrollBar()->setPageStep(viewportSize.width());
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(content.height())) - viewportSize.height()));
    verticalScrollBar()->setPageStep(viewportSize.height());
}

QRectF PageView::visibleContentRect() const
{
    return QRectF(horizontalScrollBar()->value(), verticalScrollBar()->value(), viewport()->width(),
                  viewport()->height());
}

QRectF PageView::pageRectInViewport(int pageIndex) const
{
    return layout_.pageRect(pageIndex).translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

void PageView::updateCurrentPage()
{
    const int page = layout_.pageCount() == 0 ? 0 : layout_.mostVisiblePage(visibleContentRect());
    if (page != currentPage_) {
        currentPage_ = page;
        emit currentPageChanged(page);
    }
}

void PageView::goToPage(int pageIndex)
{
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

void PageView::goToNextPage()
{
    goToPage(currentPage_ + 1);
}

void PageView::goToPreviousPage()
{
    goToPage(currentPage_ - 1);
}

void PageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void PageView::scrollContentsBy(int, int)
{
    updateCurrentPage();
    viewport()->update();
}

void PageView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y();
        if (steps > 0) {
            zoomIn();
        } else if (steps < 0) {
            zoomOut();
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void PageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), underPageColor);
    const double pixelRatio = viewport()->devicePixelRatioF();
    const auto [first, last] = layout_.pagesIn(visibleContentRect());
    for (int i = first; i <= last; ++i) {
        paintPage(painter, i, pixelRatio);
        paintTextSelection(painter, i);
    }
    requestVisiblePages(pixelRatio);
}

void PageView::paintPage(QPainter& painter, int pageIndex, double pixelRatio)
{
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
    if (image.isNull()) {
        return;
    }
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

void PageView::requestVisiblePages(double pixelRatio)
{
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
    renderer_->request(pages, scale() * pixelRatio);
}

void PageView::pageArrived(int pageIndex)
{
    const QRectF rect = pageRectInViewport(pageIndex);
    if (rect.intersects(QRectF(viewport()->rect()))) {
        viewport()->update(rect.toAlignedRect().adjusted(-1, -1, 1, 1));
    }
}

}  // namespace quillet
