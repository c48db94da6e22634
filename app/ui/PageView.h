// The page view: the document's pages in one continuous vertical column with
// page breaks, scrolled and zoomed, painted from the background renderer's
// cache at the screen's pixel density.
#pragma once

#include <memory>
#include <vector>

#include <QAbstractScrollArea>

#include "app/platform/PDFDocument.h"
#include "app/ui/PageLayout.h"
#include "app/ui/PageRenderer.h"

namespace quillet {

class PageView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Each zoom step multiplies or divides the scale by this.
    static constexpr double zoomStep = 1.25;

    explicit PageView(QWidget* parent = nullptr);

    void setDocument(std::shared_ptr<PDFDocument> pdf);
    // Reads the pages again (after an unlock) and forgets rendered images.
    void reloadDocument();

    int pageCount() const { return layout_.pageCount(); }
    // 0-based; 0 when there are no pages.
    int currentPage() const { return currentPage_; }
    double scale() const { return layout_.scale(); }
    bool autoScales() const { return autoScales_; }

    void setScale(double scale);
    // On: the scale follows the view's width (fit to width).
    void setAutoScales(bool on);
    void zoomIn();
    void zoomOut();
    void actualSize();
    void fitWidth();

    void goToPage(int pageIndex);
    void goToNextPage();
    void goToPreviousPage();

    const PageLayout& pageLayout() const { return layout_; }
    // Where the page is in the viewport's coordinates.
    QRectF pageRectInViewport(int pageIndex) const;
    PageRenderer* renderer() const { return renderer_.get(); }

signals:
    void scaleChanged();
    void currentPageChanged(int pageIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void relayout();
    void applyScale(double scale, bool autoScales);
    void updateScrollBars();
    void updateCurrentPage();
    QRectF visibleContentRect() const;
    void paintPage(QPainter& painter, int pageIndex, double pixelRatio);
    void requestVisiblePages(double pixelRatio);
    void pageArrived(int pageIndex);

    std::shared_ptr<PDFDocument> pdf_;
    std::unique_ptr<PageRenderer> renderer_;
    std::vector<QSizeF> pageSizes_;
    PageLayout layout_;
    bool autoScales_ = true;
    double manualScale_ = 1;
    int currentPage_ = 0;
};

}  // namespace quillet
