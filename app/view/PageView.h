// The page view: the document's pages in one continuous vertical column with
// page breaks, scrolled and zoomed, painted from the background renderer's
// cache at the screen's pixel density. Page sizes arrive from the renderer's
// thread; until then a page is taken to be as large as the first. Every
// relayout (resize, zoom, sizes arriving) keeps the page and the point under
// view where they were.
#pragma once

#include <QAbstractScrollArea>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "app/document/PageItemSource.h"
#include "app/platform/PDFDocument.h"
#include "app/platform/PrimarySelection.h"
#include "app/view/FindHighlights.h"
#include "app/view/PageCoordinates.h"
#include "app/view/PageInputHandler.h"
#include "app/view/PageItemLayer.h"
#include "app/view/PageLayout.h"
#include "app/view/PageRenderer.h"
#include "app/view/PageTextSelection.h"

namespace quillet {

class AnnotationStore;
class OverlayView;

class PageView : public QAbstractScrollArea, public PageCoordinates {
    Q_OBJECT

  public:
    // Each zoom step multiplies or divides the scale by this.
    static constexpr double zoomStep = 1.25;

    explicit PageView(QWidget* parent = nullptr);

    void setDocument(std::shared_ptr<PDFDocument> pdf);
    // Reads the pages again (after an unlock) and forgets rendered images.
    void reloadDocument();

    const std::shared_ptr<PDFDocument>& document() const { return pdf_; }
    int pageCount() const { return layout_.pageCount(); }
    // The page's shown size in points (the first page's until it is read).
    QSizeF pageDisplaySize(int pageIndex) const;
    // 0-based; 0 when there are no pages.
    int currentPage() const { return currentPage_; }
    // View pixels per point of the page.
    double scale() const override { return layout_.scale(); }
    // The scale of Actual Size: the page at its physical size, a point being
    // 1/72 inch at the screen's logical resolution (4/3 pixels at 96 dpi).
    double actualSizeScale() const;
    // The zoom users see: 1 at Actual Size.
    double zoom() const { return scale() / actualSizeScale(); }
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

    // Zooms by `factor` keeping the content under `viewportPoint` in place.
    void zoomAround(double factor, QPointF viewportPoint);
    // The first or last page; a screenful down or up.
    void goToFirstPage();
    void goToLastPage();
    void scrollScreen(int direction);

    // Asks the renderer for what a paint would ask for now: a window does
    // so before it is shown, so that the first page renders meanwhile.
    void requestShownPages();

    const PageLayout& pageLayout() const { return layout_; }
    // Where the page is in the viewport's coordinates.
    QRectF pageRectInViewport(int pageIndex) const;
    // A page-space rectangle of the page in the viewport's coordinates.
    QRectF viewportRectFromPage(int pageIndex, const QRectF& pageSpaceRect) const;
    PageRenderer* renderer() const { return renderer_.get(); }

    // Input: the handler (the editor) sees pointer, key and menu events
    // first; what it leaves is handled as a viewer does. Not owned.
    void setInputHandler(PageInputHandler* handler) { inputHandler_ = handler; }

    // Page space ⇄ viewport, for rotated and cropped pages. Viewport points
    // are the view's points (they grow with zoom).
    // The page under a viewport point, without snapping to the nearest page.
    std::optional<int> pageAt(QPointF viewportPoint) const override;
    std::optional<PDFPageGeometry> pageGeometry(int pageIndex) const override;
    QTransform pageToViewport(int pageIndex) const override;
    // The part of the page that is visible, in page space; empty when none is.
    QRectF visiblePageRect(int pageIndex) const override;

    // Markup (PageViewItems.cpp): the store's items are painted over each
    // page, whose image leaves out the file's own copies of them. Not owned:
    // detach (nullptr) before the store goes away.
    void setAnnotationStore(AnnotationStore* store);
    AnnotationStore* annotationStore() const { return items_.store(); }
    // Repaints the items of these pages.
    void refreshItems(const std::set<int>& pages);
    // The transparent layer above the pages for what the editor draws live;
    // created on first use, owned by the view.
    OverlayView* overlay();

    // The viewer's text selection over the pages' text.
    bool hasTextSelection() const { return !textSelection_.isEmpty(); }
    QString selectedText() { return textSelection_.text(); }
    void clearTextSelection();
    void selectAllText();
    // The selected characters of each page the selection touches, as runs.
    std::map<int, std::vector<PageTextSelection::Run>> selectedTextRuns();
    // Puts the selected text on the clipboard; false when nothing is selected.
    bool copySelectedText();
    // Text selected by a drag or Select All is offered here at once (the
    // primary selection, for a middle click elsewhere).
    void setPrimarySelection(PrimarySelection::Sink sink) { primarySelection_ = std::move(sink); }

    // Find: every match highlighted (callers pass at most the ones to draw),
    // the current one marked and scrolled into view.
    void setFindHighlights(const std::vector<PDFSearchMatch>& matches);
    void setCurrentFindMatch(const std::optional<PDFSearchMatch>& match);
    int findHighlightCount() const { return findHighlights_.count(); }

  signals:
    // After setDocument() and reloadDocument(): the pages are new.
    void documentReloaded();
    void scaleChanged();
    void currentPageChanged(int pageIndex);
    // After every relayout, scroll and size change: the visible part moved.
    void visibleAreaChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    // A point of the content held by its page and its place on that page.
    struct Anchor {
        int page = 0;
        double fx = 0.5, fy = 0;
        QPointF viewportPoint;
    };
    Anchor anchorAt(QPointF viewportPoint) const;
    void scrollToAnchor(const Anchor& anchor);
    void relayoutKeepingPlace();
    bool handleNavigationKey(QKeyEvent* event);
    void geometriesArrived(int first, const std::vector<std::optional<PDFPageGeometry>>& geometries);

    void relayout();
    void applyScale(double scale, bool autoScales, std::optional<QPointF> anchorPoint = std::nullopt);
    void updateScrollBars();
    void updateCurrentPage();
    QRectF visibleContentRect() const;
    QSize shownViewportSize() const;
    void paintPage(QPainter& painter, int pageIndex, double pixelRatio);
    // The page's whole image (or the nearest stand-in) over `target`.
    void paintWholePage(QPainter& painter, const QRectF& target, QImage image, double pixelRatio);
    // Over a page whose whole image is reduced at this zoom: its tiles at the
    // screen's resolution, where they have arrived.
    void paintTiles(QPainter& painter, int pageIndex, double pixelRatio);
    // The part of the page in view, in pixels of its image at the view's scale.
    QRect visiblePagePixels(int pageIndex, double pixelRatio) const;
    void requestVisiblePages(double pixelRatio);
    void pageArrived(int pageIndex);
    // The viewer's own pointer behaviour: selecting text.
    void viewerMousePress(QMouseEvent* event);
    void viewerMouseMove(QMouseEvent* event);
    void paintTextSelection(QPainter& painter, int pageIndex);
    void offerPrimarySelection();
    void paintItems(QPainter& painter, int pageIndex);
    void hideStoredAnnotations(const std::vector<int>& pages);

    std::shared_ptr<PDFDocument> pdf_;
    std::unique_ptr<PageRenderer> renderer_;
    PageSizes pageSizes_;
    // Read in the background; a page still due is read on first use.
    mutable std::unordered_map<int, PDFPageGeometry> pageGeometries_;
    PageInputHandler* inputHandler_ = nullptr;
    PageItemLayer items_;
    OverlayView* overlay_ = nullptr;
    PageTextSelection textSelection_;
    bool selectingText_ = false;
    PrimarySelection::Sink primarySelection_ = PrimarySelection::platform();
    PageLayout layout_;
    FindHighlights findHighlights_;
    bool autoScales_ = true;
    double manualScale_ = 1;
    int currentPage_ = 0;
};

}  // namespace quillet
